// Marks the URL-list rows whose feed failed in the last retrieval run: the row's tool tip gives
// the reason and the row shows in the failure colours. The marks go when the next run starts.
#pragma once

#include <QColor>

#include "ListViewUrlList.h"
#include "RunObserver.h"

class FailedFeedMarks : public RunObserver {
 public:
  // Dark red on a pale red background: readable, and plainly unlike an ordinary row.
  static inline const QColor kText{0x9c, 0x00, 0x06};
  static inline const QColor kBackground{0xff, 0xc7, 0xce};

  explicit FailedFeedMarks(ListViewUrlList& urls) : urls_(urls) {}

  // Takes every mark off the URL list.
  void RunStarted() override;
  // Marks the feed's row when it added no rows because ReadFeed failed.
  void FeedFinished(const FeedOutcome& outcome) override;

 private:
  ListViewUrlList& urls_;
};
