// Aborts when a dedicated scanner and RE2 disagree on the reader's two patterns, when the
// component's answer differs from RE2's for any bytes, when the UTF-8 check disagrees with an
// independent decoder, or when a markup scanner disagrees with a plain reference walk written
// here (one pass over the whole text, byte by byte, no search ahead for candidates).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <re2/re2.h>

#include "MarkupScanners.h"
#include "PatternScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"
#include "Utf8.h"

namespace {

// Decodes the bytes one sequence at a time and puts U+FFFD in place of each byte that does not
// start a well-formed sequence. Written apart from Utf8::IsValid so that the two check each other.
std::string Sanitise(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    }
    bool good = length != 0 && i + length <= bytes.size();
    for (std::size_t k = 1; good && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      good = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
    good = good && code >= kShortest[length] && code <= 0x10FFFF &&
           (code < 0xD800 || code > 0xDFFF);
    if (good) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

// The reference: RE2 itself, case-insensitive, every match replaced by nothing.
class Reference {
 public:
  explicit Reference(const char* pattern) : compiled_(pattern, Options()) {
    if (!compiled_.ok()) std::abort();
  }
  std::string Answer(std::string text) const {
    RE2::GlobalReplace(&text, compiled_, "");
    return text;
  }

 private:
  static RE2::Options Options() {
    RE2::Options options;
    options.set_case_sensitive(false);
    options.set_log_errors(false);
    return options;
  }
  RE2 compiled_;
};

// The component set up as the reader sets it up.
std::unique_ptr<Re2RegExp> ReaderLikeRegex(const char* pattern) {
  auto regex = std::make_unique<Re2RegExp>();
  regex->IgnoreCase(true);
  regex->Global(true);
  regex->Pattern(pattern);
  return regex;
}

// The markup reference. Where a construct that starts with "<" ends (just past it), or npos
// when it never ends: comment, CDATA section, processing instruction, declaration, or a tag
// with its quoted values.
std::size_t After(const std::string& text, std::size_t from, const char* terminator) {
  const std::size_t at = text.find(terminator, from);
  return at == std::string::npos ? at : at + std::strlen(terminator);
}

std::size_t ConstructEnd(const std::string& text, std::size_t at) {
  if (text.compare(at, 4, "<!--") == 0) return After(text, at + 4, "-->");
  if (text.compare(at, 9, "<![CDATA[") == 0) return After(text, at + 9, "]]>");
  if (text.compare(at, 2, "<?") == 0) return After(text, at + 2, "?>");
  if (text.compare(at, 2, "<!") == 0) {
    int depth = 0;
    for (std::size_t i = at + 2; i < text.size(); ++i) {
      const char c = text[i];
      std::size_t skipTo = i;
      if (c == '"' || c == '\'') {
        skipTo = text.find(c, i + 1);
      } else if (text.compare(i, 4, "<!--") == 0) {
        skipTo = After(text, i + 4, "-->");
        if (skipTo != std::string::npos) --skipTo;
      } else if (text.compare(i, 2, "<?") == 0) {
        skipTo = After(text, i + 2, "?>");
        if (skipTo != std::string::npos) --skipTo;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        depth = depth > 0 ? depth - 1 : 0;
      } else if (c == '>' && depth == 0) {
        return i + 1;
      }
      if (skipTo == std::string::npos) return skipTo;
      i = skipTo;
    }
    return std::string::npos;
  }
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    if (quote != 0) {
      if (text[i] == quote) quote = 0;
    } else if (text[i] == '"' || text[i] == '\'') {
      quote = text[i];
    } else if (text[i] == '>') {
      return i + 1;
    }
  }
  return std::string::npos;
}

bool IsDoctype(const std::string& text, std::size_t at) {
  static const char kName[] = "<!doctype";
  for (std::size_t i = 0; i < 9; ++i) {
    if (at + i >= text.size()) return false;
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kName[i]) return false;
  }
  return true;
}

std::string ReferenceRemoveDeclarations(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '<') {
      out += text[i++];
      continue;
    }
    const std::size_t end = ConstructEnd(text, i);
    if (end == std::string::npos) return out + text.substr(i);
    if (!IsDoctype(text, i)) out += text.substr(i, end - i);
    i = end;
  }
  return out;
}

