// The user's list of feed addresses, one text per row, as the workflow sees it; the window's URL
// list implements it, tests use a plain vector.
#pragma once

#include <cstdint>
#include <string>

class UrlList {
 public:
  virtual ~UrlList() = default;

  // The number of rows.
  virtual int64_t Count() const = 0;
  // The text of a row, counted from 0; throws std::out_of_range when there is no such row.
  virtual std::string Text(int64_t row) const = 0;
  // Appends a row at the end, the text exactly as given.
  virtual void Append(const std::string& text) = 0;
  // Removes a row; throws std::out_of_range when there is no such row.
  virtual void Remove(int64_t row) = 0;
  // Removes every row.
  virtual void Clear() = 0;
  // The selected row, or -1 when no row is selected.
  virtual int64_t SelectedRow() const = 0;
};
