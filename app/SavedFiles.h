// The results list as "Save Results As HTML" sees it, noting which file each row was saved to.
// It also counts the files, for the line the bar keeps after the save.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ResultsList.h"

class SavedFiles : public ForwardingResultsList {
 public:
  // saved is told the row (from 0) and path of every file written whole.
  using Saved = std::function<void(int64_t row, const std::string& path)>;
  SavedFiles(ResultsList& rows, Saved saved) : ForwardingResultsList(rows), saved_(std::move(saved)) {}

  // For HtmlExport::OnFileWritten.
  void FileWritten(int64_t row, const std::string& path);
  // "W files written to FOLDER", or "No files written".
  QString Summary() const;

 private:
  Saved saved_;
  int64_t written_ = 0;
  std::string folder_;
};