// The length of the reference at `at` (0 when there is none) and whether XML allows what it
// names. The value is judged from its significant digits, not computed in a fixed width.
std::size_t ReadReference(const std::string& text, std::size_t at, bool& allowed) {
  if (text.compare(at, 2, "&#") != 0) return 0;
  const bool hex = at + 2 < text.size() && text[at + 2] == 'x';
  const std::size_t first = at + (hex ? 3 : 2);
  std::size_t i = first;
  while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                 : std::isdigit(static_cast<unsigned char>(text[i])))) {
    ++i;
  }
  if (i == first || i >= text.size() || text[i] != ';') return 0;
  std::size_t significant = first;
  while (significant + 1 < i && text[significant] == '0') ++significant;
  allowed = false;
  if (i - significant <= 7) {
    const unsigned long value = std::stoul(text.substr(significant, i - significant), nullptr,
                                           hex ? 16 : 10);
    allowed = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value < 0xD800) ||
              (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
  }
  return i + 1 - at;
}

std::string ReferenceReplaceReferences(const std::string& text) {
  std::string out;
  bool inTag = false;
  char quote = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (!inTag && c == '<') {
      const bool tag = text.compare(i, 2, "<!") != 0 && text.compare(i, 2, "<?") != 0;
      if (tag) {
        inTag = true;
        out += text[i++];
        continue;
      }
      const std::size_t end = ConstructEnd(text, i);
      if (end == std::string::npos) return out + text.substr(i);
      out += text.substr(i, end - i);
      i = end;
      continue;
    }
    if (inTag && quote == 0) {
      if (c == '>') inTag = false;
      if (c == '"' || c == '\'') quote = c;
      out += text[i++];
      continue;
    }
    if (inTag && c == quote) quote = 0;
    bool allowed = true;
    const std::size_t length = c == '&' ? ReadReference(text, i, allowed) : 0;
    if (length != 0 && !allowed) {
      out += "\xEF\xBF\xBD";
      i += length;
    } else {
      out += text[i++];
    }
  }
  return out;
}

[[noreturn]] void Fail(const char* what, const std::string& input) {
  std::fprintf(stderr, "%s differs on %zu bytes\n", what, input.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string text = Sanitise(raw);

  if (Utf8::IsValid(raw) != (text == raw)) Fail("Utf8::IsValid", raw);
  if (!Utf8::IsValid(text)) Fail("Utf8::IsValid after sanitising", text);

  static const Reference clean(Patterns::kCleanDocument);
  static const Reference strip(Patterns::kStripHtml);
  if (PatternScanners::CleanDocument(text) != clean.Answer(text)) Fail("CleanDocument", text);
  if (PatternScanners::StripHtml(text) != strip.Answer(text)) Fail("StripHtml", text);

  // The component must give RE2's answer for any bytes, malformed UTF-8 included. One component
  // per pattern, kept across inputs, so that RE2 compiles each pattern once.
  static const auto cleanRegex = ReaderLikeRegex(Patterns::kCleanDocument);
  static const auto stripRegex = ReaderLikeRegex(Patterns::kStripHtml);
  if (cleanRegex->Replace(raw, "") != clean.Answer(raw)) Fail("Re2RegExp, cleaning pattern", raw);
  if (stripRegex->Replace(raw, "") != strip.Answer(raw)) Fail("Re2RegExp, tag pattern", raw);

  // The markup scanners work on bytes; any bytes will do.
  std::string withoutDeclarations = raw;
  MarkupScanners::RemoveDoctypeDeclarations(withoutDeclarations);
  if (withoutDeclarations != ReferenceRemoveDeclarations(raw)) Fail("RemoveDoctypeDeclarations", raw);
  std::string withReplacements = raw;
  MarkupScanners::ReplaceForbiddenCharacterReferences(withReplacements);
  if (withReplacements != ReferenceReplaceReferences(raw)) {
    Fail("ReplaceForbiddenCharacterReferences", raw);
  }
  return 0;
}
