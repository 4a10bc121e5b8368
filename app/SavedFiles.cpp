#include "SavedFiles.h"

void SavedFiles::FileWritten(const std::string& path) {
  ++written_;
  folder_ = path.substr(0, path.rfind('/') + 1);
  if (saved_ && lastRow_ >= 0) saved_(lastRow_, path);
}

QString SavedFiles::Summary() const {
  if (written_ == 0) return QStringLiteral("No files written");
  return QStringLiteral("%1 files written to %2").arg(written_).arg(QString::fromStdString(folder_));
}
