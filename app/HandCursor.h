// The custom hand pointer: a Windows cursor file HAND-M.CUR beside the program.
#pragma once

#include <QCursor>
#include <QString>

namespace HandCursor {

// The cursor file of a program folder.
QString FilePath(const QString& programFolder);

// Reads a Windows cursor (.cur) file, its first image and that image's hot spot. Throws
// std::runtime_error("Invalid picture") when the file cannot be read, is larger than kMaxBytes,
// or is not a cursor or icon file that Qt's image reader can decode.
QCursor Load(const QString& path);

inline constexpr qint64 kMaxBytes = 1 << 20;

}  // namespace HandCursor
