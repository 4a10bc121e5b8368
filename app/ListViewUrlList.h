// The URL list as the workflow sees it, over the window's ListView1: one row per address.
#pragma once

#include <QTreeWidget>

#include "UrlList.h"

class ListViewUrlList : public UrlList {
 public:
  explicit ListViewUrlList(QTreeWidget* list) : list_(list) {}

  int64_t Count() const override;
  std::string Text(int64_t row) const override;
  void Append(const std::string& text) override;
  void Remove(int64_t row) override;
  void Clear() override;
  int64_t SelectedRow() const override;

  // The row's item; throws std::out_of_range when there is no such row.
  QTreeWidgetItem* Item(int64_t row) const;

 private:
  QTreeWidget* list_;
};
