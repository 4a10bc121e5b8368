// The dedicated scanners against RE2 itself: hand-picked cases with exact results, every
// character for the forbidden-character class and RE2's case folding, and a seeded random
// differential run over inputs full of brackets, declarations, controls and multi-byte text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <re2/re2.h>
#include <string>
#include <vector>

#include "PatternScanners.h"
#include "Patterns.h"

namespace {

using Scan = std::string (*)(std::string_view);

// RE2's own answer: the pattern case-insensitive, every match replaced by nothing.
std::string Re2Answer(const char* pattern, const std::string& input) {
  RE2::Options options;
  options.set_case_sensitive(false);
  options.set_log_errors(false);
  RE2 compiled(pattern, options);
  EXPECT_TRUE(compiled.ok()) << compiled.error();
  std::string result = input;
  RE2::GlobalReplace(&result, compiled, "");
  return result;
}

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// Every Unicode scalar value once, in order, as UTF-8.
std::string AllCharacters() {
  std::string all;
  all.reserve(4'500'000);
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c < 0xD800 || c > 0xDFFF) all += Utf8(c);
  }
  return all;
}

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

void CheckTable(const std::vector<Case>& cases, Scan scan, const char* pattern) {
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(scan(row.input), row.expected);
    EXPECT_EQ(Re2Answer(pattern, row.input), row.expected) << "the table disagrees with RE2";
  }
}

TEST(PatternScannersTest, StripHtmlHandPickedCases) {
  using namespace std::string_literals;
  CheckTable(
      {
          {"empty", "", ""},
          {"no markup", "plain words", "plain words"},
          {"paragraph and bold", "<p>Hello <b>world</b></p>", "Hello world"},
          {"empty brackets stay", "<>", "<>"},
          {"empty brackets then text", "a<>b", "a<>b"},
          {"brackets holding a bracket", "<>>", ""},
          {"doubled brackets", "<<>>", ">"},
          {"bracket then later close", "<>x>", ""},
          {"empty brackets and a later sign", "1 <> 2 > 3", "1  3"},
          {"signs that belong to no tag", "a < b > c", "a  c"},
          {"greater-than before less-than", "a > b < c", "a > b < c"},
          {"lone less-than", "<", "<"},
          {"lone greater-than", ">", ">"},
          {"unterminated tag", "x <a href='y'", "x <a href='y'"},
          {"terminated then unterminated", "<i>it</i> <b", "it <b"},
          {"nested tags end at the first close", "<a <b> c>", " c>"},
          {"line feed inside a tag", "<p\nclass='x'>text</p\r\n>", "text"},
          {"line feed is the one character", "<\n>", ""},
          {"carriage return is the one character", "<\r>", ""},
          {"NUL is the one character", "<\0>"s, ""},
          {"two-byte character inside", "<\xC3\xA9>x", "x"},
          {"three-byte character inside", "a<\xE2\x82\xAC>b", "ab"},
          {"four-byte character inside", "<\xF0\x9F\x98\x80>", ""},
          {"multi-byte text kept", "\xE2\x80\x9Cq\xE2\x80\x9D <b>\xC5\xBF</b>",
           "\xE2\x80\x9Cq\xE2\x80\x9D \xC5\xBF"},
          {"entities are not decoded", "&lt;p&gt;x&lt;/p&gt;", "&lt;p&gt;x&lt;/p&gt;"},
          {"tag at the very end", "text<br/>", "text"},
          {"less-than as the last byte", "text<", "text<"},
          {"comment", "a<!-- c -->b", "ab"},
      },
      PatternScanners::StripHtml, Patterns::kStripHtml);
}

