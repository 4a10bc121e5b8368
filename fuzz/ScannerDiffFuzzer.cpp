// Aborts when a dedicated scanner and RE2 disagree on the reader's two patterns, when the
// component's answer differs from RE2's for any bytes, or when the UTF-8 check disagrees with an
// independent decoder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include <re2/re2.h>

#include "PatternScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"

namespace {

// Decodes the bytes one sequence at a time and puts U+FFFD in place of each byte that does not
// start a well-formed sequence. Written apart from IsValidUtf8 so that the two check each other.
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

[[noreturn]] void Fail(const char* what, const std::string& input) {
  std::fprintf(stderr, "%s differs on %zu bytes\n", what, input.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string text = Sanitise(raw);

  if (PatternScanners::IsValidUtf8(raw) != (text == raw)) Fail("IsValidUtf8", raw);
  if (!PatternScanners::IsValidUtf8(text)) Fail("IsValidUtf8 after sanitising", text);

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
  return 0;
}
