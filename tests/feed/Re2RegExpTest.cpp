// The regular-expression component: its options, literal replacements, pattern errors, the
// compiled-pattern cache, and the scanner shortcut agreeing with RE2 on any input, malformed
// UTF-8 included.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <re2/re2.h>
#include <string>
#include <vector>

#include "Component.h"
#include "ErrorCodes.h"
#include "Patterns.h"
#include "Re2RegExp.h"
#include "RegExp.h"

namespace {

using namespace std::string_literals;

std::string ReplaceWith(bool ignoreCase, bool global, const std::string& pattern, const std::string& input,
                const std::string& replacement) {
  Re2RegExp regex;
  regex.IgnoreCase(ignoreCase);
  regex.Global(global);
  regex.Pattern(pattern);
  return regex.Replace(input, replacement);
}

TEST(Re2RegExpTest, OptionsSyntaxAndReplacements) {
  const struct {
    const char* name;
    bool ignoreCase;
    bool global;
    std::string pattern;
    std::string input;
    std::string replacement;
    std::string expected;
  } cases[] = {
      {"first match only", false, false, "o", "foo boo", "0", "f0o boo"},
      {"every match", false, true, "o", "foo boo", "0", "f00 b00"},
      {"case-sensitive", false, true, "ABC", "abc ABC", "x", "abc x"},
      {"case-insensitive", true, true, "ABC", "abc ABC aBc", "x", "x x x"},
      {"case-insensitive beyond ASCII", true, true, "\xC3\xA9", "\xC3\x89 \xC3\xA9", "e", "e e"},
      {"dot is one whole character", false, false, ".", "\xC3\xA9" "a", "-", "-a"},
      {"dot skips a line feed", false, true, "a.b", "a\nb a-b", "x", "a\nb x"},
      {"lazy repetition", false, true, "<.+?>", "<a><b>", "", ""},
      {"empty pattern matches between characters", false, true, "", "ab", "-", "-a-b-"},
      {"backslash-digit in the replacement is literal", false, true, "(b)", "abc", "\\1",
       "a\\1c"},
      {"backslash-zero in the replacement is literal", false, true, "b", "abc", "\\0", "a\\0c"},
      {"doubled backslash in the replacement stays doubled", false, true, "b", "abc", "\\\\",
       "a\\\\c"},
      {"trailing backslash in the replacement", false, true, "b", "abc", "x\\", "ax\\c"},
      {"dollar in the replacement is literal", false, true, "(b)", "abc", "$1", "a$1c"},
      {"NUL in input and replacement", false, true, "b", "a\0b"s, "\0"s, "a\0\0"s},
      // Malformed UTF-8 makes RE2 give a different answer from the scanners'; RE2's stands.
      {"tag around a stray byte", true, true, Patterns::kStripHtml, "<\xFF>a<b>", "", "<\xFF>a"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ReplaceWith(row.ignoreCase, row.global, row.pattern, row.input, row.replacement),
              row.expected);
  }
}

TEST(Re2RegExpTest, InvalidPatternThrowsRegexErrorNamingThePattern) {
  for (const char* pattern : {"(unclosed", "[z-a]", "a**", "(a)\\1", "\\p{NoSuchClass}"}) {
    SCOPED_TRACE(pattern);
    Re2RegExp regex;
    regex.Pattern(pattern);
    for (int attempt = 0; attempt < 2; ++attempt) {  // and again on the next Replace
      try {
        regex.Replace("text", "");
        ADD_FAILURE() << "no exception";
      } catch (const ComponentError& error) {
        EXPECT_EQ(error.Code(), ErrorCodes::kRegex);
        EXPECT_NE(std::string(error.what()).find(pattern), std::string::npos) << error.what();
      }
    }
    // The component stays usable with the next pattern.
    regex.Pattern("x");
    EXPECT_EQ(regex.Replace("axb", "-"), "a-b");
  }
}

// The reader alternates its two patterns on one component; another pattern or option in between
// must not leave the shortcut or the compiled-pattern cache pointing at the wrong one.
TEST(Re2RegExpTest, ChangedPatternOrOptionIsNeverServedFromTheCache) {
  Re2RegExp regex;
  regex.IgnoreCase(true);
  regex.Global(true);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    regex.Pattern(Patterns::kCleanDocument);
    EXPECT_EQ(regex.Replace("<!DOCTYPE a>\x02<b>", ""), "<!DOCTYPE a><b>");
    regex.Pattern("b");
    EXPECT_EQ(regex.Replace("<B>", ""), "<>");
    regex.IgnoreCase(false);
    EXPECT_EQ(regex.Replace("<B>b", ""), "<B>");
    regex.IgnoreCase(true);
    regex.Pattern(Patterns::kStripHtml);
    EXPECT_EQ(regex.Replace("<!DOCTYPE a>\x02<b>", ""), "\x02");
    EXPECT_EQ(regex.Replace("<\xFF>", ""), "<\xFF>");
  }
}

