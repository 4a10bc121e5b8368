#include "ListViewResultsList.h"

#include <stdexcept>

#include "FeedItem.h"
#include "IndexOutOfBounds.h"
#include "ItemText.h"
#include "OneLineDelegate.h"

namespace {

// A row that keeps the entry it was made from beside its texts.
class EntryRow : public QTreeWidgetItem {
 public:
  std::shared_ptr<const FeedItem> entry;
};

void RequireSubItem(int column) {
  if (column < ResultsList::kTitle || column > ResultsList::kLink) {
    ThrowIndexOutOfBounds();
  }
}

}  // namespace

ListViewResultsList::ListViewResultsList(QTreeWidget* list) : list_(list) {
  // Rows are one line high, so the view need not measure each row's texts to lay them out; the
  // delegate keeps a description with line breaks from making the first row, and so every row,
  // several lines high.
  list_->setItemDelegate(new OneLineDelegate(list_));
  list_->setUniformRowHeights(true);
  scroll_.setSingleShot(true);
  scroll_.setInterval(0);
  QObject::connect(&scroll_, &QTimer::timeout, [this] { ScrollNow(); });
}

int64_t ListViewResultsList::Count() const { return list_->topLevelItemCount(); }

void ListViewResultsList::Clear() {
  scrollRow_ = -1;
  list_->clear();
}

int64_t ListViewResultsList::Append(const std::string& address) {
  auto* item = new EntryRow();
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, Qt::Unchecked);
  // A feed's rows come one after another: its address is decoded once, for its first row.
  if (!lastAddress_ || *lastAddress_ != address) {
    lastShown_ = ItemText::Prepare(address);
    lastAddress_ = address;
  }
  ItemText::Set(item, 0, lastShown_);
  list_->addTopLevelItem(item);
  return list_->topLevelItemCount() - 1;
}

QTreeWidgetItem* ListViewResultsList::Item(int64_t row) const {
  if (row < 0 || row >= Count()) ThrowIndexOutOfBounds();
  return list_->topLevelItem(static_cast<int>(row));
}

std::string ListViewResultsList::Text(int64_t row) const { return ItemText::Get(Item(row), 0); }

void ListViewResultsList::SetChecked(int64_t row, bool checked) {
  Item(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool ListViewResultsList::IsChecked(int64_t row) const {
  return Item(row)->checkState(0) == Qt::Checked;
}

void ListViewResultsList::SetSubItem(int64_t row, int column, const std::string& text) {
  RequireSubItem(column);
  ItemText::Set(Item(row), column, text);
}

std::string ListViewResultsList::SubItem(int64_t row, int column) const {
  RequireSubItem(column);
  return ItemText::Get(Item(row), column);
}

void ListViewResultsList::SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) {
  // Every row of this list is made by Append; a row put in by other means keeps no entry.
  if (auto* kept = dynamic_cast<EntryRow*>(Item(row))) kept->entry = std::move(entry);
}

std::shared_ptr<const FeedItem> ListViewResultsList::Entry(int64_t row) const {
  auto* kept = dynamic_cast<const EntryRow*>(Item(row));
  return kept ? kept->entry : nullptr;
}

void ListViewResultsList::ScrollIntoView(int64_t row) {
  Item(row);
  scrollRow_ = row;
  if (!scroll_.isActive()) scroll_.start();
}

void ListViewResultsList::ScrollNow() {
  if (scrollRow_ >= 0 && scrollRow_ < Count()) list_->scrollToItem(Item(scrollRow_));
  scrollRow_ = -1;
}
