#include "SavedFiles.h"

void SavedFiles::FileWritten(int64_t row, const std::string& path) {
  ++written_;
  folder_ = path.substr(0, path.rfind('/') + 1);
  if (saved_) saved_(row, path);
}

QString SavedFiles::Summary() const {
  if (written_ == 0) return QStringLiteral("No files written");
  return QStringLiteral("%1 files written to %2").arg(written_).arg(QString::fromStdString(folder_));
}
