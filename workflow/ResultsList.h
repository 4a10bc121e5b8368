// The results of a retrieval run as the workflow sees them: one row per feed entry with the feed
// address as its text, three sub-items (title, description, link) and a tick box.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class FeedItem;

class ResultsList {
 public:
  // Sub-item columns of a row.
  static constexpr int kTitle = 1;
  static constexpr int kDescription = 2;
  static constexpr int kLink = 3;

  virtual ~ResultsList() = default;

  // The number of rows.
  virtual int64_t Count() const = 0;
  // Removes every row.
  virtual void Clear() = 0;
  // Appends an unticked row with the given text and empty sub-items; returns its index (from 0).
  virtual int64_t Append(const std::string& address) = 0;

  // Every member below throws std::out_of_range when there is no such row or column.

  // The row's text: the feed address it came from.
  virtual std::string Text(int64_t row) const = 0;
  virtual void SetChecked(int64_t row, bool checked) = 0;
  virtual bool IsChecked(int64_t row) const = 0;
  // Sub-item 1 to 3 (kTitle, kDescription, kLink).
  virtual void SetSubItem(int64_t row, int column, const std::string& text) = 0;
  // The same with a text that never changes, which a list may keep instead of copying; text is
  // not null. By default it is copied through SetSubItem.
  virtual void SetSharedSubItem(int64_t row, int column, std::shared_ptr<const std::string> text) {
    SetSubItem(row, column, *text);
  }
  virtual std::string SubItem(int64_t row, int column) const = 0;
  // The entry the row was made from, kept beside its texts for the outputs that need more of it
  // (dates, author, full content); null for a row that was given none.
  virtual void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) = 0;
  virtual std::shared_ptr<const FeedItem> Entry(int64_t row) const = 0;
  // Scrolls the list so that the row is visible.
  virtual void ScrollIntoView(int64_t row) = 0;
};

// A results list that passes every call on to another; a list that watches or changes some of
// them overrides only those.
class ForwardingResultsList : public ResultsList {
 public:
  explicit ForwardingResultsList(ResultsList& rows) : rows_(rows) {}

  int64_t Count() const override { return rows_.Count(); }
  void Clear() override { rows_.Clear(); }
  int64_t Append(const std::string& address) override { return rows_.Append(address); }
  std::string Text(int64_t row) const override { return rows_.Text(row); }
  void SetChecked(int64_t row, bool checked) override { rows_.SetChecked(row, checked); }
  bool IsChecked(int64_t row) const override { return rows_.IsChecked(row); }
  void SetSubItem(int64_t row, int column, const std::string& text) override {
    rows_.SetSubItem(row, column, text);
  }
  void SetSharedSubItem(int64_t row, int column, std::shared_ptr<const std::string> text) override {
    rows_.SetSharedSubItem(row, column, std::move(text));
  }
  std::string SubItem(int64_t row, int column) const override { return rows_.SubItem(row, column); }
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override {
    rows_.SetEntry(row, std::move(entry));
  }
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override { return rows_.Entry(row); }
  void ScrollIntoView(int64_t row) override { rows_.ScrollIntoView(row); }

 protected:
  ResultsList& rows_;
};