TEST(PatternScannersTest, CleanDocumentHandPickedCases) {
  using namespace std::string_literals;
  CheckTable(
      {
          {"empty", "", ""},
          {"declaration removed, lines kept",
           "<?xml version='1.0'?>\n<!DOCTYPE rss>\n<rss/>", "<?xml version='1.0'?>\n\n<rss/>"},
          {"lower case", "<!doctype html>x", "x"},
          {"mixed case", "<!DocType x>y", "y"},
          {"every letter flipped", "<!dOcTyPe x>y", "y"},
          {"declaration across lines",
           "<!DOCTYPE rss\r\n  SYSTEM 'x'\r\n>\r\n<rss/>", "\r\n<rss/>"},
          {"internal subset cut at the first close",
           "<!DOCTYPE rss [<!ENTITY a 'b'>]><rss/>", "]><rss/>"},
          {"bare declaration stays", "<!DOCTYPE>", "<!DOCTYPE>"},
          {"bare declaration with a later close", "<!DOCTYPE> <a>b", "b"},
          {"declaration closed twice", "<!DOCTYPE>>z", "z"},
          {"line feed is the one character", "<!DOCTYPE\n>z", "z"},
          {"unterminated declaration", "<!DOCTYPE rss", "<!DOCTYPE rss"},
          {"declaration name with nothing after", "<!DOCTYPE", "<!DOCTYPE"},
          {"controls after an unterminated declaration",
           "<!DOCTYPE\x01 a\x02", "<!DOCTYPE a"},
          {"two declarations", "<!doctype a><!DOCTYPE b>z", "z"},
          {"declaration inside an unterminated one", "<!DOCTYPE a <!DOCTYPE b>z", "z"},
          {"space inside the name", "<! DOCTYPE x>", "<! DOCTYPE x>"},
          {"short name", "<!DOCTYP x>", "<!DOCTYP x>"},
          {"no bang", "<DOCTYPE x>", "<DOCTYPE x>"},
          {"controls inside go with it", "<!DOCTYPE \x01\x1F>z", "z"},
          {"a removed control makes no new declaration", "<\x01!DOCTYPE a>", "<!DOCTYPE a>"},
          {"Cyrillic Ie look-alike", "<!DOCTYP\xD0\x95 x>", "<!DOCTYP\xD0\x95 x>"},
          {"Cyrillic O look-alike", "<!D\xD0\x9E" "CTYPE x>", "<!D\xD0\x9E" "CTYPE x>"},
          {"fullwidth bang", "<\xEF\xBC\x81" "DOCTYPE x>", "<\xEF\xBC\x81" "DOCTYPE x>"},
          {"small capital D", "<!\xE1\xB4\x85OCTYPE x>", "<!\xE1\xB4\x85OCTYPE x>"},
          {"dotted capital I is no letter of the name", "<!DOC\xC4\xB0TYPE x>",
           "<!DOC\xC4\xB0TYPE x>"},
          {"U+FFFE", "a\xEF\xBF\xBE" "b", "ab"},
          {"U+FFFF", "a\xEF\xBF\xBF" "b", "ab"},
          {"U+FFFE and U+FFFF in a row", "\xEF\xBF\xBE\xEF\xBF\xBF", ""},
          {"U+FFFD kept", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
          {"byte-order mark kept", "\xEF\xBB\xBF<a/>", "\xEF\xBB\xBF<a/>"},
          {"U+FFEF kept", "\xEF\xBF\xAF", "\xEF\xBF\xAF"},
          {"U+EFBF kept", "\xEE\xBE\xBF", "\xEE\xBE\xBF"},
          {"tab, line feed and carriage return kept", "a\tb\nc\r\nd", "a\tb\nc\r\nd"},
          {"NUL removed", "a\0b"s, "ab"},
          {"DEL kept", "a\x7F" "b", "a\x7F" "b"},
          {"C1 control kept", "a\xC2\x85" "b", "a\xC2\x85" "b"},
          {"non-ASCII kept",
           "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC \xF0\x9F\x98\x80 \xC5\xBF \xE2\x84\xAA",
           "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC \xF0\x9F\x98\x80 \xC5\xBF \xE2\x84\xAA"},
          {"forbidden bytes straddling the eight-byte blocks", "1234567\x01\x02" "89abcdef\x1F",
           "123456789abcdef"},
      },
      PatternScanners::CleanDocument, Patterns::kCleanDocument);
}

TEST(PatternScannersTest, CleanDocumentRemovesEachForbiddenControl) {
  for (int c = 0; c < 0x20; ++c) {
    SCOPED_TRACE(c);
    const std::string input = std::string("a") + static_cast<char>(c) + "b";
    const bool allowed = c == '\t' || c == '\n' || c == '\r';
    const std::string expected = allowed ? input : "ab";
    EXPECT_EQ(PatternScanners::CleanDocument(input), expected);
    EXPECT_EQ(Re2Answer(Patterns::kCleanDocument, input), expected);
  }
}

// Every character at once: RE2's class, with case folding, holds exactly the characters the
// scanner removes, and none of the others.
TEST(PatternScannersTest, CleanDocumentAgreesWithRe2OnEveryCharacter) {
  const std::string all = AllCharacters();
  const std::string cleaned = PatternScanners::CleanDocument(all);
  const std::string reference = Re2Answer(Patterns::kCleanDocument, all);
  // Compared without printing four megabytes on failure.
  const auto [mine, theirs] = std::mismatch(cleaned.begin(), cleaned.end(), reference.begin(),
                                            reference.end());
  EXPECT_TRUE(mine == cleaned.end() && theirs == reference.end())
      << "first difference at byte " << (mine - cleaned.begin());
  EXPECT_EQ(all.size() - cleaned.size(), 29u + 3u + 3u) << "29 controls, U+FFFE and U+FFFF";
}

// The scanner compares the name of a declaration in ASCII case only. That is right only while
// RE2 folds none of its characters to a non-ASCII one (as it folds U+212A KELVIN SIGN to k and
// U+017F LONG S to s).
TEST(PatternScannersTest, DeclarationNameFoldsOnlyToAsciiCase) {
  const std::string all = AllCharacters();
  for (char c : std::string("<!DOCTYPE")) {
    SCOPED_TRACE(std::string(1, c));
    RE2::Options options;
    options.set_case_sensitive(false);
    RE2 single(RE2::QuoteMeta(std::string(1, c)), options);
    std::string kept = all;
    RE2::GlobalReplace(&kept, single, "");
    std::string expected = all;
    std::erase_if(expected, [c](char x) {
      return x == c || x == static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    EXPECT_EQ(kept.size(), expected.size());
    EXPECT_TRUE(kept == expected);
  }
}

// A fixed-seed generator whose output does not depend on the standard library's distributions.
class Pieces {
 public:
  explicit Pieces(uint32_t seed) : engine_(seed) {}

  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }

  // A text of up to maxPieces pieces taken from an alphabet rich in what the patterns look at.
  std::string Text(uint32_t maxPieces) {
    static const std::vector<std::string> kAlphabet = {
        "<", "<", "<", ">", ">", ">", "!", "<!", "<!DOCTYPE", "<!doctype", "DOCTYPE", "DOC",
        "TYPE", "[", "]", "'", "\"", " ", " ", "a", "x", "\n", "\n", "\r", "\r\n", "\t",
        std::string(1, '\0'), "\x01", "\x08", "\x0B", "\x0C", "\x0E", "\x1F", "\x7F",
        "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
        "\xEF\xBF\xBD", "\xEF\xBB\xBF", "\xC5\xBF", "\xE2\x84\xAA", "\xD0\x95", "&lt;",
        "<p>", "</p>", "<br/>", "<!-- c -->",
    };
    std::string text;
    const uint32_t count = Below(maxPieces + 1);
    for (uint32_t i = 0; i < count; ++i) {
      std::string piece = kAlphabet[Below(static_cast<uint32_t>(kAlphabet.size()))];
      for (char& c : piece) {
        if (c >= 'A' && c <= 'Z' && Below(2) == 0) c = static_cast<char>(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z' && Below(2) == 0) c = static_cast<char>(c - 'a' + 'A');
      }
      text += piece;
    }
    return text;
  }

 private:
  std::mt19937 engine_;
};

void CheckRandomAgainstRe2(Scan scan, const char* pattern, uint32_t seed) {
  RE2::Options options;
  options.set_case_sensitive(false);
  RE2 compiled(pattern, options);
  ASSERT_TRUE(compiled.ok());
  Pieces pieces(seed);
  int differences = 0;
  for (int i = 0; i < 4000 && differences < 5; ++i) {
    const std::string input = pieces.Text(i < 3000 ? 12 : 200);
    ASSERT_TRUE(PatternScanners::IsValidUtf8(input));
    std::string expected = input;
    RE2::GlobalReplace(&expected, compiled, "");
    const std::string actual = scan(input);
    if (actual != expected) {
      ++differences;
      ADD_FAILURE() << "input " << ::testing::PrintToString(input) << "\nscanner "
                    << ::testing::PrintToString(actual) << "\nRE2     "
                    << ::testing::PrintToString(expected);
    }
  }
}

TEST(PatternScannersTest, StripHtmlMatchesRe2OnRandomInput) {
  CheckRandomAgainstRe2(PatternScanners::StripHtml, Patterns::kStripHtml, 20240601);
}

TEST(PatternScannersTest, CleanDocumentMatchesRe2OnRandomInput) {
  CheckRandomAgainstRe2(PatternScanners::CleanDocument, Patterns::kCleanDocument, 20240602);
}

// Many unterminated declarations or tags must not cost a scan to the end each.
TEST(PatternScannersTest, UnterminatedRunsStayLinear) {
  std::string declarations;
  std::string tags;
  for (int i = 0; i < 200'000; ++i) {
    declarations += "<!DOCTYPE\x01";
    tags += "<a ";
  }
  std::string expectedDeclarations;
  for (int i = 0; i < 200'000; ++i) expectedDeclarations += "<!DOCTYPE";
  EXPECT_EQ(PatternScanners::CleanDocument(declarations), expectedDeclarations);
  EXPECT_EQ(PatternScanners::StripHtml(tags), tags);
}

TEST(PatternScannersTest, IsValidUtf8Boundaries) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"empty", "", true},
      {"ASCII with NUL", "ab\0cdefghijk"s, true},
      {"U+0080", "\xC2\x80", true},
      {"U+07FF", "\xDF\xBF", true},
      {"U+0800", "\xE0\xA0\x80", true},
      {"U+D7FF", "\xED\x9F\xBF", true},
      {"U+E000", "\xEE\x80\x80", true},
      {"U+FFFF", "\xEF\xBF\xBF", true},
      {"U+10000", "\xF0\x90\x80\x80", true},
      {"U+10FFFF", "\xF4\x8F\xBF\xBF", true},
      {"lone continuation byte", "\x80", false},
      {"overlong two bytes", "\xC0\x80", false},
      {"overlong two bytes C1", "\xC1\xBF", false},
      {"overlong three bytes", "\xE0\x9F\xBF", false},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"lead F5", "\xF5\x80\x80\x80", false},
      {"byte FF", "abc\xFF", false},
      {"truncated two bytes", "\xC3", false},
      {"truncated three bytes", "\xE2\x82", false},
      {"truncated four bytes", "\xF0\x9F\x98", false},
      {"ASCII in place of a continuation", "\xE2\x82" "A", false},
      {"invalid after eight ASCII bytes", "abcdefgh\xC3(", false},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PatternScanners::IsValidUtf8(row.text), row.valid);
  }
}

}  // namespace
