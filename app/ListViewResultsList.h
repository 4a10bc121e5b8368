// The results list as the workflow sees it, over the window's ListView2: one ticked or unticked
// row per feed entry, with the address, title, description and link in columns 1 to 4.
#pragma once

#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <string>

#include "ItemText.h"
#include "ResultsList.h"

class ListViewResultsList : public ResultsList {
 public:
  explicit ListViewResultsList(QTreeWidget* list);

  int64_t Count() const override;
  void Clear() override;
  int64_t Append(const std::string& address) override;
  std::string Text(int64_t row) const override;
  void SetChecked(int64_t row, bool checked) override;
  bool IsChecked(int64_t row) const override;
  void SetSubItem(int64_t row, int column, const std::string& text) override;
  std::string SubItem(int64_t row, int column) const override;
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override;
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override;
  // The list scrolls when the window next handles its events, before it paints: scrolling at
  // once would lay out the whole list again for every row a run adds.
  void ScrollIntoView(int64_t row) override;

 private:
  QTreeWidgetItem* Item(int64_t row) const;
  void ScrollNow();

  QTreeWidget* list_;
  // The address of the last Append, as its rows show it.
  std::optional<std::string> lastAddress_;
  ItemText::Shown lastShown_;
  QTimer scroll_;
  int64_t scrollRow_ = -1;
};
