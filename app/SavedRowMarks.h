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

class SavedRowMarks : public ForwardingResultsList {
 public:
  // rows is the window's list over list; record must outlive this.
  SavedRowMarks(ResultsList& rows, QTreeWidget* list, SavedRecord& record);
  ~SavedRowMarks() override;
  SavedRowMarks(const SavedRowMarks&) = delete;
  SavedRowMarks& operator=(const SavedRowMarks&) = delete;

  // A row's entry comes last, after its tick and texts, so the row is whole here and its
  // identity is the one a save records.
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override;

  // "Saved into this folder as FILE on 2026-12-07 13:05." in local time; an entry recorded
  // without a file (by --catch-up) says so instead of naming one.
  static QString ToolTip(const SavedEntry& saved);

 private:
  QTreeWidget* list_;
  SavedRecord& record_;
  // The rows added between two passes of the window's events share one read of the record;
  // the pass ends it, so that no other instance waits on it while a feed downloads. The timer
  // that ends it goes with this object.
  QObject groupEnd_;
  bool grouped_ = false;
};
