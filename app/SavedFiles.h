// The results list as "Save Results As HTML" sees it, noting which file each row was saved to.
// It also counts the files, for the line the bar keeps after the save.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ResultsList.h"

class SavedFiles : public ResultsList {
 public:
  // saved is told the row (from 0) and path of every file written whole.
  using Saved = std::function<void(int64_t row, const std::string& path)>;
  SavedFiles(ResultsList& rows, Saved saved) : rows_(rows), saved_(std::move(saved)) {}

  // For HtmlExport::OnFileWritten.
  void FileWritten(int64_t row, const std::string& path);
  // "W files written to FOLDER", or "No files written".
  QString Summary() const;

  int64_t Count() const override { return rows_.Count(); }
  void Clear() override { rows_.Clear(); }
  int64_t Append(const std::string& address) override { return rows_.Append(address); }
  std::string Text(int64_t row) const override { return rows_.Text(row); }
  void SetChecked(int64_t row, bool checked) override { rows_.SetChecked(row, checked); }
  bool IsChecked(int64_t row) const override { return rows_.IsChecked(row); }
  void SetSubItem(int64_t row, int column, const std::string& text) override {
    rows_.SetSubItem(row, column, text);
  }
  std::string SubItem(int64_t row, int column) const override { return rows_.SubItem(row, column); }
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override {
    rows_.SetEntry(row, std::move(entry));
  }
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override { return rows_.Entry(row); }
  void ScrollIntoView(int64_t row) override { rows_.ScrollIntoView(row); }

 private:
  ResultsList& rows_;
  Saved saved_;
  int64_t written_ = 0;
  std::string folder_;
};
