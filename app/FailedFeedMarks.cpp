#include "FailedFeedMarks.h"

#include <QBrush>

#include "ItemText.h"

void FailedFeedMarks::RunStarted() {
  for (int64_t row = 0; row < urls_.Count(); ++row) {
    QTreeWidgetItem* item = urls_.Item(row);
    ItemText::Reset(item, 0, Qt::ToolTipRole);
    ItemText::Reset(item, 0, Qt::ForegroundRole);
    ItemText::Reset(item, 0, Qt::BackgroundRole);
  }
}

void FailedFeedMarks::FeedFinished(const FeedOutcome& outcome) {
  if (!FeedFailed(outcome)) return;
  // Rows may have been added during the run, but never removed or moved while it shows the
  // hourglass; still, a row that no longer holds the address is not the one that failed.
  if (outcome.row < 0 || outcome.row >= urls_.Count()) return;
  QTreeWidgetItem* item = urls_.Item(outcome.row);
  if (ItemText::Get(item, 0) != outcome.address) return;
  item->setToolTip(0, QString::fromStdString(FeedFailureReason(outcome)));
  item->setForeground(0, QBrush(kText));
  item->setBackground(0, QBrush(kBackground));
}
