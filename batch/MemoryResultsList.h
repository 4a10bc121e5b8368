// A results list held in memory: the results of the batch mode, which has no window, and the
// base of the tests' stand-ins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ResultsList.h"

class MemoryResultsList : public ResultsList {
 public:
  struct Row {
    std::string text;
    std::string title;
    std::string description;
    std::string link;
    bool checked = false;
    bool operator==(const Row&) const = default;
  };

  // The rows in order. Plain data: the owner reads and fills them directly.
  std::vector<Row> rows;

  int64_t Count() const override;
  void Clear() override;
  int64_t Append(const std::string& address) override;
  std::string Text(int64_t row) const override;
  void SetChecked(int64_t row, bool checked) override;
  bool IsChecked(int64_t row) const override;
  void SetSubItem(int64_t row, int column, const std::string& text) override;
  std::string SubItem(int64_t row, int column) const override;
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
};
