#include "MemoryResultsList.h"

#include <ostream>
#include <stdexcept>
#include <utility>

#include "IndexOutOfBounds.h"

const std::string& MemoryResultsList::SharedText::Empty() {
  static const std::string empty;
  return empty;
}

std::ostream& operator<<(std::ostream& out, const MemoryResultsList::SharedText& text) {
  return out << text.str();
}

template <class AnyRow>
auto& MemoryResultsList::Cell(AnyRow& row, int column) {
  switch (column) {
    case kTitle:
      return row.title;
    case kDescription:
      return row.description;
    case kLink:
      return row.link;
    default:
      ThrowIndexOutOfBounds();
  }
}

int64_t MemoryResultsList::Count() const { return static_cast<int64_t>(rows.size()); }

void MemoryResultsList::Clear() {
  rows.clear();
  entries_.clear();
}

int64_t MemoryResultsList::Append(const std::string& address) {
  // A feed's rows come one after another, so comparing with the last address finds the shared
  // text without a lookup.
  if (lastAddress_.str() != address) lastAddress_ = SharedText(address);
  rows.push_back({lastAddress_, {}, {}, {}, false});
  return static_cast<int64_t>(rows.size()) - 1;
}

std::string MemoryResultsList::Text(int64_t row) const { return At(row).text.str(); }

void MemoryResultsList::SetChecked(int64_t row, bool checked) { At(row).checked = checked; }

bool MemoryResultsList::IsChecked(int64_t row) const { return At(row).checked; }

void MemoryResultsList::SetSubItem(int64_t row, int column, const std::string& text) {
  Cell(At(row), column) = SharedText(text);
}

void MemoryResultsList::SetSharedSubItem(int64_t row, int column, std::shared_ptr<const std::string> text) {
  Cell(At(row), column) = SharedText(std::move(text));
}

std::string MemoryResultsList::SubItem(int64_t row, int column) const {
  return Cell(At(row), column).str();
}

void MemoryResultsList::SetEntry(int64_t row, std::shared_ptr<const FeedItem> entry) {
  At(row);
  const auto index = static_cast<std::size_t>(row);
  if (entries_.size() <= index) entries_.resize(index + 1);
  entries_[index] = std::move(entry);
}

std::shared_ptr<const FeedItem> MemoryResultsList::Entry(int64_t row) const {
  At(row);
  const auto index = static_cast<std::size_t>(row);
  return index < entries_.size() ? entries_[index] : nullptr;
}

void MemoryResultsList::ScrollIntoView(int64_t row) { At(row); }

MemoryResultsList::Row& MemoryResultsList::At(int64_t row) {
  if (row < 0 || row >= static_cast<int64_t>(rows.size())) ThrowIndexOutOfBounds();
  return rows[static_cast<std::size_t>(row)];
}

const MemoryResultsList::Row& MemoryResultsList::At(int64_t row) const {
  if (row < 0 || row >= static_cast<int64_t>(rows.size())) ThrowIndexOutOfBounds();
  return rows[static_cast<std::size_t>(row)];
}
