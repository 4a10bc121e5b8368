#include "FailedFeedMarks.h"

#include <QBrush>

#include "ItemText.h"

QColor FailedFeedMarks::BackgroundFor(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor red(0xe0, 0x20, 0x20);
  // A quarter red: a pale rose on white, a dark maroon on a dark base.
  constexpr double kShare = 0.25;
  return QColor::fromRgbF(base.redF() * (1 - kShare) + red.redF() * kShare,
                          base.greenF() * (1 - kShare) + red.greenF() * kShare,
                          base.blueF() * (1 - kShare) + red.blueF() * kShare);
}

void FailedFeedMarks::RunStarted() {
  feeds_ = failed_ = rows_ = 0;
  for (int64_t row = 0; row < urls_.Count(); ++row) {
    QTreeWidgetItem* item = urls_.Item(row);
    ItemText::Reset(item, 0, Qt::ToolTipRole);
    ItemText::Reset(item, 0, Qt::ForegroundRole);
    ItemText::Reset(item, 0, Qt::BackgroundRole);
  }
}

void FailedFeedMarks::FeedFinished(const FeedOutcome& outcome) {
  ++feeds_;
  rows_ += outcome.rowsAdded;
  const bool failed = FeedFailed(outcome);
  if (!failed && outcome.archiveNote.empty()) return;
  failed_ += failed;
  // Rows may have been added during the run, but never removed or moved while it shows the
  // hourglass; still, a row that no longer holds the address is not the one that failed.
  if (outcome.row < 0 || outcome.row >= urls_.Count()) return;
  QTreeWidgetItem* item = urls_.Item(outcome.row);
  if (ItemText::Get(item, 0) != outcome.address) return;
  // A feed read whose archive walk ended early says why, without the failure colours.
  item->setToolTip(0, QString::fromStdString(failed ? FeedFailureReason(outcome) : outcome.archiveNote));
  if (!failed) return;
  const QPalette palette = list_->palette();
  item->setForeground(0, palette.brush(QPalette::Text));
  item->setBackground(0, QBrush(BackgroundFor(palette)));
}

void FailedFeedMarks::RunFinished() {
  if (summary_) summary_(Summary());
}

QString FailedFeedMarks::Summary() const {
  return QStringLiteral("%1 feeds read, %2 failed, %3 rows").arg(feeds_).arg(failed_).arg(rows_);
}
