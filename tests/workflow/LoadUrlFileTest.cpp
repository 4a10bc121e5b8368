// URL files: lines, their ends and ceilings; OPML subscription lists and how they are told apart.
#include "UrlFileLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OpmlSubscriptions.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "WorkflowFakes.h"

namespace {

using Rows = std::vector<std::string>;

const std::string kMark = "\xEF\xBB\xBF";
const std::string kOpml = R"(<opml version="1.0"><body><outline xmlUrl="http://a/"/></body></opml>)";

std::string Utf16Le(const std::string& ascii) {
  std::string wide = "\xFF\xFE";
  for (char c : ascii) wide += std::string{c, '\0'};
  return wide;
}

class LoadUrlFileTest : public ::testing::Test {
 protected:
  // Loads bytes into a list holding one row, "kept".
  UrlFileLoad Load(const std::string& bytes) {
    list_.rows = {"kept"};
    dialogs_.messages.clear();
    events_.calls = 0;
    const long open = TempFolder::OpenFiles();
    const UrlFileLoad load = LoadUrlFile(list_, folder_.Write("urls", bytes), dialogs_, events_);
    EXPECT_EQ(TempFolder::OpenFiles(), open) << "the file is closed";
    return load;
  }
  Rows Added() const { return Rows(list_.rows.begin() + 1, list_.rows.end()); }

