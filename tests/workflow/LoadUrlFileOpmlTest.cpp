// OPML subscription lists through the URL file loader, and the test that tells them from lists
// of lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OpmlSubscriptions.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "UrlFileLoader.h"
#include "UrlListCommands.h"
#include "WorkflowFakes.h"

namespace {

using Rows = std::vector<std::string>;

const std::string kMark = "\xEF\xBB\xBF";

const std::string kNested = R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0">
  <head><title>My feeds</title></head>
  <body>
    <outline text="News">
      <outline text="Harbour" type="rss" xmlUrl="http://harbour.example/rss" htmlUrl="http://harbour.example/"/>
      <outline text="Deeper">
        <outline text="Sky" type="rss" xmlUrl="http://sky.example/rdf"/>
      </outline>
    </outline>
    <outline text="Garden" type="rss" xmlUrl="http://garden.example/atom">
      <outline text="child of a feed" xmlUrl="http://child.example/rss"/>
    </outline>
    <outline text="Just a page" htmlUrl="http://page.example/"/>
    <outline text="Empty address" xmlUrl=""/>
    <outline text="Other spelling" xmlurl="http://lower.example/rss"/>
    <outline text="Escaped" xmlUrl="http://q.example/feed?a=1&amp;b=2"/>
  </body>
</opml>
)";

const Rows kNestedRows = {"http://harbour.example/rss", "http://sky.example/rdf",
                          "http://garden.example/atom", "http://child.example/rss",
                          "http://q.example/feed?a=1&b=2"};

