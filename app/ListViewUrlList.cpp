#include "ListViewUrlList.h"

#include <stdexcept>

#include "IndexOutOfBounds.h"
#include "ItemText.h"

int64_t ListViewUrlList::Count() const { return list_->topLevelItemCount(); }

QTreeWidgetItem* ListViewUrlList::Item(int64_t row) const {
  if (row < 0 || row >= Count()) ThrowIndexOutOfBounds();
  return list_->topLevelItem(static_cast<int>(row));
}

std::string ListViewUrlList::Text(int64_t row) const { return ItemText::Get(Item(row), 0); }

void ListViewUrlList::Append(const std::string& text) {
  auto* item = new QTreeWidgetItem();
  ItemText::Set(item, 0, text);
  list_->addTopLevelItem(item);
}

void ListViewUrlList::Remove(int64_t row) {
  Item(row);
  delete list_->takeTopLevelItem(static_cast<int>(row));
}

void ListViewUrlList::Clear() { list_->clear(); }

int64_t ListViewUrlList::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return -1;
  return list_->indexOfTopLevelItem(selected.first());
}
