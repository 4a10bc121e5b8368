// The results list of a retrieval run under "Tick Only New Entries": a row whose entry the
// record holds as saved into the output folder arrives unticked and greyed, its tool tip naming
// the file and when it was saved. Every call is passed on to the window's list; the user may
// still tick a greyed row and save it.
#pragma once

#include <QObject>
#include <QString>
#include <QTreeWidget>

#include "ResultsList.h"
#include "SavedRecord.h"

class SavedRowMarks : public ResultsList {
 public:
  // rows is the window's list over list; record must outlive this.
  SavedRowMarks(ResultsList& rows, QTreeWidget* list, SavedRecord& record);
  ~SavedRowMarks() override;
  SavedRowMarks(const SavedRowMarks&) = delete;
  SavedRowMarks& operator=(const SavedRowMarks&) = delete;

  int64_t Count() const override { return rows_.Count(); }
  void Clear() override { rows_.Clear(); }
  int64_t Append(const std::string& address) override { return rows_.Append(address); }
  std::string Text(int64_t row) const override { return rows_.Text(row); }
  void SetChecked(int64_t row, bool checked) override { rows_.SetChecked(row, checked); }
  bool IsChecked(int64_t row) const override { return rows_.IsChecked(row); }
  void SetSubItem(int64_t row, int column, const std::string& text) override {
    rows_.SetSubItem(row, column, text);
  }
  void SetSharedSubItem(int64_t row, int column, std::shared_ptr<const std::string> text) override {
    rows_.SetSharedSubItem(row, column, std::move(text));
  }
  std::string SubItem(int64_t row, int column) const override { return rows_.SubItem(row, column); }
  // A row's entry comes last, after its tick and texts, so the row is whole here and its
  // identity is the one a save records.
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override;
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override { return rows_.Entry(row); }
  void ScrollIntoView(int64_t row) override { rows_.ScrollIntoView(row); }

  // "Saved into this folder as FILE on 2026-12-07 13:05." in local time; an entry recorded
  // without a file (by --catch-up) says so instead of naming one.
  static QString ToolTip(const SavedEntry& saved);

 private:
  ResultsList& rows_;
  QTreeWidget* list_;
  SavedRecord& record_;
  // The rows added between two passes of the window's events share one read of the record;
  // the pass ends it, so that no other instance waits on it while a feed downloads. The timer
  // that ends it goes with this object.
  QObject groupEnd_;
  bool grouped_ = false;
};
