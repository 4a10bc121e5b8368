// Replacing in a text the caller gives up must give exactly what replacing in a copy gives, and
// for the reader's two patterns must not need new storage.
#include <gtest/gtest.h>

#include <re2/re2.h>

#include <random>
#include <string>
#include <vector>

#include "PatternScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"

namespace {

using namespace std::string_literals;

std::string RandomText(std::mt19937& engine) {
  static const std::vector<std::string> kAlphabet = {
      "<", "<", ">", ">", "!", "<!DOCTYPE", "<!doctype x", " ", "abc", "\n", "\r", "\t", "\0"s,
      "\x01", "\x1F", "\xC3\xA9", "\xE2\x82\xAC", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xFF", "\x80",
      "<p>", "</p>", "&lt;", "0123456789abcdef0123456789"};
  std::string text;
  for (uint32_t n = engine() % 40; n > 0; --n) text += kAlphabet[engine() % kAlphabet.size()];
  return text;
}

TEST(InPlaceReplace, GivenUpInputGivesTheSameAsACopyForEveryPattern) {
  struct Case {
    const char* pattern;
    bool ignoreCase;
    bool global;
    const char* replacement;
  };
  const Case cases[] = {
      {Patterns::kCleanDocument, true, true, ""}, {Patterns::kStripHtml, true, true, ""},
      {Patterns::kStripHtml, false, true, ""},    {Patterns::kStripHtml, true, false, ""},
      {Patterns::kStripHtml, true, true, "-"},    {"a+", true, true, "\\1"},
      {"[<>]", false, false, "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Re2RegExp regex;
    regex.IgnoreCase(c.ignoreCase);
    regex.Global(c.global);
    regex.Pattern(c.pattern);
    std::mt19937 engine(11);
    for (int i = 0; i < 500; ++i) {
      const std::string input = RandomText(engine);
      const std::string fromCopy = regex.Replace(input, c.replacement);
      std::string givenUp = input;
      const std::string fromGivenUp = regex.Replace(std::move(givenUp), c.replacement);
      ASSERT_EQ(fromGivenUp, fromCopy) << ::testing::PrintToString(input);
    }
  }
}

TEST(InPlaceReplace, ScannersWorkInTheTextsOwnStorage) {
  struct Row {
    std::string text;
    std::string cleaned;
    std::string stripped;
  };
  const Row rows[] = {
      {"<!DOCTYPE a>0123456789abcdef0123456789", "0123456789abcdef0123456789",
       "0123456789abcdef0123456789"},
      {"0123456789abcdef0123456789<b>\x01", "0123456789abcdef0123456789<b>",
       "0123456789abcdef0123456789\x01"},
      {"<a><b>\x01\x02<c>0123456789abcdef0123456789", "<a><b><c>0123456789abcdef0123456789",
       "\x01\x02" "0123456789abcdef0123456789"},
      {"<a>\x01<b>\x02<c>\x03<d>0123456789abcdef", "<a><b><c><d>0123456789abcdef",
       "\x01\x02\x03" "0123456789abcdef"},
      {"nothing to remove here at all, not even one", "nothing to remove here at all, not even one",
       "nothing to remove here at all, not even one"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.text));
    std::string cleaned = row.text;
    const char* cleanedStorage = cleaned.data();
    PatternScanners::CleanDocumentInPlace(cleaned);
    EXPECT_EQ(cleaned, row.cleaned);
    EXPECT_EQ(cleaned.data(), cleanedStorage);

    std::string stripped = row.text;
    const char* strippedStorage = stripped.data();
    PatternScanners::StripHtmlInPlace(stripped);
    EXPECT_EQ(stripped, row.stripped);
    EXPECT_EQ(stripped.data(), strippedStorage);
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

TEST(InPlaceReplace, ComponentsWithoutTheirOwnGivenUpReplaceUseTheCopyingOne) {
  CopyOnlyRegExp copyOnly;
  RegExp& regex = copyOnly;
  EXPECT_EQ(regex.Replace(std::string("text"), "> "), "> text");
}

}  // namespace