std::string Utf16Le(const std::string& ascii) {
  std::string wide = "\xFF\xFE";
  for (char c : ascii) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

class LoadUrlFileOpmlTest : public ::testing::Test {
 protected:
  UrlFileLoad Load(const std::string& bytes, const std::string& name = "list.opml") {
    return LoadUrlFile(list_, folder_.Write(name, bytes), dialogs_, events_);
  }

  TempFolder folder_;
  VectorUrlList list_;
  ScriptedDialogs dialogs_;
  CountingEvents events_;
};

TEST_F(LoadUrlFileOpmlTest, OutlinesGiveTheirAddressesInDocumentOrder) {
  list_.rows = {"already there"};
  EXPECT_EQ(Load(kNested), UrlFileLoad::kLoaded);
  Rows expected = {"already there"};
  expected.insert(expected.end(), kNestedRows.begin(), kNestedRows.end());
  EXPECT_EQ(list_.rows, expected);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_GE(events_.calls, static_cast<int>(kNestedRows.size()));
}

TEST_F(LoadUrlFileOpmlTest, OpmlIsKnownByItsContentWhateverItsStart) {
  struct Case {
    const char* label;
    std::string bytes;
    Rows expected;
  };
  const std::string body = R"(<opml version="1.0"><body><outline xmlUrl="http://a/"/></body></opml>)";
  const std::vector<Case> cases = {
      {"byte-order mark", kMark + kNested, kNestedRows},
      {"no declaration", body, {"http://a/"}},
      {"leading blank lines", "\r\n\n  \t" + body, {"http://a/"}},
      {"comments and instructions", "<?xml version='1.0'?><!-- a > b --><?style x?>\n" + body,
       {"http://a/"}},
      {"document type with an entity that is never expanded",
       "<!DOCTYPE opml [<!ENTITY e \"http://expanded/\"> <!-- ] > -->]>\n"
       "<opml><body><outline xmlUrl=\"&e;\"/><outline xmlUrl=\"http://b/\"/></body></opml>",
       {"&e;", "http://b/"}},
      {"UTF-16 with its mark", Utf16Le(body), {"http://a/"}},
      {"declared ISO-8859-1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml><body>"
       "<outline xmlUrl=\"http://caf\xE9.example/\"/></body></opml>",
       {"http://caf\xC3\xA9.example/"}},
      {"prolog past one read", "<!--" + std::string(200 * 1024, '-').replace(0, 1, " ") + " -->" + body,
       {"http://a/"}},
      {"empty document", "<opml/>", {}},
      {"outlines in the head count too",
       "<opml><head><outline xmlUrl=\"http://h/\"/></head><body/></opml>", {"http://h/"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    list_.rows.clear();
    EXPECT_EQ(Load(c.bytes), UrlFileLoad::kLoaded);
    EXPECT_EQ(list_.rows, c.expected);
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(LoadUrlFileOpmlTest, OtherFilesLoadLineByLineAsBefore) {
  struct Case {
    const char* label;
    std::string bytes;
    Rows expected;
  };
  const std::vector<Case> cases = {
      {"first line mentions opml", "opml export of my feeds\r\nhttp://a/\r\n",
       {"opml export of my feeds", "http://a/"}},
      {"first line holds <opml> after text", "see <opml>\r\n", {"see <opml>"}},
      {"longer element name", "<opmlx>\r\n", {"<opmlx>"}},
      {"prefixed name", "<x:opml>\r\n", {"<x:opml>"}},
      {"upper case", "<OPML>\r\n", {"<OPML>"}},
      {"unfinished comment", "<!-- opml\r\nhttp://a/", {"<!-- opml", "http://a/"}},
      {"mark then text", kMark + "opml\r\n", {"opml"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    list_.rows.clear();
    EXPECT_EQ(Load(c.bytes, "list.txt"), UrlFileLoad::kLoaded);
    EXPECT_EQ(list_.rows, c.expected);
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(LoadUrlFileOpmlTest, PrologPastItsCeilingIsNoOpml) {
  std::string bytes;
  while (bytes.size() <= kMaxOpmlPrologBytes) bytes += "<!-- x -->\n";
  const std::size_t lines = bytes.size() / 11;
  bytes += "<opml><body><outline xmlUrl=\"http://a/\"/></body></opml>";
  EXPECT_EQ(Load(bytes), UrlFileLoad::kLoaded);
  ASSERT_EQ(list_.rows.size(), lines + 1);
  EXPECT_EQ(list_.rows.front(), "<!-- x -->");
}

TEST_F(LoadUrlFileOpmlTest, BrokenOpmlSaysWhatAndWhereAndAddsNothing) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"unclosed element", "<opml>\n<body>\n<outline xmlUrl=\"http://a/\">\n</body></opml>",
       "Start-end tags mismatch at line 4"},
      {"cut off after its name", "<opml", "Error parsing start element tag at line 1"},
      {"bad attribute", kMark + "<opml><body><outline xmlUrl=http://a/ /></body></opml>",
       "Error parsing element attribute at line 1"},
      // The parser stops on the last byte, the LF that ends line 2.
      {"unclosed document", "<?xml version=\"1.0\"?>\r\n<opml><body>\r\n",
       "Start-end tags mismatch at line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    list_.rows = {"kept"};
    dialogs_.messages.clear();
    EXPECT_EQ(Load(c.bytes), UrlFileLoad::kBrokenOpml);
    EXPECT_EQ(list_.rows, Rows{"kept"});
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              "The file looks like an OPML subscription list but cannot be read: " + c.error +
                  ". No addresses were added.");
    EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
    EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
  }
}

TEST_F(LoadUrlFileOpmlTest, TooMuchForTheListIsSaidPlainly) {
  const std::string longAddress(kMaxUrlFileRowBytes + 1, 'a');
  std::string outlines;
  for (std::size_t i = 0; i <= kMaxUrlFileRows; ++i) outlines += "<outline xmlUrl=\"u\"/>";
  struct Case {
    const char* label;
    std::string bytes;
    UrlFileLoad outcome;
    std::size_t rowsAdded;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"an address past the row ceiling",
       "<opml><body><outline xmlUrl=\"http://a/\"/><outline xmlUrl=\"" + longAddress +
           "\"/></body></opml>",
       UrlFileLoad::kTooLarge, 0,
       "An address in the file is longer than 1 MiB. No addresses were added."},
      {"a file past its ceiling",
       "<opml><body>" + std::string(kMaxOpmlFileBytes, ' ') + "</body></opml>",
       UrlFileLoad::kTooLarge, 0,
       "The file is larger than 64 MiB, more than an OPML subscription list may be. No "
       "addresses were added."},
      {"one outline more than a list takes", "<opml><body>" + outlines + "</body></opml>",
       UrlFileLoad::kTooManyRows, kMaxUrlFileRows,
       "The file lists more than 100,000 feed addresses. The load stopped after the first "
       "100,000."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    list_.rows = {"kept"};
    dialogs_.messages.clear();
    EXPECT_EQ(Load(c.bytes), c.outcome);
    EXPECT_EQ(list_.rows.size(), 1 + c.rowsAdded);
    EXPECT_EQ(list_.rows.front(), "kept");
    EXPECT_EQ(dialogs_.MessageTexts(), Rows{c.message});
    EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
  }
}

TEST_F(LoadUrlFileOpmlTest, DeeplyNestedOutlinesAreAllRead) {
  constexpr int kDepth = 50000;
  std::string bytes = "<opml><body>";
  for (int i = 0; i < kDepth; ++i) bytes += "<outline xmlUrl=\"u" + std::to_string(i) + "\">";
  for (int i = 0; i < kDepth; ++i) bytes += "</outline>";
  bytes += "</body></opml>";
  EXPECT_EQ(Load(bytes), UrlFileLoad::kLoaded);
  ASSERT_EQ(list_.rows.size(), static_cast<std::size_t>(kDepth));
  EXPECT_EQ(list_.rows.front(), "u0");
  EXPECT_EQ(list_.rows.back(), "u" + std::to_string(kDepth - 1));
}

TEST_F(LoadUrlFileOpmlTest, LoadFromFileCommandTakesOpmlAndReportsBrokenOnes) {
  RecordingPointer pointer;
  RunState run;
  UrlListCommands commands(list_, dialogs_, events_, pointer, run);
  dialogs_.AnswerOpenFile(folder_.Write("feeds.opml", kNested));
  commands.LoadFromFile();
  EXPECT_EQ(list_.rows, kNestedRows);
  EXPECT_TRUE(dialogs_.messages.empty());

  dialogs_.AnswerOpenFile(folder_.Write("broken.opml", "<opml><body>"));
  commands.LoadFromFile();
  EXPECT_EQ(list_.rows, kNestedRows);
  // A plain message, not an error report.
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
  EXPECT_NE(dialogs_.messages[0].text.find("OPML"), std::string::npos);
}

TEST(SniffOpmlTest, DecidesOnlyWhenItCan) {
  struct Case {
    const char* label;
    std::string head;
    bool whole;
    OpmlStart expected;
  };
  const std::vector<Case> cases = {
      {"empty so far", "", false, OpmlStart::kUndecided},
      {"empty file", "", true, OpmlStart::kNotOpml},
      {"mark only so far", kMark, false, OpmlStart::kUndecided},
      {"blank so far", "  \r\n", false, OpmlStart::kUndecided},
      {"text", "h", false, OpmlStart::kNotOpml},
      {"inside the declaration", "<?xml version=", false, OpmlStart::kUndecided},
      {"inside the declaration, whole", "<?xml version=", true, OpmlStart::kNotOpml},
      {"inside a comment", "<!-- <opml>", false, OpmlStart::kUndecided},
      {"inside a document type", "<!DOCTYPE opml [ <!ENTITY a 'x>'>", false, OpmlStart::kUndecided},
      {"comment in a document type", "<!DOCTYPE opml [ <!-- ]> --> ]><opml>", false,
       OpmlStart::kOpml},
      {"instruction in a document type", "<!DOCTYPE opml [ <?pi ]>?> ]>\n<rss>", false,
       OpmlStart::kNotOpml},
      {"part of the name", "<op", false, OpmlStart::kUndecided},
      {"part of the name, whole", "<op", true, OpmlStart::kNotOpml},
      {"name at the end", "<opml", false, OpmlStart::kUndecided},
      {"name at the end, whole", "<opml", true, OpmlStart::kOpml},
      {"name and space", "<opml ", false, OpmlStart::kOpml},
      {"empty element", "<opml/>", true, OpmlStart::kOpml},
      {"another element", "<rss>", false, OpmlStart::kNotOpml},
      {"other markup", "<![CDATA[", false, OpmlStart::kNotOpml},
      {"UTF-16 cut in a character", Utf16Le("<opml>").substr(0, 9), false, OpmlStart::kUndecided},
      {"UTF-16 whole", Utf16Le("<opml>"), true, OpmlStart::kOpml},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(SniffOpml(c.head, c.whole), c.expected);
  }
}

}  // namespace
