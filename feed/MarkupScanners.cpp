#include "MarkupScanners.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "AsciiCase.h"
#include "ScanSupport.h"

// Both passes look for their few candidates with a fast byte-pair search ("<!", "&#") and ask a
// walker of the document's markup only about those: most feeds have no declaration and no
// forbidden reference, and then the markup is never walked at all. The walker reads as far as
// the last candidate asked about, each byte once, however many candidates there are.

namespace MarkupScanners {
namespace {

using namespace ScanSupport;

constexpr std::size_t kNone = std::string_view::npos;

// What a byte of a document is to the parser.
enum class Context { kText, kTag, kAttributeValue, kComment, kCdata, kInstruction, kDeclaration };

// The position just past the first terminator at or after from, or kNone.
std::size_t EndOf(std::string_view text, std::size_t from, std::string_view terminator) {
  const std::size_t at = text.find(terminator, from);
  return at == kNone ? kNone : at + terminator.size();
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.compare(at, prefix.size(), prefix) == 0;
}

// The position just past the ">" that closes a declaration whose "<!" ends at from, or kNone.
// Brackets nest (an internal subset, a conditional section), and quoted strings, comments and
// processing instructions are stepped over whole.
std::size_t DeclarationEnd(std::string_view text, std::size_t from) {
  std::size_t depth = 0;
  std::size_t pos = from;
  while (pos < text.size()) {
    switch (text[pos]) {
      case '"':
      case '\'': {
        const std::size_t close = text.find(text[pos], pos + 1);
        if (close == kNone) return kNone;
        pos = close + 1;
        break;
      }
      case '[':
        ++depth;
        ++pos;
        break;
      case ']':
        if (depth > 0) --depth;
        ++pos;
        break;
      case '<':
        if (StartsWith(text, pos, "<!--")) {
          pos = EndOf(text, pos + 4, "-->");
        } else if (StartsWith(text, pos, "<?")) {
          pos = EndOf(text, pos + 2, "?>");
        } else {
          ++pos;  // a markup declaration of the subset: its ">" is inside the brackets
        }
        if (pos == kNone) return kNone;
        break;
      case '>':
        if (depth == 0) return pos + 1;
        ++pos;
        break;
      default:
        ++pos;
    }
  }
  return kNone;
}

// Walks a document from its start one span at a time, each span bytes of one context, as far as
// it is asked about. A tag is split into its own spans and those of its quoted values (a value's
// span ends with its closing quote). A construct that is never closed runs to the end of the
// text.
class MarkupWalker {
 public:
  explicit MarkupWalker(std::string_view text) : text_(text) {}

  // The context of the byte at `at` (inside the text, and not before the byte of the last call).
  Context At(std::size_t at) {
    while (at >= end_ && end_ < text_.size()) Next();
    return context_;
  }
  // The span of the last answer: where it starts, where it ends, and whether it is closed.
  std::size_t SpanStart() const { return start_; }
  std::size_t SpanEnd() const { return end_; }
  bool Closed() const { return closed_; }

 private:
  // Reads the span that starts where the current one ends.
  void Next() {
    start_ = end_;
    if (inTag_) {
      ReadTagSpan();
    } else if (text_[start_] != '<') {
      context_ = Context::kText;
      Finish(FindByte(text_, start_, '<'), false);
    } else if (StartsWith(text_, start_, "<!--")) {
      context_ = Context::kComment;
      Finish(EndOf(text_, start_ + 4, "-->"), true);
    } else if (StartsWith(text_, start_, "<![CDATA[")) {
      context_ = Context::kCdata;
      Finish(EndOf(text_, start_ + 9, "]]>"), true);
    } else if (StartsWith(text_, start_, "<?")) {
      context_ = Context::kInstruction;
      Finish(EndOf(text_, start_ + 2, "?>"), true);
    } else if (StartsWith(text_, start_, "<!")) {
      context_ = Context::kDeclaration;
      Finish(DeclarationEnd(text_, start_ + 2), true);
    } else {
      inTag_ = true;
      ReadTagSpan();
    }
  }

