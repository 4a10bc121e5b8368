#include "MemoryUrlList.h"

#include <stdexcept>

#include "IndexOutOfBounds.h"

int64_t MemoryUrlList::Count() const { return static_cast<int64_t>(rows.size()); }

std::string MemoryUrlList::Text(int64_t row) const { return rows[Index(row)]; }

void MemoryUrlList::Append(const std::string& text) { rows.push_back(text); }

void MemoryUrlList::Remove(int64_t row) {
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(Index(row)));
  selected = -1;
}

void MemoryUrlList::Clear() {
  rows.clear();
  selected = -1;
}

int64_t MemoryUrlList::SelectedRow() const { return selected; }

std::size_t MemoryUrlList::Index(int64_t row) const {
  if (row < 0 || row >= static_cast<int64_t>(rows.size())) ThrowIndexOutOfBounds();
  return static_cast<std::size_t>(row);
}
