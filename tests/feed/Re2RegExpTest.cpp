// The regular-expression component, and the scanners it runs for the reader's two patterns, which
// give RE2's own answer; both checks of UTF-8 at their bounds.
#include <gtest/gtest.h>
#include <re2/re2.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "PatternScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"
#include "TextDecoder.h"
#include "Utf8.h"

namespace {

using namespace std::string_literals;

std::string Replaced(bool ignoreCase, bool global, const std::string& pattern, const std::string& input,
                     const std::string& replacement) {
  Re2RegExp regex;
  regex.IgnoreCase(ignoreCase);
  regex.Global(global);
  regex.Pattern(pattern);
  return regex.Replace(input, replacement);
}

// RE2's own answer: the pattern case-insensitive, every match replaced by nothing.
std::string Re2Answer(const char* pattern, std::string text) {
  RE2::Options options;
  options.set_case_sensitive(false);
  RE2::GlobalReplace(&text, RE2(pattern, options), "");
  return text;
}

// The scanner for pattern run in place on text, which keeps its storage; valid UTF-8 is done whole.
std::string InPlace(const char* pattern, std::string text) {
  const char* const storage = text.data();
  if (pattern == Patterns::kStripHtml) {
    EXPECT_EQ(PatternScanners::StripHtmlInPlace(text), std::string::npos);
  } else {
    PatternScanners::CleanDocumentInPlace(text);
  }
  EXPECT_EQ(text.data(), storage);
  return text;
}

// Each row's expected result, which RE2 must give too; then, from the copying scanner, the row's
// input twice at every offset, so that one falls across the end of a block wherever the other falls.
void CheckRows(const char* pattern, const std::vector<std::pair<std::string, std::string>>& rows) {
  const auto copying = pattern == Patterns::kStripHtml ? PatternScanners::StripHtml : PatternScanners::CleanDocument;
  for (const auto& [input, expected] : rows) {
    SCOPED_TRACE(testing::PrintToString(input));
    EXPECT_EQ(InPlace(pattern, input), expected);
    EXPECT_EQ(Re2Answer(pattern, input), expected) << "the table disagrees with RE2";
    for (std::size_t offset = 0; offset <= 33; ++offset) {
      const std::string text = std::string(offset, 'x') + input + std::string(33 - offset, 'x') + input;
      EXPECT_EQ(copying(text), Re2Answer(pattern, text)) << "at offset " << offset;
    }
  }
}

// Every Unicode scalar value once, in order, as UTF-8.
std::string AllCharacters() {
  std::string all;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};  // by length
    all += static_cast<char>(kLead[length] | (c >> (6 * (length - 1))));
    for (int i = length - 2; i >= 0; --i) all += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
  }
  return all;
}

TEST(Re2RegExpTest, OptionsAndLiteralReplacements) {
  EXPECT_EQ(Replaced(false, false, "o", "foo boo", "0"), "f0o boo");
  EXPECT_EQ(Replaced(false, true, "o", "foo boo", "0"), "f00 b00");
  EXPECT_EQ(Replaced(false, true, "ABC", "abc ABC", "x"), "abc x");
  EXPECT_EQ(Replaced(true, true, "ABC", "abc ABC aBc", "x"), "x x x");
  // A replacement is literal text: no group references, no escapes.
  EXPECT_EQ(Replaced(false, true, "(b)", "abcb", "\\1\\\\"), "a\\1\\\\c\\1\\\\");
  EXPECT_EQ(Replaced(false, true, "b", "abc", "x\\"), "ax\\c");
  // The scanners answer only for the reader's own options: every match, replaced by nothing.
  EXPECT_EQ(Replaced(true, false, Patterns::kStripHtml, "<a>x<b>", ""), "x<b>");
  EXPECT_EQ(Replaced(true, true, Patterns::kStripHtml, "<a>x<b>", "-"), "-x-");
  // A pattern that does not compile fails every Replace, naming itself.
  Re2RegExp regex;
  regex.Pattern("(unclosed");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      regex.Replace("text", "");
      ADD_FAILURE() << "no error for an invalid pattern";
    } catch (const ComponentError& error) {
      EXPECT_EQ(std::to_string(error.Code()) + " " + std::string(error.what()).substr(0, 59),
                "1030 The pattern '(unclosed' is not a valid regular expression: ");
    }
  }
}

