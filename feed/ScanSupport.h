// Building blocks of the hand-written text scanners: byte searches sixteen bytes at a time, and
// removal of ranges from a text where it lies. Internal to the feed engine and the batch mode's
// JSON escaping.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ScanSupport {

inline constexpr uint64_t kHighBits = 0x8080808080808080ULL;

// Sixteen bytes as one vector. GCC and Clang compile comparisons of such vectors to SIMD
// instructions where the target has them (SSE2 on x86-64) and to plain code elsewhere; each
// comparison gives a vector of marks, all ones where it holds and zero where it does not.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Marks16 = signed char __attribute__((vector_size(16)));

inline Bytes16 Load16(const char* bytes) {
  Bytes16 vector;
  std::memcpy(&vector, bytes, sizeof vector);
  return vector;
}

inline bool AnySet(Marks16 marks) {
  uint64_t halves[2];
  std::memcpy(halves, &marks, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

// The index of the first byte in memory order whose high bit is set in marks (marks non-zero,
// only high bits set).
inline std::size_t FirstMarkedByte(uint64_t marks) {
  const int bit = std::endian::native == std::endian::little ? std::countr_zero(marks)
                                                             : std::countl_zero(marks);
  return static_cast<std::size_t>(bit) / 8;
}

// The index of the first mark in marks (some mark set).
inline std::size_t FirstMark(Marks16 marks) {
  uint64_t halves[2];
  std::memcpy(halves, &marks, sizeof halves);
  if (halves[0] != 0) return FirstMarkedByte(halves[0] & kHighBits);
  return 8 + FirstMarkedByte(halves[1] & kHighBits);
}

// The position of the first byte equal to value at or after from, or npos. Inline and a vector
// at a time: markup puts the next '<' or '>' a few dozen bytes ahead, where a call to memchr
// costs more than the search.
inline std::size_t FindByte(std::string_view text, std::size_t from, char value) {
  const char* const data = text.data();
  for (; from + 16 <= text.size(); from += 16) {
    const Marks16 marks = Load16(data + from) == static_cast<unsigned char>(value);
    uint64_t halves[2];
    std::memcpy(halves, &marks, sizeof halves);
    if (halves[0] != 0) return from + FirstMarkedByte(halves[0] & kHighBits);
    if (halves[1] != 0) return from + 8 + FirstMarkedByte(halves[1] & kHighBits);
  }
  for (; from < text.size(); ++from) {
    if (data[from] == value) return from;
  }
  return std::string_view::npos;
}

// The position of the first byte equal to first that is followed by a byte equal to second, at
// or after from, or npos.
inline std::size_t FindPair(std::string_view text, std::size_t from, char first, char second) {
  const char* const data = text.data();
  // Each block reads one byte past its end, for a pair that straddles two blocks.
  for (; from + 17 <= text.size(); from += 16) {
    const Marks16 marks = (Load16(data + from) == static_cast<unsigned char>(first)) &
                          (Load16(data + from + 1) == static_cast<unsigned char>(second));
    if (AnySet(marks)) return from + FirstMark(marks);
  }
  for (; from + 1 < text.size(); ++from) {
    if (data[from] == first && data[from + 1] == second) return from;
  }
  return std::string_view::npos;
}

// Removes dropped ranges from a text where it lies: each kept run moves down over the ranges
// dropped before it. Writing stays behind the scan (a run is moved only once the scan has passed
// it), so every byte still to be scanned is untouched; and until the first drop nothing moves.
class Compactor {
 public:
  explicit Compactor(std::string& text) : text_(text) {}

  // Drops text[from, to): the bytes before it since the last drop are kept.
  void Drop(std::size_t from, std::size_t to) {
    Keep(from);
    keepFrom_ = to;
  }

  // Keeps the rest and cuts the text to what was kept. The text is not to be scanned after.
  void Finish() {
    Keep(text_.size());
    text_.resize(size_);
  }

  // Finish for a scan that stopped at stop: returns where the unscanned rest now starts.
  std::size_t FinishAt(std::size_t stop) {
    Keep(stop);
    const std::size_t restStart = size_;
    Finish();
    return restStart;
  }

 private:
  void Keep(std::size_t end) {
    const std::size_t length = end - keepFrom_;
    if (size_ != keepFrom_ && length > 0) {
      std::memmove(text_.data() + size_, text_.data() + keepFrom_, length);
    }
    size_ += length;
    keepFrom_ = end;
  }

  std::string& text_;
  std::size_t size_ = 0;  // bytes kept so far, at the front of text_
  std::size_t keepFrom_ = 0;
};

}  // namespace ScanSupport
