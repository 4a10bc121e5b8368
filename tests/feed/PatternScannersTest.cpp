// The dedicated scanners against RE2 itself: hand-picked cases with exact results, every
// character for the forbidden-character class, needles at every offset of the block-wise
// skipping, and a seeded random differential run.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <re2/re2.h>
#include <string>
#include <vector>

#include "PatternScanners.h"
#include "Patterns.h"
#include "TextDecoder.h"

namespace {

using namespace std::string_literals;
using Scan = std::string (*)(std::string_view);

// RE2's own answer: the pattern case-insensitive, every match replaced by nothing.
std::string Re2Answer(const char* pattern, const std::string& input) {
  RE2::Options options;
  options.set_case_sensitive(false);
  RE2 compiled(pattern, options);
  std::string result = input;
  RE2::GlobalReplace(&result, compiled, "");
  return result;
}

// Every Unicode scalar value once, in order, as UTF-8.
std::string AllCharacters() {
  std::string all;
  all.reserve(4'500'000);
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x80) {
      all += static_cast<char>(c);
    } else if (c < 0x800) {
      all += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      all += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      all += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
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
  CheckTable(
      {
          {"empty", "", ""},
          {"empty brackets stay", "a<>b", "a<>b"},
          {"brackets holding a bracket", "<>>", ""},
          {"doubled brackets", "<<>>", ">"},
          {"empty brackets and a later sign", "1 <> 2 > 3", "1  3"},
          {"signs that belong to no tag", "a < b > c", "a  c"},
          {"greater-than before less-than", "a > b < c", "a > b < c"},
          {"terminated then unterminated", "<i>it</i> <b", "it <b"},
          {"nested tags end at the first close", "<a <b> c>", " c>"},
          {"line feed inside a tag", "<p\nclass='x'>text</p\r\n>", "text"},
          {"NUL is the one character", "<\0>"s, ""},
          {"four-byte character inside", "<\xF0\x9F\x98\x80>", ""},
          {"multi-byte text kept", "\xE2\x80\x9Cq\xE2\x80\x9D <b>\xC5\xBF</b>", "\xE2\x80\x9Cq\xE2\x80\x9D \xC5\xBF"},
          {"entities are not decoded", "&lt;p&gt;x&lt;/p&gt;", "&lt;p&gt;x&lt;/p&gt;"},
          {"less-than as the last byte", "text<", "text<"},
      },
      PatternScanners::StripHtml, Patterns::kStripHtml);
}

TEST(PatternScannersTest, CleanDocumentHandPickedCases) {
  CheckTable(
      {
          {"empty", "", ""},
          {"declarations are left to the markup scanner", "<!DOCTYPE a [\x01<!ENTITY b 'c'>]>",
           "<!DOCTYPE a [<!ENTITY b 'c'>]>"},
          {"U+FFFE and U+FFFF", "a\xEF\xBF\xBE" "b\xEF\xBF\xBF\xEF\xBF\xBE", "ab"},
          {"look-alikes of U+FFFE kept", "\xEF\xBF\xBD\xEF\xBB\xBF\xEF\xBF\xAF\xEE\xBE\xBF",
           "\xEF\xBF\xBD\xEF\xBB\xBF\xEF\xBF\xAF\xEE\xBE\xBF"},
          {"tab, line feed and carriage return kept", "a\tb\nc\r\nd", "a\tb\nc\r\nd"},
          {"NUL removed, DEL and C1 kept", "a\0b\x7F\xC2\x85"s, "ab\x7F\xC2\x85"},
          {"non-ASCII kept", "\xE2\x82\xAC \xF0\x9F\x98\x80 \xC5\xBF \xE2\x84\xAA",
           "\xE2\x82\xAC \xF0\x9F\x98\x80 \xC5\xBF \xE2\x84\xAA"},
          {"forbidden bytes straddling the eight-byte blocks", "1234567\x01\x02" "89abcdef\x1F", "123456789abcdef"},
      },
      PatternScanners::CleanDocument, Patterns::kCleanDocument);
}

// Every character at once: RE2's class, with case folding, holds exactly the characters the
// scanner removes: 29 controls, U+FFFE and U+FFFF.
TEST(PatternScannersTest, CleanDocumentAgreesWithRe2OnEveryCharacter) {
  const std::string all = AllCharacters();
  const std::string cleaned = PatternScanners::CleanDocument(all);
  // Compared without printing four megabytes on failure.
  EXPECT_TRUE(cleaned == Re2Answer(Patterns::kCleanDocument, all));
  EXPECT_EQ(all.size() - cleaned.size(), 29u + 3u + 3u);
}

std::string Filler(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

// The scanners skip plain text a block of bytes at a time; whatever starts a match must be seen
// wherever it falls relative to those blocks, including across a block's end.
TEST(PatternScannersTest, NeedlesAreSeenAtEveryOffset) {
  const struct {
    Scan scan;
    const char* pattern;
    std::vector<std::string> needles;
  } scanners[] = {
      {PatternScanners::CleanDocument, Patterns::kCleanDocument,
       {"\x01", "\x1F", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
        // Look-alikes that must stay.
        "\t", "\n", "<p>", "<!DOCTYPE x>", "\xEF\xBF\xBD", "\xEF\xBB\xBF", "\xEE\xBF\xBE"}},
      {PatternScanners::StripHtml, Patterns::kStripHtml, {"<b>", "<a href='x'>", "<>", "<>>", "< \n >", "<", ">"}},
  };
  for (const auto& scanner : scanners) {
    for (const std::string& needle : scanner.needles) {
      for (std::size_t offset = 0; offset <= 40; ++offset) {
        for (std::size_t tail : {0u, 1u, 15u, 16u, 17u, 40u}) {
          const std::string input = Filler(offset) + needle + Filler(tail) + needle;
          SCOPED_TRACE(::testing::PrintToString(input));
          EXPECT_EQ(scanner.scan(input), Re2Answer(scanner.pattern, input));
        }
      }
    }
  }
}

// Seeded, so that a failure repeats; pieces rich in what the patterns look at, with the case of
// letters flipped at random.
TEST(PatternScannersTest, ScannersMatchRe2OnRandomInput) {
  static const std::vector<std::string> kAlphabet = {
      "<", "<", "<", ">", ">", ">", "!", "<!", "<!DOCTYPE", "DOCTYPE", "DOC", "TYPE", "[", "]", "'", " ",
      "a", "\n", "\r", "\r\n", "\t", "\0"s, "\x01", "\x0B", "\x1F", "\x7F", "\xC3\xA9", "\xF0\x9F\x98\x80",
      "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF\xBD", "\xEF\xBB\xBF", "\xC5\xBF", "\xE2\x84\xAA", "\xD0\x95",
      "&lt;", "<p>", "</p>", "<br/>", "<!-- c -->",
  };
  for (const auto& [scan, pattern] : {std::pair<Scan, const char*>{PatternScanners::StripHtml, Patterns::kStripHtml},
                                      {PatternScanners::CleanDocument, Patterns::kCleanDocument}}) {
    SCOPED_TRACE(pattern);
    std::mt19937 engine(20240601);
    int differences = 0;
    for (int i = 0; i < 4000 && differences < 5; ++i) {
      std::string input;
      for (uint32_t n = engine() % (i < 3000 ? 13 : 201); n > 0; --n) {
        std::string piece = kAlphabet[engine() % kAlphabet.size()];
        for (char& c : piece) {
          if (std::isalpha(static_cast<unsigned char>(c)) && engine() % 2 == 0) c ^= 0x20;
        }
        input += piece;
      }
      const std::string expected = Re2Answer(pattern, input);
      if (scan(input) != expected) {
        ++differences;
        ADD_FAILURE() << "input " << ::testing::PrintToString(input) << "\nRE2 " << ::testing::PrintToString(expected);
      }
    }
  }
}

// Many unterminated tags must not cost a scan to the end each.
TEST(PatternScannersTest, UnterminatedTagsStayLinear) {
  std::string tags;
  for (int i = 0; i < 200'000; ++i) tags += "<a ";
  EXPECT_EQ(PatternScanners::StripHtml(tags), tags);
}

// For the reader, the scanners also work in a text it gives up, without new storage.
TEST(PatternScannersTest, InPlaceScannersKeepTheTextsStorage) {
  struct Row {
    std::string text;
    std::string cleaned;
    std::string stripped;
  };
  const Row rows[] = {
      {"\x01<!a>0123456789abcdef0123456789", "<!a>0123456789abcdef0123456789",
       "\x01" "0123456789abcdef0123456789"},
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

// Both checks of UTF-8, the scanners' and the decoder's, at the boundaries of each length and
// at every offset of the block-wise skipping.
TEST(PatternScannersTest, IsValidUtf8Boundaries) {
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
      {"overlong three bytes", "\xE0\x9F\xBF", false},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"lead F5", "\xF5\x80\x80\x80", false},
      {"truncated two bytes", "\xC3", false},
      {"truncated four bytes", "\xF0\x9F\x98", false},
      {"ASCII in place of a continuation", "\xE2\x82" "A", false},
  };
  for (const auto& row : cases) {
    for (std::size_t offset : {0u, 1u, 7u, 8u, 9u, 17u}) {
      for (std::size_t tail : {0u, 8u, 16u}) {
        SCOPED_TRACE(testing::Message() << row.name << " after " << offset << ", before " << tail);
        const std::string text = Filler(offset) + row.text + Filler(tail);
        EXPECT_EQ(PatternScanners::IsValidUtf8(text), row.valid);
        EXPECT_EQ(IsValidUtf8(text), row.valid);
      }
    }
  }
}

}  // namespace