  TempFolder folder_;
  VectorUrlList list_;
  ScriptedDialogs dialogs_;
  CountingEvents events_;
};

TEST_F(LoadUrlFileTest, LinesAndOpmlOutlinesBecomeRows) {
  const struct {
    const char* label;
    std::string bytes;
    Rows added;
  } cases[] = {
      {"CR LF, blank line in the middle", "a\r\n\r\nb\r\n", {"a", "", "b"}},
      {"last line without terminator", "a\r\nb", {"a", "b"}},
      {"lone CRs", "a\rb\r\r", {"a", "b", ""}},
      {"LF only, the final LF adds no row", "a\n\nb\n", {"a", "", "b"}},
      {"LF then CR", "a\n\rb", {"a", "", "b"}},
      {"nothing trimmed, NUL kept", std::string("  http://x \0y\r\n\t", 16), {std::string("  http://x \0y", 13), "\t"}},
      {"empty file", "", {}},
      {"byte-order mark dropped", kMark + "a\r\n" + kMark + "b", {"a", kMark + "b"}},
      {"start of a mark is text", "\xEF\xBBx", {"\xEF\xBBx"}},
      {"a mark's first byte alone", "\xEF", {"\xEF"}},
      {"CR LF split across reads", std::string(65535, 'a') + "\r\nb", {std::string(65535, 'a'), "b"}},
      {"longer element name", "<opmlx>\r\nopml export", {"<opmlx>", "opml export"}},
      // Nested outlines in document order; only a non-empty xmlUrl counts.
      {"OPML", kMark + "\r\n\t <?xml version='1.0'?><!-- a > b -->" +
                   R"(<opml><head><title>t</title></head><body><outline text="News">
  <outline xmlUrl="http://h/" htmlUrl="http://h.html/"/><outline><outline xmlUrl="http://s/"/></outline></outline>
  <outline xmlUrl="http://g/"><outline xmlUrl="http://c/"/></outline><outline htmlUrl="http://p/"/><outline xmlUrl=""/>
  <outline xmlurl="http://lower/"/><outline xmlUrl="http://q/?a=1&amp;b=2"/></body></opml>)",
       {"http://h/", "http://s/", "http://g/", "http://c/", "http://q/?a=1&b=2"}},
      {"document type with an entity that is never expanded",
       "<!DOCTYPE opml [<!ENTITY e \"http://x/\"> <!-- ] > -->]><opml><body><outline xmlUrl=\"&e;\"/></body></opml>",
       {"&e;"}},
      {"UTF-16 with its mark", Utf16Le(kOpml), {"http://a/"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Load(c.bytes), UrlFileLoad::kLoaded);
    EXPECT_EQ(Added(), c.added);
    // The window's events are handled before each row.
    EXPECT_EQ(events_.calls, std::ssize(c.added));
    EXPECT_TRUE(dialogs_.messages.empty());
  }
}

// 1 MiB a row, 100,000 rows, 64 MiB of OPML; past them, or for broken OPML, a plain message says why,
// and only rows before a stop stay. A prolog past 1 MiB makes a list of lines.
TEST_F(LoadUrlFileTest, WhatTheListCannotTakeIsSaidPlainly) {
  const std::string longest(kMaxUrlFileRowBytes, 'x');
  std::string lines, outlines, prolog;
  while (prolog.size() <= kMaxOpmlPrologBytes) prolog += "<!-- x -->\n";
  for (std::size_t i = 0; i < kMaxUrlFileRows; ++i) lines += "a\n";
  for (std::size_t i = 0; i <= kMaxUrlFileRows; ++i) outlines += "<outline xmlUrl=\"u\"/>";
  const std::string broken = "The file looks like an OPML subscription list but cannot be read: ";
  const struct {
    std::string bytes;
    UrlFileLoad outcome;
    std::size_t added;
    std::string message;
  } cases[] = {
      {"a\r\n" + longest, UrlFileLoad::kLoaded, 2, ""},
      {"a\r\n" + longest + "x\r\nb", UrlFileLoad::kTooLarge, 1,
       "An address in the file is longer than 1 MiB, on line 2. The load stopped before that line."},
      {lines, UrlFileLoad::kLoaded, kMaxUrlFileRows, ""},
      {lines + "b", UrlFileLoad::kTooManyRows, kMaxUrlFileRows,
       "The file has more than 100,000 lines. The load stopped after the first 100,000."},
      {"<opml>\n<body>\n<outline xmlUrl=\"http://a/\">\n</body></opml>", UrlFileLoad::kBrokenOpml, 0,
       broken + "Start-end tags mismatch at line 4. No addresses were added."},
      {"<opml><body><outline xmlUrl=\"" + longest + "x\"/><outline xmlUrl=\"a\"/></body></opml>",
       UrlFileLoad::kTooLarge, 0, "An address in the file is longer than 1 MiB. No addresses were added."},
      {"<opml><body>" + std::string(kMaxOpmlFileBytes, ' ') + "</body></opml>", UrlFileLoad::kTooLarge, 0,
       "The file is larger than 64 MiB, more than an OPML subscription list may be. No addresses were added."},
      {"<opml><body>" + outlines + "</body></opml>", UrlFileLoad::kTooManyRows, kMaxUrlFileRows,
       "The file lists more than 100,000 feed addresses. The load stopped after the first 100,000."},
      {prolog + kOpml, UrlFileLoad::kLoaded, prolog.size() / 11 + 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Load(c.bytes), c.outcome);
    EXPECT_EQ(list_.rows.size(), 1 + c.added);
    EXPECT_EQ(dialogs_.MessageTexts(), c.message.empty() ? Rows{} : Rows{c.message});
  }
}

// Whether the bytes read so far decide; a head cut inside the prolog asks for more.
TEST(SniffOpmlTest, DecidesOnlyWhenItCan) {
  const struct {
    std::string head;
    bool whole;
    OpmlStart expected;
  } cases[] = {
      {kMark, false, OpmlStart::kUndecided},
      {"<?xml version=", false, OpmlStart::kUndecided},
      {"<?xml version=", true, OpmlStart::kNotOpml},
      {"<!DOCTYPE opml [ <!ENTITY a 'x>'>", false, OpmlStart::kUndecided},
      {"<!DOCTYPE opml [ <?pi ]>?> ]>\n<rss version=\"2.0\">", false, OpmlStart::kNotOpml},
      {"<op", false, OpmlStart::kUndecided},
      {"<opml", true, OpmlStart::kOpml},
      {"<opml/>", true, OpmlStart::kOpml},
      {Utf16Le("<opml>").substr(0, 9), false, OpmlStart::kUndecided},
      {Utf16Le("<opml>"), true, OpmlStart::kOpml},
  };
  for (const auto& c : cases) EXPECT_EQ(SniffOpml(c.head, c.whole), c.expected) << c.head;
}

}  // namespace