// Whatever the bytes, replacing in a given-up text gives what replacing in a copy gives, and
// that is RE2's own answer (for the fixed patterns with the reader's options too, where the
// scanners answer instead of RE2).
TEST(Re2RegExpTest, AnyBytesGiveRe2sAnswerInACopyOrInPlace) {
  static const std::vector<std::string> kAlphabet = {
      "<", "<", ">", ">", "!", "<!DOCTYPE", "<!doctype", "dOcTyPe", " ", "a", "\n", "\r", "\t",
      "\0"s, "\x01", "\x1F", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBE",
      "\xEF\xBF\xBF", "\xEF\xBF", "\xFF", "\x80", "\xC3", "\xC0\x80", "\xED\xA0\x80",
      "\xE0\x80\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "<p>", "</p>", "&lt;",
      "0123456789abcdef0123456789"};
  const struct {
    const char* pattern;
    bool ignoreCase;
    bool global;
    const char* replacement;
  } cases[] = {
      {Patterns::kCleanDocument, true, true, ""}, {Patterns::kStripHtml, true, true, ""},
      {Patterns::kStripHtml, false, true, ""},    {Patterns::kStripHtml, true, false, ""},
      {Patterns::kStripHtml, true, true, "-"},    {Patterns::kCleanDocument, false, true, ""},
      {"[<>]", false, false, "x"},
      {"a+", true, true, "\\1"},  // literal here, a group reference to RE2: only the copy is compared
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pattern << " " << c.ignoreCase << c.global << " " << c.replacement);
    RE2::Options options;
    options.set_case_sensitive(!c.ignoreCase);
    const RE2 reference(c.pattern, options);
    const bool literal = std::string(c.replacement).find('\\') == std::string::npos;
    Re2RegExp regex;
    regex.IgnoreCase(c.ignoreCase);
    regex.Global(c.global);
    regex.Pattern(c.pattern);
    std::mt19937 engine(7);
    int differences = 0;
    for (int i = 0; i < 1500 && differences < 5; ++i) {
      std::string input;
      for (uint32_t n = engine() % 24; n > 0; --n) input += kAlphabet[engine() % kAlphabet.size()];
      const std::string fromCopy = regex.Replace(input, c.replacement);
      std::string expected = input;
      if (!literal) {
        expected = fromCopy;
      } else if (c.global) {
        RE2::GlobalReplace(&expected, reference, c.replacement);
      } else {
        RE2::Replace(&expected, reference, c.replacement);
      }
      std::string givenUp = input;
      if (fromCopy != expected || regex.Replace(std::move(givenUp), c.replacement) != fromCopy) {
        ++differences;
        ADD_FAILURE() << "input " << ::testing::PrintToString(input);
      }
    }
  }
}

// Bytes that are not UTF-8 outside tags are stepped over; a tag or declaration that holds some
// hands the rest of the text to RE2, which decides whether it matches.
TEST(Re2RegExpTest, InvalidBytesInsideATagLeaveTheRestToRe2) {
  const char* const inputs[] = {
      "\xFF<b>x</b>\xC3",         "<b>x</b><a\xFF<b>y</b>", "<b>\xED\xA0\x80</b><i>z</i>",
      "<a \xF4\x90\x80\x80>t<b>", "<!DOCTYPE \xFF>\x01<b>",  "\x01<!doctype a>\xC0\x80<x>\x02",
      "<!DOCTYPE a [\xFF]>\x01", "<\xE0\x80\x80>\xEF\xBF\xBE<!DOCTYPE b>"};
  RE2::Options options;
  options.set_case_sensitive(false);
  for (const char* pattern : {Patterns::kCleanDocument, Patterns::kStripHtml}) {
    const RE2 reference(pattern, options);
    Re2RegExp regex;
    regex.IgnoreCase(true);
    regex.Global(true);
    regex.Pattern(pattern);
    for (const char* input : inputs) {
      SCOPED_TRACE(testing::Message() << pattern << " " << ::testing::PrintToString(input));
      std::string expected = input;
      RE2::GlobalReplace(&expected, reference, "");
      EXPECT_EQ(regex.Replace(std::string(input), ""), expected);
    }
  }
}

// A component that only implements replacing in a copy still serves a given-up input.
class CopyOnlyRegExp : public RegExp {
 public:
  using RegExp::Replace;
  void IgnoreCase(bool) override {}
  void Global(bool) override {}
  void Pattern(const std::string&) override {}
  std::string Replace(const std::string& input, const std::string& replacement) override {
    return replacement + input;
  }
};

TEST(Re2RegExpTest, ComponentsWithoutTheirOwnGivenUpReplaceUseTheCopyingOne) {
  CopyOnlyRegExp copyOnly;
  RegExp& regex = copyOnly;
  EXPECT_EQ(regex.Replace(std::string("text"), "> "), "> text");
}

}  // namespace