  // In a tag: a quoted value up to its closing quote, or tag bytes up to and including the next
  // ">" (which ends the tag) or quote (which opens a value).
  void ReadTagSpan() {
    if (quote_ != 0) {
      context_ = Context::kAttributeValue;
      const std::size_t close = text_.find(quote_, start_);
      Finish(close == kNone ? kNone : close + 1, false);
      quote_ = 0;
      return;
    }
    context_ = Context::kTag;
    std::size_t pos = start_;
    while (pos < text_.size() && text_[pos] != '>' && text_[pos] != '"' && text_[pos] != '\'') {
      ++pos;
    }
    if (pos == text_.size()) {
      Finish(kNone, false);
      return;
    }
    if (text_[pos] == '>') {
      inTag_ = false;
    } else {
      quote_ = text_[pos];
    }
    Finish(pos + 1, false);
  }

  // Ends the current span at end (kNone: it runs to the end of the text). A text span and the
  // spans of a tag need no closing of their own.
  void Finish(std::size_t end, bool needsClose) {
    closed_ = end != kNone || !needsClose;
    end_ = end == kNone ? text_.size() : end;
  }

  std::string_view text_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  Context context_ = Context::kText;
  bool closed_ = true;
  bool inTag_ = false;
  char quote_ = 0;  // the quote of the value that comes next in a tag, or 0
};

bool IsXmlCharacter(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  const char lower = AsciiCase::Lower(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

enum class Reference { kNotOne, kAllowed, kForbidden };

// Reads what the parser reads as a character reference at start ("&#"): "&#" digits ";" or, with
// a lower-case x only, "&#x" hex digits ";". end becomes the position just past it, or where
// reading stopped when it is none (the parser takes the bytes as written and goes on there).
Reference ReadReference(std::string_view text, std::size_t start, std::size_t& end) {
  constexpr uint32_t kPastUnicode = 0x110000;  // any larger value is as forbidden
  std::size_t pos = start + 2;
  const bool hex = pos < text.size() && text[pos] == 'x';
  if (hex) ++pos;
  const std::size_t firstDigit = pos;
  uint32_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = DigitValue(text[pos], hex);
    if (digit < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    if (value > kPastUnicode) value = kPastUnicode;
  }
  end = pos;
  if (pos == firstDigit || pos == text.size() || text[pos] != ';') return Reference::kNotOne;
  end = pos + 1;
  return IsXmlCharacter(value) ? Reference::kAllowed : Reference::kForbidden;
}

}  // namespace

bool StartsDoctype(std::string_view text, std::size_t at) {
  constexpr std::string_view kDoctype = "<!doctype";
  if (text.size() - at < kDoctype.size()) return false;
  for (std::size_t i = 0; i < kDoctype.size(); ++i) {
    if (AsciiCase::Lower(text[at + i]) != kDoctype[i]) return false;
  }
  return true;
}

std::size_t DoctypeEnd(std::string_view text, std::size_t at) { return DeclarationEnd(text, at + 2); }

void RemoveDoctypeDeclarations(std::string& text) {
  const std::string_view view = text;
  MarkupWalker walker(view);
  Compactor compactor(text);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t start = FindPair(view, pos, '<', '!');
    if (start == kNone) break;
    pos = start + 2;
    if (!StartsDoctype(view, start)) continue;
    if (walker.At(start) != Context::kDeclaration || walker.SpanStart() != start) continue;
    // Never closed: it runs to the end, and nothing after it can be a declaration.
    if (!walker.Closed()) break;
    pos = walker.SpanEnd();
    compactor.Drop(start, pos);
  }
  compactor.Finish();
}

void ReplaceForbiddenCharacterReferences(std::string& text) {
  const std::string_view view = text;
  MarkupWalker walker(view);
  Compactor compactor(text);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t start = FindPair(view, pos, '&', '#');
    if (start == kNone) break;
    if (ReadReference(view, start, pos) != Reference::kForbidden) continue;
    const Context context = walker.At(start);
    if (context != Context::kText && context != Context::kAttributeValue) continue;
    // The walker has read past the reference (it holds no "<" or quote), and the compactor
    // writes only behind start + 3.
    std::memcpy(text.data() + start, "\xEF\xBF\xBD", 3);
    compactor.Drop(start + 3, pos);
  }
  compactor.Finish();
}

}  // namespace MarkupScanners
