#include "PatternScanners.h"

#include <cstdint>

#include "ScanSupport.h"
#include "Utf8.h"

// Why plain byte scanning gives RE2's answer:
// - In valid UTF-8, "(.|\n)+?>" means "at least one code point, then the first '>'". A '>' byte
//   never occurs inside a multi-byte sequence, so that '>' is simply the first '>' byte at least
//   one byte past the place where the code point starts.
// - The control characters, U+FFFE and U+FFFF have no case, so the case-insensitive class holds
//   exactly them.
// - Every match starts at a '<' or at a forbidden character, and a match runs to its own end
//   before the search resumes, exactly as in a replace-all.
// - Bytes that are not valid UTF-8 matter only inside a tag. RE2 looks for the start of a match
//   byte by byte, so outside tags it steps over any byte as the scanners do, and a forbidden
//   character is the same bytes wherever it stands (the class matches no span, so the cleaning
//   scanner is exact for any bytes). Inside a tag, whether "(.|\n)" steps over such bytes is
//   RE2's own affair, so the tag scanner stops at a tag that holds them and leaves the rest of the
//   text to RE2.

namespace PatternScanners {
namespace {

using namespace ScanSupport;

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

constexpr bool IsForbiddenControl(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// False only when none of the sixteen bytes at block starts a forbidden character: none is a
// forbidden control and none is the 0xEF that leads U+FFFE and U+FFFF. Tabs and line ends are
// everywhere in a feed, so they must not send a block to the byte-by-byte path.
bool MayHoldForbidden(const char* block) {
  const Bytes16 bytes = Load16(block);
  Marks16 hits = (bytes < 0x20) & (bytes != '\t') & (bytes != '\n') & (bytes != '\r');
  hits |= bytes == 0xEF;
  return AnySet(hits);
}

bool IsNonCharacterFffeOrFfff(std::string_view text, std::size_t at) {
  return at + 2 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0xBF &&
         (static_cast<unsigned char>(text[at + 2]) | 1) == 0xBF;
}

}  // namespace

void CleanDocumentInPlace(std::string& text) {
  const std::string_view view = text;
  const std::size_t size = view.size();
  Compactor compactor(text);
  std::size_t pos = 0;
  while (pos < size) {
    // Skip sixteen bytes at a time while none of them can start a match.
    while (pos + 16 <= size && !MayHoldForbidden(view.data() + pos)) pos += 16;
    const std::size_t blockEnd = pos + 16 < size ? pos + 16 : size;
    while (pos < blockEnd) {
      const auto c = static_cast<unsigned char>(view[pos]);
      if (IsForbiddenControl(c)) {
        compactor.Drop(pos, pos + 1);
        ++pos;
      } else if (c == 0xEF && IsNonCharacterFffeOrFfff(view, pos)) {
        compactor.Drop(pos, pos + 3);
        pos += 3;
      } else {
        ++pos;
      }
    }
  }
  compactor.Finish();
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
    if (nonAscii && !Utf8::IsValid(view.substr(start + 1, close - start - 1))) {
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

}  // namespace PatternScanners
