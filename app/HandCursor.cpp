#include "HandCursor.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <stdexcept>

namespace {

// A cursor file starts like an icon file: reserved 0, type (1 icon, 2 cursor), image count;
// then 16-byte directory entries, where a cursor keeps its hot spot in place of an icon's
// colour planes and bit count.
constexpr int kHeaderBytes = 6;
constexpr int kEntryBytes = 16;
constexpr int kHotSpotXOffset = kHeaderBytes + 4;
constexpr int kHotSpotYOffset = kHeaderBytes + 6;

quint16 LittleEndian16(const QByteArray& bytes, int offset) {
  return quint16(quint8(bytes[offset])) | quint16(quint8(bytes[offset + 1]) << 8);
}

[[noreturn]] void InvalidPicture() { throw std::runtime_error("Invalid picture"); }

}  // namespace

namespace HandCursor {

QString FilePath(const QString& programFolder) {
  return programFolder + QStringLiteral("/HAND-M.CUR");
}

QCursor Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) InvalidPicture();
  QByteArray bytes = file.read(kMaxBytes + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxBytes) InvalidPicture();
  if (bytes.size() < kHeaderBytes + kEntryBytes) InvalidPicture();
  const quint16 reserved = LittleEndian16(bytes, 0);
  const quint16 type = LittleEndian16(bytes, 2);
  const quint16 count = LittleEndian16(bytes, 4);
  if (reserved != 0 || (type != 1 && type != 2) || count == 0) InvalidPicture();

  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  const QImage image = reader.read();
  if (image.isNull()) InvalidPicture();

  int hotX = 0;
  int hotY = 0;
  if (type == 2) {
    hotX = LittleEndian16(bytes, kHotSpotXOffset);
    hotY = LittleEndian16(bytes, kHotSpotYOffset);
  }
  if (hotX >= image.width() || hotY >= image.height()) {
    hotX = 0;
    hotY = 0;
  }
  return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

}  // namespace HandCursor
