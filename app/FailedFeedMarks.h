// Marks the URL-list rows whose feed failed in the last retrieval run: the row's tool tip gives
// the reason and the row shows in the failure colours. The marks go when the next run starts.
// It also counts what the run did, for the line the bar keeps once the run is over.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <cstdint>
#include <functional>

#include "ListViewUrlList.h"
#include "RunObserver.h"

class FailedFeedMarks : public RunObserver {
 public:
  // The failure colours under a palette: the palette's own text on its base tinted red, so the
  // row reads in a light and in a dark palette alike and is plainly unlike an ordinary row.
  static QColor BackgroundFor(const QPalette& palette);

  // summary gets the run's summary line once its closing message has been dismissed.
  FailedFeedMarks(ListViewUrlList& urls, QTreeWidget* list, std::function<void(const QString&)> summary)
      : urls_(urls), list_(list), summary_(std::move(summary)) {}

  // Takes every mark off the URL list and starts the counts again.
  void RunStarted() override;
  // Marks the feed's row when ReadFeed failed, and counts the feed. A feed read whose archive walk
  // ended early gets the walk's note as its tool tip, without the colours.
  void FeedFinished(const FeedOutcome& outcome) override;
  void RunFinished() override;

  // "N feeds read, F failed, R rows" for the run so far.
  QString Summary() const;

 private:
  ListViewUrlList& urls_;
  QTreeWidget* list_;
  std::function<void(const QString&)> summary_;
  int64_t feeds_ = 0;
  int64_t failed_ = 0;
  int64_t rows_ = 0;
};
