// A results list held in memory: the results of the batch mode, which has no window, and the
// base of the tests' stand-ins.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "FeedItem.h"
#include "ResultsList.h"

class MemoryResultsList : public ResultsList {
 public:
  // A text that never changes once made, shared by every row that shows it: all the rows of one
  // feed hold its address once, and a row holds its entry's texts where the reader left them.
  // Made from a string or a literal as a plain string is.
  class SharedText {
   public:
    SharedText() = default;
    SharedText(std::string text)
        : text_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text))) {}
    SharedText(const char* text) : SharedText(std::string(text)) {}
    explicit SharedText(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}

    // The text; empty for a default-made one.
    const std::string& str() const { return text_ ? *text_ : Empty(); }
    bool operator==(const SharedText& other) const { return str() == other.str(); }
    friend std::ostream& operator<<(std::ostream& out, const SharedText& text);

   private:
    static const std::string& Empty();

    std::shared_ptr<const std::string> text_;
  };

  struct Row {
    SharedText text;
    SharedText title;
    SharedText description;
    SharedText link;
    bool checked = false;
    bool operator==(const Row&) const = default;
  };

  // The rows in order. Plain data: the owner reads and fills them directly.
  std::vector<Row> rows;

  int64_t Count() const override;
  void Clear() override;
  // A row with the same address as the row appended before it shares that row's text.
  int64_t Append(const std::string& address) override;
  std::string Text(int64_t row) const override;
  void SetChecked(int64_t row, bool checked) override;
  bool IsChecked(int64_t row) const override;
  void SetSubItem(int64_t row, int column, const std::string& text) override;
  // Keeps the text itself, without a copy.
  void SetSharedSubItem(int64_t row, int column, std::shared_ptr<const std::string> text) override;
  std::string SubItem(int64_t row, int column) const override;
  void SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) override;
  std::shared_ptr<const FeedItem> Entry(int64_t row) const override;
  // There is nothing to scroll; only checks that the row exists.
  void ScrollIntoView(int64_t row) override;

 private:
  // The row; throws std::out_of_range when there is no such row.
  Row& At(int64_t row);
  const Row& At(int64_t row) const;
  // The sub-item's text, const when the row is; throws std::out_of_range for a column other
  // than 1 to 3.
  template <class AnyRow>
  static auto& Cell(AnyRow& row, int column);

  // The address of the last Append, shared with the rows that show it.
  SharedText lastAddress_;
  // The entries given to SetEntry, by row; shorter than rows when the last rows have none.
  std::vector<std::shared_ptr<const FeedItem>> entries_;
};