// With the reader's options the answer for a text given up is RE2's own, whatever the bytes: a
// tag holding some that are not UTF-8 leaves the rest of the text to RE2.
TEST(Re2RegExpTest, ScannersGiveRe2sAnswerForRandomBytes) {
  const std::string pieces[] = {"<", ">", "<!DOCTYPE", " ", "a", "\n", "\t", "\0"s, "\x01", "\x1F", "\xC3\xA9",
                                "\xF0\x9F\x98\x80", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF", "\xFF", "\x80", "\xC3",
                                "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "<p>", "0123456789abcdef0123"};
  for (const char* pattern : {Patterns::kCleanDocument, Patterns::kStripHtml}) {
    SCOPED_TRACE(pattern);
    Re2RegExp regex;
    regex.IgnoreCase(true);
    regex.Global(true);
    regex.Pattern(pattern);
    std::mt19937 engine(7);
    for (int i = 0, differences = 0; i < 3000 && differences < 5; ++i) {
      std::string input;
      for (uint32_t n = engine() % (i < 2500 ? 24 : 160); n > 0; --n) input += pieces[engine() % std::size(pieces)];
      const std::string expected = Re2Answer(pattern, input);
      if (regex.Replace(std::string(input), "") != expected) {
        ++differences;
        ADD_FAILURE() << "input " << testing::PrintToString(input) << ", RE2 " << testing::PrintToString(expected);
      }
    }
  }
}

TEST(PatternScannersTest, StripHtmlGivesRe2sAnswer) {
  CheckRows(Patterns::kStripHtml,
            {{"a<>b", "a<>b"}, {"<>>", ""}, {"<<>>", ">"}, {"1 <> 2 > 3", "1  3"}, {"a > b < c", "a > b < c"},
             {"<i>it</i> <b", "it <b"}, {"<a <b> c>", " c>"}, {"<p\nclass='x'>text</p\r\n>", "text"}, {"<\0>"s, ""},
             {"<\xF0\x9F\x98\x80>", ""}, {"text<", "text<"},
             {"\xE2\x80\x9Cq\xE2\x80\x9D <b>\xC5\xBF</b>", "\xE2\x80\x9Cq\xE2\x80\x9D \xC5\xBF"}});
  // Many unterminated tags must not cost a scan to the end each.
  std::string tags;
  for (int i = 0; i < 200'000; ++i) tags += "<a ";
  EXPECT_EQ(InPlace(Patterns::kStripHtml, tags), tags);
}

// RE2's class, with case folding, holds exactly the characters the scanner removes: 29 controls,
// U+FFFE and U+FFFF; look-alikes of U+FFFE stay.
TEST(PatternScannersTest, CleanDocumentGivesRe2sAnswer) {
  CheckRows(Patterns::kCleanDocument,
            {{"a\xEF\xBF\xBE" "b\xEF\xBF\xBF\xEF\xBF\xBE", "ab"},
             {"\0\t\n\r\x1F\x7F\xC2\x85\xEF\xBF\xBD\xEF\xBB\xBF\xEF\xBF\xAF\xEE\xBE\xBF"s,
              "\t\n\r\x7F\xC2\x85\xEF\xBF\xBD\xEF\xBB\xBF\xEF\xBF\xAF\xEE\xBE\xBF"}});
  const std::string all = AllCharacters();
  const std::string cleaned = InPlace(Patterns::kCleanDocument, all);
  EXPECT_TRUE(cleaned == Re2Answer(Patterns::kCleanDocument, all));  // not four megabytes printed
  EXPECT_EQ(all.size() - cleaned.size(), 29u + 3u + 3u);
}

// The one check of UTF-8 the scanners and the decoder share.
TEST(Utf8Test, IsValidAtTheBounds) {
  const std::string all = AllCharacters();
  ASSERT_EQ(all.size(), 128u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
  EXPECT_TRUE(Utf8::IsValid(all));
  // Next steps over each character in turn, surrogates skipped as AllCharacters skips them.
  char32_t expected = 0;
  for (std::string_view rest = all; !rest.empty(); expected = expected == 0xD7FF ? 0xE000 : expected + 1) {
    const Utf8::Step step = Utf8::Next(rest);
    ASSERT_TRUE(step.valid && step.codePoint == expected) << std::hex << static_cast<uint32_t>(expected);
    rest.remove_prefix(step.bytes);
  }
  // A lone continuation byte, overlong forms of two, three and four bytes, a surrogate, past
  // U+10FFFF, a lead byte past F4, truncated forms, and ASCII in place of a continuation byte.
  for (const std::string bytes : {"\x80", "\xC0\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC3", "\xF0\x9F\x98", "\xE2\x82" "A"}) {
    EXPECT_FALSE(Utf8::Next(bytes).valid);
    for (std::size_t offset : {0u, 1u, 7u, 8u, 9u, 17u}) {
      for (std::size_t tail : {0u, 8u, 16u}) {
        const std::string text = std::string(offset, 'x') + bytes + std::string(tail, 'x');
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_FALSE(Utf8::IsValid(text));
      }
    }
  }
}

}  // namespace
