#include "FileNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TextCase {
  const char* label;
  std::string input;
  std::string expected;
};

TEST(JoinPath, PutsOneSlashBetweenFolderAndName) {
  const struct {
    std::string folder;
    std::string expected;
  } cases[] = {
      {"/tmp/out", "/tmp/out/n.html"},
      {"/tmp/out/", "/tmp/out/n.html"},
      {"/tmp/out//", "/tmp/out/n.html"},
      {"/", "/n.html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(JoinPath(c.folder, "n.html"), c.expected);
  }
}

TEST(GetFileName, TakesTextAfterLastBackslash) {
  const std::vector<TextCase> cases = {
      {"web address, no backslash", "http://news.example/rss/earth.rss",
       "http://news.example/rss/earth.rss"},
      {"backslash path", "C:\\feeds\\world.xml", "world.xml"},
      {"backslash inside an address", "http://host/a\\b\\feed.rss", "feed.rss"},
      {"ends with a backslash", "C:\\feeds\\", ""},
      {"only a backslash", "\\", ""},
      {"empty", "", ""},
      {"forward slashes are not separators here", "a\\b/c/d", "b/c/d"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(GetFileName(c.input), c.expected);
  }
}

TEST(FilterChars, KeepsOrDropsMembersInOrder) {
  struct Case {
    const char* label;
    std::string text;
    std::string set;
    bool keep;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"keep members", "a1b2c3", "abc", true, "abc"},
      {"drop members", "a1b2c3", "abc", false, "123"},
      {"case-sensitive", "AaBb", "ab", true, "ab"},
      {"empty text", "", "abc", true, ""},
      {"empty set keeps nothing", "abc", "", true, ""},
      {"empty set drops nothing", "abc", "", false, "abc"},
      {"multi-byte member kept whole", "caf\xC3\xA9!", "\xC3\xA9" "acf", true, "caf\xC3\xA9"},
      {"multi-byte non-member dropped whole", "caf\xC3\xA9", "acf", true, "caf"},
      // \xC3\xA9 (é) and \xC3\xA8 (è) share their first byte; only whole characters match.
      {"no partial match of a shared lead byte", "\xC3\xA8", "\xC3\xA9", false, "\xC3\xA8"},
      {"stray byte is a character of its own", "a\xFF" "b", "\xFF", false, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FilterChars(c.text, c.set, c.keep), c.expected);
  }
}

TEST(CleanFileName, KeepsLettersDigitsHyphenAndSpace) {
  const std::vector<TextCase> cases = {
      {"document's example", "feeds/news.rss?id=7", "feedsnewsrssid7"},
      {"address", "http://news.feedwright.example/rss/earth.rss",
       "httpnewsfeedwrightexamplerssearthrss"},
      {"spaces and hyphens stay", "a b-c", "a b-c"},
      {"punctuation, colons, slashes, dots, underscores go", "a:b/c.d_e\\f*g?h\"i<j>k|l", "abcdefghijkl"},
      {"accented letters go", "caf\xC3\xA9 na\xC3\xAFve", "caf nave"},
      {"other scripts go", "\xE4\xB8\xAD\xE6\x96\x87news\xF0\x9F\x99\x82", "news"},
      {"control characters go", "a\tb\r\nc\x7F", "abc"},
      {"nothing left", "://?.", ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(CleanFileName(c.input), c.expected);
  }
}

TEST(ShortenName, CutsToTwoHundredCharacters) {
  const std::vector<TextCase> cases = {
      {"shorter", std::string(199, 'a'), std::string(199, 'a')},
      {"exactly 200", std::string(200, 'b'), std::string(200, 'b')},
      {"201", std::string(200, 'c') + "d", std::string(200, 'c')},
      {"empty", "", ""},
      {"counts characters, not bytes", std::string(199, 'e') + "\xC3\xA9\xC3\xA9",
       std::string(199, 'e') + "\xC3\xA9"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ShortenName(c.input), c.expected);
  }
}

}  // namespace
