// A URL list held in memory: the list of the batch mode, which has no window, and the base of
// the tests' stand-ins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UrlList.h"

class MemoryUrlList : public UrlList {
 public:
  // The rows in order. Plain data: the owner reads and fills them directly.
  std::vector<std::string> rows;
  // The selected row, or -1 when none is; removing or clearing rows selects none.
  int64_t selected = -1;

  int64_t Count() const override;
  std::string Text(int64_t row) const override;
  void Append(const std::string& text) override;
  void Remove(int64_t row) override;
  void Clear() override;
  int64_t SelectedRow() const override;

 private:
  // The vector index of row; throws std::out_of_range when there is no such row.
  std::size_t Index(int64_t row) const;
};
