#include "PatternScanners.h"

#include <bit>
#include <cstdint>
#include <cstring>

// Why plain byte scanning gives RE2's answer:
// - In valid UTF-8, "(.|\n)+?>" means "at least one code point, then the first '>'". A '>' byte
//   never occurs inside a multi-byte sequence, so that '>' is simply the first '>' byte at least
//   one byte past the place where the code point starts, and memchr finds it.
// - Under RE2's case folding the letters of "DOCTYPE" match only their ASCII upper and lower
//   case (unlike K and S, none of them has a non-ASCII fold partner such as U+212A or U+017F),
//   and the control characters, U+FFFE and U+FFFF have no case at all.
// - Every match starts at a '<' or at a forbidden character, and a match runs to its own end
//   before the search resumes, exactly as in a replace-all.
// - Bytes that are not valid UTF-8 matter only inside a tag or a declaration. RE2 looks for the
//   start of a match byte by byte, so outside those it steps over any byte as the scanners do,
//   and a forbidden character is the same bytes wherever it stands. Inside, whether
//   "(.|\n)" steps over such bytes is RE2's own affair, so a scanner stops at a tag or
//   declaration that holds them and leaves the rest of the text to RE2.

namespace PatternScanners {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ULL;

uint64_t Load8(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Sixteen bytes as one vector. GCC and Clang compile comparisons of such vectors to SIMD
// instructions where the target has them (SSE2 on x86-64) and to plain code elsewhere; each
// comparison gives a vector of marks, all ones where it holds and zero where it does not.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Marks16 = signed char __attribute__((vector_size(16)));

Bytes16 Load16(const char* bytes) {
  Bytes16 vector;
  std::memcpy(&vector, bytes, sizeof vector);
  return vector;
}

bool AnySet(Marks16 marks) {
  uint64_t halves[2];
  std::memcpy(halves, &marks, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

// The index of the first byte in memory order whose high bit is set in marks (marks non-zero,
// only high bits set).
std::size_t FirstMarkedByte(uint64_t marks) {
  const int bit = std::endian::native == std::endian::little ? std::countr_zero(marks)
                                                             : std::countl_zero(marks);
  return static_cast<std::size_t>(bit) / 8;
}

// The position of the first byte equal to value at or after from, or npos. Inline and a vector
// at a time: markup puts the next '<' or '>' a few dozen bytes ahead, where a call to memchr
// costs more than the search.
std::size_t FindByte(std::string_view text, std::size_t from, char value) {
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

// The index of the first mark in marks (some mark set).
std::size_t FirstMark(Marks16 marks) {
  uint64_t halves[2];
  std::memcpy(halves, &marks, sizeof halves);
  if (halves[0] != 0) return FirstMarkedByte(halves[0] & kHighBits);
  return 8 + FirstMarkedByte(halves[1] & kHighBits);
}

// The position of the first '>' at or after from, or npos; nonAscii tells whether a byte from
// from up to that '>' is outside ASCII. One pass for both, as FindByte goes.
std::size_t FindTagEnd(std::string_view text, std::size_t from, bool& nonAscii) {
  const char* const data = text.data();
  nonAscii = false;
  for (; from + 16 <= text.size(); from += 16) {
    const Bytes16 bytes = Load16(data + from);
    const Marks16 high = bytes >= 0x80;
    const Marks16 close = bytes == '>';
    if (AnySet(close)) {
      const std::size_t at = FirstMark(close);
      nonAscii = nonAscii || (AnySet(high) && FirstMark(high) < at);
      return from + at;
    }
    nonAscii = nonAscii || AnySet(high);
  }
  for (; from < text.size(); ++from) {
    if (data[from] == '>') return from;
    nonAscii = nonAscii || static_cast<unsigned char>(data[from]) >= 0x80;
  }
  return std::string_view::npos;
}

// True when some byte of text is outside ASCII.
bool HasNonAscii(std::string_view text) {
  std::size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    if (Load8(text.data() + pos) & kHighBits) return true;
  }
  for (; pos < text.size(); ++pos) {
    if (static_cast<unsigned char>(text[pos]) >= 0x80) return true;
  }
  return false;
}

// True when the bytes of a tag or declaration between its '<' and its '>' are such that RE2's
// match of it is the scanner's: ASCII, or valid UTF-8.
bool SpanIsExact(std::string_view span) { return !HasNonAscii(span) || IsValidUtf8(span); }

constexpr bool IsForbiddenControl(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
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

// The cleaning scanner's state: the text, where it stands, and whether a document type
// declaration can still end somewhere ahead.
class CleanScanner {
 public:
  explicit CleanScanner(std::string& text) : text_(text), compactor_(text) {}

  std::size_t Run() {
    const std::size_t size = text_.size();
    while (pos_ < size && stop_ == kNotStopped) {
      // Skip sixteen bytes at a time while none of them can start a match. The byte after the
      // block is read too, for a "<!" that straddles the block's end.
      while (pos_ + 17 <= size && !MayStartMatch(text_.data() + pos_)) pos_ += 16;
      const std::size_t blockEnd = pos_ + 16 < size ? pos_ + 16 : size;
      while (pos_ < blockEnd && stop_ == kNotStopped) Step();
    }
    if (stop_ != kNotStopped) return compactor_.FinishAt(stop_);
    compactor_.Finish();
    return kNotStopped;
  }

 private:
  static constexpr std::string_view kDoctype = "<!doctype";
  static constexpr std::size_t kNotStopped = std::string_view::npos;

  // False only when Step would pass over each of the sixteen bytes at block without a match:
  // none is a forbidden control, none is the 0xEF that leads U+FFFE and U+FFFF, and no '<'
  // is followed by the '!' of "<!DOCTYPE". Tabs, line ends and tags are everywhere in a feed,
  // so they must not send a block to the byte-by-byte path.
  bool MayStartMatch(const char* block) const {
    const Bytes16 bytes = Load16(block);
    Marks16 hits = (bytes < 0x20) & (bytes != '\t') & (bytes != '\n') & (bytes != '\r');
    hits |= bytes == 0xEF;
    if (doctypePossible_) hits |= (bytes == '<') & (Load16(block + 1) == '!');
    return AnySet(hits);
  }

  // Examines the byte at pos_, drops the match that starts there if any, and moves on.
  void Step() {
    const auto c = static_cast<unsigned char>(text_[pos_]);
    if (IsForbiddenControl(c)) {
      compactor_.Drop(pos_, pos_ + 1);
      ++pos_;
    } else if (c == 0xEF && IsNonCharacterFffeOrFfff(pos_)) {
      compactor_.Drop(pos_, pos_ + 3);
      pos_ += 3;
    } else if (c == '<' && doctypePossible_ && StartsDoctype(pos_)) {
      // "<!DOCTYPE", one character (which may itself be '>'), then up to the first '>'.
      const std::size_t searchFrom = pos_ + kDoctype.size() + 1;
      const void* found = std::memchr(text_.data() + searchFrom, '>', text_.size() - searchFrom);
      if (found) {
        const std::size_t end = static_cast<const char*>(found) - text_.data() + 1;
        if (!SpanIsExact(text_.substr(pos_ + 1, end - pos_ - 2))) {
          stop_ = pos_;
          return;
        }
        compactor_.Drop(pos_, end);
        pos_ = end;
      } else {
        // No '>' ahead: no later declaration can end either, so stop looking (and stop a
        // run of unterminated declarations from costing a scan to the end each).
        doctypePossible_ = false;
        ++pos_;
      }
    } else {
      ++pos_;
    }
  }

  bool IsNonCharacterFffeOrFfff(std::size_t at) const {
    return at + 2 < text_.size() && static_cast<unsigned char>(text_[at + 1]) == 0xBF &&
           (static_cast<unsigned char>(text_[at + 2]) | 1) == 0xBF;
  }

  // True when "<!doctype" in any ASCII case starts at `at` and at least one byte follows it.
  bool StartsDoctype(std::size_t at) const {
    if (text_.size() - at <= kDoctype.size()) return false;
    for (std::size_t i = 1; i < kDoctype.size(); ++i) {
      const auto c = static_cast<unsigned char>(text_[at + i]);
      const auto lower = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
      if (lower != static_cast<unsigned char>(kDoctype[i])) return false;
    }
    return true;
  }

  std::string_view text_;
  Compactor compactor_;
  std::size_t pos_ = 0;
  std::size_t stop_ = kNotStopped;  // a declaration RE2 may read otherwise starts here
  bool doctypePossible_ = true;
};

}  // namespace

std::size_t CleanDocumentInPlace(std::string& text) {
  if (text.empty()) return std::string::npos;
  return CleanScanner(text).Run();
}

std::size_t StripHtmlInPlace(std::string& text) {
  const std::string_view view = text;
  const std::size_t size = view.size();
  Compactor compactor(text);
  std::size_t pos = 0;
  while (pos < size) {
    const std::size_t start = FindByte(view, pos, '<');
    if (start == std::string_view::npos) break;
    // At least one character after the '<', then the first '>'. With no '>' ahead, no later
    // '<' can start a tag either.
    const std::size_t searchFrom = start + 2;
    if (searchFrom >= size) break;
    bool nonAscii;
    const std::size_t close = FindTagEnd(view, searchFrom, nonAscii);
    if (close == std::string_view::npos) break;
    nonAscii = nonAscii || static_cast<unsigned char>(view[start + 1]) >= 0x80;
    if (nonAscii && !IsValidUtf8(view.substr(start + 1, close - start - 1))) {
      return compactor.FinishAt(start);
    }
    pos = close + 1;
    compactor.Drop(start, pos);
  }
  compactor.Finish();
  return std::string::npos;
}

std::string CleanDocument(std::string_view text) {
  std::string result(text);
  CleanDocumentInPlace(result);
  return result;
}

std::string StripHtml(std::string_view text) {
  std::string result(text);
  StripHtmlInPlace(result);
  return result;
}

bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t pos = 0;
  while (pos < size) {
    // ASCII runs are the common case: sixteen bytes at a time, then straight to the first byte
    // with its high bit set.
    while (pos + 16 <= size &&
           ((Load8(text.data() + pos) | Load8(text.data() + pos + 8)) & kHighBits) == 0) {
      pos += 16;
    }
    if (pos + 8 <= size) {
      const uint64_t high = Load8(text.data() + pos) & kHighBits;
      if (high == 0) {
        pos += 8;
        continue;
      }
      pos += FirstMarkedByte(high);
    }
    if (pos >= size) break;
    const unsigned char lead = bytes[pos];
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    // The range of the second byte and the length, by the lead byte (shortest forms only, no
    // surrogates, at most U+10FFFF).
    unsigned char low = 0x80, high = 0xBF;
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (size - pos < length) return false;
    if (bytes[pos + 1] < low || bytes[pos + 1] > high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if ((bytes[pos + i] & 0xC0) != 0x80) return false;
    }
    pos += length;
  }
  return true;
}

}  // namespace PatternScanners
