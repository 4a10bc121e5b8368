// The results list as "Save Results As HTML" sees it, noting which file each row was saved to:
// the export reads a row's texts just before it writes that row's file, so the last row read is
// the one a written file belongs to. It also counts the files, for the line the bar keeps after
// the save.
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
  void FileWritten(const std::string& path);
  // "W files written to FOLDER", or "No files written".
  QString Summary() const;

  int64_t Count() const override { return rows_.Count(); }
  void Clear() override { rows_.Clear(); }
  int64_t Append(const std::string& address) override { return rows_.Append(address); }
  std::string Text(int64_t row) const override { return rows_.Text(Read(row)); }
  void SetChecked(int64_t row, bool checked) override { rows_.SetChecked(row, checked); }
  bool IsChecked(int64_t row) const override { return rows_.IsChecked(Read(row)); }
  void SetSubItem(int64_t row, int column, const std::string& text) override {
    rows_.SetSubItem(row, column, text);
  }
  std::string SubItem(int64_t row, int column) const override { return rows_.SubItem(Read(row), column); }
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override {
    rows_.SetEntry(row, std::move(entry));
  }
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override { return rows_.Entry(Read(row)); }
  void ScrollIntoView(int64_t row) override { rows_.ScrollIntoView(row); }

 private:
  int64_t Read(int64_t row) const {
    lastRow_ = row;
    return row;
  }

  ResultsList& rows_;
  Saved saved_;
  mutable int64_t lastRow_ = -1;
  int64_t written_ = 0;
  std::string folder_;
};
