// The optional skin: a Qt style sheet in the file x/o.cjs beside the program.
#pragma once

#include <QString>

namespace Skin {

// The skin file of a program folder.
QString FilePath(const QString& programFolder);

// Reads the skin file's style sheet. Throws std::runtime_error with a description of the fault
// when the file cannot be read, is larger than kMaxBytes, is not UTF-8 text, or its braces,
// comments or quotes do not close.
QString Load(const QString& path);

inline constexpr qint64 kMaxBytes = 1 << 20;

}  // namespace Skin
