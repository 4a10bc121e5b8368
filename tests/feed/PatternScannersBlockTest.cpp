// The scanners skip plain text a block of bytes at a time; whatever starts a match must be seen
// wherever it falls relative to those blocks, including across a block's end.
#include <gtest/gtest.h>

#include <re2/re2.h>

#include <string>

#include "PatternScanners.h"
#include "Patterns.h"

namespace {

std::string Filler(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

std::string Re2Answer(const char* pattern, const std::string& input) {
  RE2::Options options;
  options.set_case_sensitive(false);
  RE2 compiled(pattern, options);
  std::string result = input;
  RE2::GlobalReplace(&result, compiled, "");
  return result;
}

TEST(PatternScannersBlockTest, CleanDocumentSeesEveryNeedleAtEveryOffset) {
  const char* const needles[] = {
      "<!DOCTYPE x>", "<!doctype\n[y]>", "\x01", "\x0B", "\x1F", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
      // Lookalikes that must stay.
      "\t", "\n", "\r", "<p>", "<!-- c -->", "\xEF\xBF\xBD", "\xEF\xBB\xBF", "!<", "<", "!"};
  for (const char* needle : needles) {
    for (std::size_t offset = 0; offset <= 40; ++offset) {
      for (std::size_t tail : {0u, 1u, 15u, 16u, 17u, 40u}) {
        const std::string input = Filler(offset) + needle + Filler(tail);
        SCOPED_TRACE(::testing::PrintToString(input));
        EXPECT_EQ(PatternScanners::CleanDocument(input),
                  Re2Answer(Patterns::kCleanDocument, input));
      }
    }
  }
}

TEST(PatternScannersBlockTest, StripHtmlSeesEveryTagAtEveryOffset) {
  const char* const needles[] = {"<b>", "<a href='x'>", "<>", "<>>", "< \n >", "<", ">"};
  for (const char* needle : needles) {
    for (std::size_t offset = 0; offset <= 40; ++offset) {
      for (std::size_t tail : {0u, 1u, 15u, 16u, 17u, 40u}) {
        const std::string input = Filler(offset) + needle + Filler(tail) + needle;
        SCOPED_TRACE(::testing::PrintToString(input));
        EXPECT_EQ(PatternScanners::StripHtml(input), Re2Answer(Patterns::kStripHtml, input));
      }
    }
  }
}

TEST(PatternScannersBlockTest, IsValidUtf8SeesEveryByteAtEveryOffset) {
  const struct {
    const char* bytes;
    bool valid;
  } needles[] = {{"\xC3\xA9", true},     {"\xE2\x80\x94", true}, {"\xF0\x9F\x98\x80", true},
                 {"\xFF", false},        {"\x80", false},        {"\xC3", false},
                 {"\xED\xA0\x80", false}, {"\xC0\x80", false}};
  for (const auto& needle : needles) {
    for (std::size_t offset = 0; offset <= 40; ++offset) {
      for (std::size_t tail : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 40u}) {
        const std::string input = Filler(offset) + needle.bytes + Filler(tail);
        SCOPED_TRACE(::testing::PrintToString(input));
        EXPECT_EQ(PatternScanners::IsValidUtf8(input), needle.valid);
      }
    }
  }
}

}  // namespace
