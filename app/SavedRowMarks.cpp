#include "SavedRowMarks.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>

SavedRowMarks::SavedRowMarks(ResultsList& rows, QTreeWidget* list, SavedRecord& record)
    : ForwardingResultsList(rows), list_(list), record_(record) {}

SavedRowMarks::~SavedRowMarks() { record_.EndLookups(); }

void SavedRowMarks::SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) {
  rows_.SetEntry(row, entry);
  // Read back from the list, as a save reads the row.
  const RowEntry whole{rows_.Text(row), rows_.SubItem(row, kTitle), rows_.SubItem(row, kDescription),
                       rows_.SubItem(row, kLink), std::move(entry)};
  if (!grouped_) {
    grouped_ = true;
    record_.BeginLookups();
    QTimer::singleShot(0, &groupEnd_, [this] {
      grouped_ = false;
      record_.EndLookups();
    });
  }
  const std::optional<SavedEntry> saved = record_.Find(EntryIdentity(whole));
  if (!saved) return;
  rows_.SetChecked(row, false);
  QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
  if (!item) return;
  // The palette's own colour for text that is not in use, which every style keeps readable.
  const QBrush grey = list_->palette().brush(QPalette::Disabled, QPalette::Text);
  const QString tip = ToolTip(*saved);
  for (int column = 0; column < list_->columnCount(); ++column) {
    item->setForeground(column, grey);
    item->setToolTip(column, tip);
  }
}

QString SavedRowMarks::ToolTip(const SavedEntry& saved) {
  const QString when =
      QDateTime::fromSecsSinceEpoch(saved.savedAt).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  if (saved.file.empty()) return QStringLiteral("Recorded as saved into this folder on %1, without a file.").arg(when);
  return QStringLiteral("Saved into this folder as %1 on %2.")
      .arg(QFile::decodeName(QByteArray::fromStdString(saved.file)), when);
}
