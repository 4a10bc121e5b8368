// FeedReader against canned responses: dialect detection, the fields of each dialect, the status
// and error bookkeeping, and the component failure paths.
#include <gtest/gtest.h>

#include "ErrorCodes.h"
#include "FakeHttpRequest.h"
#include "FeedReader.h"

namespace {

const char* const kRss3 = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Channel</title>
<item><title>One</title><link>http://a.example/1</link><description>First</description></item>
<item><title>Two</title><link>http://a.example/2</link><description>Second</description></item>
<item><title>Three</title><link>http://a.example/3</link><description>Third</description></item>
</channel></rss>)";

const char* const kRdf = R"(<?xml version="1.0"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">
<channel rdf:about="x"><title>C</title></channel>
<item rdf:about="1"><title>R1</title><link>http://r.example/1</link><description>D1</description></item>
</rdf:RDF>)";

const char* const kAtom = R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>A</title>
<entry><title>E1</title><link rel="alternate" href="http://e.example/1"/><content>C1</content></entry>
</feed>)";

std::vector<std::string> Titles(const FeedReader& reader) {
  std::vector<std::string> titles;
  for (const auto& item : *reader.FeedItems()) titles.push_back(item->Title());
  return titles;
}

std::size_t Sends(const FakeHttpScript& script) {
  return std::count(script.calls.begin(), script.calls.end(), "Send");
}

class FeedReaderTest : public ::testing::Test {
 protected:
  // Reads body as the response of every HTTP candidate; lType and the result are kept.
  bool Read(const std::string& body, int32_t type = 0, bool allowHtml = false) {
    script_->body = body;
    script_->calls.clear();
    lType_ = type;
    return reader_.ReadFeed("http://feed.example/rss", "", "", lType_, allowHtml);
  }

  const FeedItem& Item(std::size_t index) {
    EXPECT_TRUE(reader_.FeedItems());
    return *reader_.FeedItems()->at(index);
  }

  std::shared_ptr<FakeHttpScript> script_ = std::make_shared<FakeHttpScript>();
  FeedReader reader_{FakeHttpRegistry(script_)};
  int32_t lType_ = 0;
};

TEST_F(FeedReaderTest, DetectsRss2AndKeepsDocumentOrder) {
  ASSERT_TRUE(Read(kRss3));
  EXPECT_EQ(Sends(*script_), 1u) << "the first loadable response ends the downloads";
  EXPECT_EQ(Titles(reader_), (std::vector<std::string>{"One", "Two", "Three"}));
  EXPECT_EQ(Item(1).URL(), "http://a.example/2");
  EXPECT_EQ(Item(1).Description(), "Second");
  EXPECT_EQ(reader_.LastHTTPStatus(), 200);
  EXPECT_EQ(reader_.LastHTTPStatusText(), "OK");
  EXPECT_EQ(reader_.LastErrorCode(), 0);
}

TEST_F(FeedReaderTest, DetectionFollowsTheDialectTable) {
  struct Row {
    const char* name;
    std::string body;
    int32_t type;
    const char* typeString;
    std::size_t items;
  };
  const Row rows[] = {
      {"rss", kRss3, 1, "RSS", 3},
      {"rdf", kRdf, 2, "RDF", 1},
      {"atom with default namespace", kAtom, 3, "Atom", 1},
      {"rss items outside channel", "<rss><item><title>x</title></item></rss>", 0, "Unknown / None", 0},
      {"rdf bound to another prefix",
       R"(<r:RDF xmlns:r="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><item><title>x</title></item></r:RDF>)",
       0, "Unknown / None", 0},
      {"prefixed atom entries",
       R"(<a:feed xmlns:a="http://www.w3.org/2005/Atom"><a:entry><a:title>x</a:title></a:entry></a:feed>)",
       0, "Unknown / None", 0},
      // Without an item, detection cannot see the dialect.
      {"rss without items", "<rss><channel><title>empty</title></channel></rss>", 0, "Unknown / None", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Read(row.body), row.type != 0);
    EXPECT_EQ(lType_, row.type);
    EXPECT_EQ(reader_.FeedType(), row.type);
    EXPECT_EQ(reader_.FeedTypeString(), row.typeString);
    ASSERT_TRUE(reader_.FeedItems());
    EXPECT_EQ(reader_.FeedItems()->size(), row.items);
  }
}

TEST_F(FeedReaderTest, ForcedDialectSkipsDetection) {
  EXPECT_TRUE(Read(kRss3, 3));
  EXPECT_EQ(lType_, 3);
  EXPECT_EQ(reader_.FeedTypeString(), "Atom");
  EXPECT_TRUE(reader_.FeedItems()->empty());
  // A recognised feed without entries succeeds.
  EXPECT_TRUE(Read("<rss><channel><title>empty</title></channel></rss>", 1));
  EXPECT_TRUE(reader_.FeedItems()->empty());

  EXPECT_FALSE(Read(kRss3, 5));
  EXPECT_EQ(reader_.FeedType(), 5);
  EXPECT_EQ(reader_.FeedTypeString(), "Unknown / None");
}

TEST_F(FeedReaderTest, NonOkStatusKeepsTheParsedItemsButAnswersFalse) {
  script_->status = 404;
  script_->statusText = "Not Found";
  EXPECT_FALSE(Read(kRss3));
  EXPECT_EQ(reader_.LastHTTPStatus(), 404);
  EXPECT_EQ(reader_.LastHTTPStatusText(), "Not Found");
  EXPECT_EQ(Titles(reader_).size(), 3u);
}

TEST_F(FeedReaderTest, ItemListIsNullBeforeTheFirstReadAndSurvivesClear) {
  EXPECT_EQ(reader_.FeedItems(), nullptr);
  ASSERT_TRUE(Read(kRss3));
  std::shared_ptr<FeedItemList> first = reader_.FeedItems();
  reader_.Clear();
  EXPECT_EQ(reader_.FeedItems(), first);
  EXPECT_EQ(reader_.LastHTTPStatus(), 0);
  EXPECT_EQ(reader_.LastHTTPStatusText(), "");
  EXPECT_EQ(reader_.FeedType(), 0);

  // A new read makes a new list; the caller that kept the old one keeps the old items.
  ASSERT_TRUE(Read(kRdf));
  EXPECT_NE(reader_.FeedItems(), first);
  EXPECT_EQ(first->size(), 3u);
}

// Atom's link is the first one whose rel is "alternate" or absent; its text is content, or
// summary when there is no content element.
TEST_F(FeedReaderTest, AtomEntriesReadTheirLinkAndText) {
  const std::string feed = R"(<feed xmlns="http://www.w3.org/2005/Atom">
<entry><title>no rel</title><link href="http://e.example/plain"/><summary>The summary</summary></entry>
<entry><title>self first</title><link rel="self" href="http://e.example/self"/><link rel="alternate" href="http://e.example/alt"/><summary>S</summary><content>The content</content></entry>
<entry><title>self only</title><link rel="self" href="http://e.example/self"/><content></content><summary>S</summary></entry>
<entry><title>enclosure then plain</title><link rel="enclosure" href="http://e.example/a.mp3"/><link href="http://e.example/page"/></entry>
</feed>)";
  ASSERT_TRUE(Read(feed));
  const struct {
    const char* link;
    const char* text;
  } expected[] = {{"http://e.example/plain", "The summary"},
                  {"http://e.example/alt", "The content"},
                  {"", ""},
                  {"http://e.example/page", ""}};
  ASSERT_EQ(reader_.FeedItems()->size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(Item(i).Title());
    EXPECT_EQ(Item(i).URL(), expected[i].link);
    EXPECT_EQ(Item(i).Description(), expected[i].text);
  }
}

// The fields of the first entry of one-entry documents: text in every script survives cleaning,
// which removes only what XML forbids; titles keep their markup, descriptions lose it unless HTML
// is allowed.
TEST_F(FeedReaderTest, EntryFieldsAreReadWhole) {
  const std::string escaped = "<title>&lt;b&gt;Bold&lt;/b&gt; title</title><description>&lt;p&gt;word&lt;/p&gt;</description>";
  const struct {
    const char* name;
    std::string item;
    bool allowHtml;
    const char* title;
    const char* description;
  } rows[] = {
      {"no title", "<link>l</link><description>d</description>", false, "", "d"},
      {"escaped markup stripped", escaped, false, "<b>Bold</b> title", "word"},
      {"escaped markup allowed", escaped, true, "<b>Bold</b> title", "<p>word</p>"},
      {"every script, forbidden characters removed",
       "<title>Ελληνικά — “quoted” 中文 Русский a\x01" "b\x1F" "c\xEF\xBF\xBE" "d\xEF\xBF\xBF" "e&#8220;f&#8221;</title>"
       "<description>line one\nline two\ttabbed\r\nx</description>",
       false, "Ελληνικά — “quoted” 中文 Русский abcde“f”", "line one\nline two\ttabbed\nx"},
      {"unknown entity kept as written", "<title>t&nbsp;x</title>", false, "t&nbsp;x", ""},
      {"references to forbidden characters read as U+FFFD",
       "<title>A&#xD800;B&#x110000;C&#1;D&#0;E</title><description>x&#xFFFFFFFF;y<![CDATA[&#0;]]></description>",
       false, "A\xEF\xBF\xBD" "B\xEF\xBF\xBD" "C\xEF\xBF\xBD" "D\xEF\xBF\xBD" "E",
       "x\xEF\xBF\xBDy&#0;"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Read("<!DOCTYPE rss PUBLIC \"-//x//DTD y//EN\"\n \"http://x.example/y.dtd\">"
                     "<?xml-stylesheet href='s.css'?><rss><channel><item>" + row.item +
                     "</item><item><title>next</title></item></channel></rss>", 0, row.allowHtml));
    EXPECT_EQ(Item(0).Title(), row.title);
    EXPECT_EQ(Item(0).Description(), row.description);
    EXPECT_EQ(Item(1).Title(), "next");
  }
}

// The text is decoded before parsing, whatever the declaration names.
TEST_F(FeedReaderTest, DeclaredEncodingIsIgnoredForTextAlreadyDecoded) {
  ASSERT_TRUE(Read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                   "<rss><channel><item><title>café</title></item></channel></rss>"));
  EXPECT_EQ(Item(0).Title(), "café");
}

TEST_F(FeedReaderTest, XhtmlContentKeepsTheSpaceBetweenElements) {
  ASSERT_TRUE(Read("<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><content type=\"xhtml\">"
                   "<div xmlns=\"http://www.w3.org/1999/xhtml\"><p>a</p> <p>b</p></div></content></entry></feed>",
                   0, true));
  EXPECT_EQ(Item(0).Description(), "a b");
}

TEST_F(FeedReaderTest, StripHtmlRemovesTagsAsTheLazyPatternDoes) {
  const struct {
    const char* input;
    const char* expected;
  } rows[] = {
      {"<p>caf\xC3\xA9 <b>&amp;</b> more</p><br/>", "caf\xC3\xA9 &amp; more"},
      {"1 < 2 and 3 > 2", "1  2"},
      {"<a\nhref='x'>link</a>", "link"},
      {"a <> b", "a <> b"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(reader_.StripHTML(row.input), row.expected);
    EXPECT_EQ(reader_.StripHTML(std::string(row.input)), row.expected);  // the given-up text form
  }
}

// A document type declaration goes whole before parsing, internal subset included, so the feed
// loads and no entity is ever expanded.
TEST_F(FeedReaderTest, InternalSubsetGoesWholeAndItsEntitiesStayAsWritten) {
  ASSERT_TRUE(Read("<!doctype rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                   "<rss><channel><item><title>&b;</title></item></channel></rss>"));
  EXPECT_EQ(Item(0).Title(), "&b;");
}

// Past the ceiling, the first entries are kept and the feed fails with a reason.
TEST_F(FeedReaderTest, MoreEntriesThanTheCeilingGiveTheFirstOnesAndFail) {
  EXPECT_EQ(reader_.MaxEntries(), 100'000u);
  reader_.MaxEntries(3);
  ASSERT_TRUE(Read(kRss3)) << "exactly at the ceiling";
  EXPECT_EQ(reader_.FeedItems()->size(), 3u);

  std::string feed = "<rss><channel>";
  for (int i = 0; i < 1001; ++i) feed += "<item><title>" + std::to_string(i) + "</title></item>";
  feed += "</channel></rss>";
  reader_.MaxEntries(1000);
  EXPECT_FALSE(Read(feed));
  EXPECT_EQ(lType_, 1);
  ASSERT_EQ(reader_.FeedItems()->size(), 1000u);
  EXPECT_EQ(Item(999).Title(), "999");
  EXPECT_EQ(reader_.LastErrorCode(), ErrorCodes::kTooManyEntries);
  EXPECT_EQ(reader_.LastErrorDesc(), "The feed has more than 1,000 entries; only the first 1,000 were read");
  EXPECT_EQ(Sends(*script_), 1u) << "the document loaded; no other client is tried";
}

TEST_F(FeedReaderTest, HostileDocumentsFailQuietly) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<a>";
  const std::string rows[] = {
      "<html><body><p>Hello<br></body></html>",
      "",
      "not xml at all",
      std::string("\x00\x01\xFF\xFE garbage", 13),
      "<rss><channel><item><title>unterminated",
      nested,
      "<rss><channel><item><title>" + nested + "</title></item></channel></rss>",
      std::string(200000, '\0'),
  };
  for (const std::string& body : rows) {
    SCOPED_TRACE(body.substr(0, 40));
    EXPECT_FALSE(Read(body));
    EXPECT_EQ(Sends(*script_), 4u) << "every candidate is tried";
    EXPECT_EQ(reader_.LastHTTPStatus(), 200);
    EXPECT_EQ(reader_.FeedType(), 0);
    ASSERT_TRUE(reader_.FeedItems());
    EXPECT_TRUE(reader_.FeedItems()->empty());
  }
}

// Without the regex component or the XML document nothing is downloaded; the reader keeps 429.
TEST(FeedReaderComponents, MissingRegexOrXmlComponentMeansNoDownload) {
  for (const std::string name : {"VBScript.RegExp", "MSXML.DomDocument"}) {
    SCOPED_TRACE(name);
    auto script = std::make_shared<FakeHttpScript>(kRss3);
    ComponentRegistry registry = FakeHttpRegistry(script);
    registry.Refuse(name);
    FeedReader reader(registry);
    const bool regex = name == "VBScript.RegExp";
    if (regex) {
      EXPECT_EQ(reader.LastErrorCode(), 429) << "the regex component is made with the reader";
    }
    EXPECT_FALSE(reader.ReadFeed("http://feed.example/rss"));
    EXPECT_TRUE(script->calls.empty());
    EXPECT_EQ(reader.LastErrorCode(), 429);
    EXPECT_EQ(reader.LastErrorDesc(), "Error creating object '" + name + "'");
    if (regex) {
      EXPECT_EQ(reader.FeedItems(), nullptr);
      EXPECT_THROW(reader.StripHTML("<b>x</b>"), ComponentError);
    } else {
      ASSERT_TRUE(reader.FeedItems());
      EXPECT_TRUE(reader.FeedItems()->empty());
    }
  }
}

TEST(FeedReaderComponents, EachRefusedHttpCandidateRecords429AndTheNextIsTried) {
  for (std::size_t refused = 0; refused < HttpClassNames().size(); ++refused) {
    SCOPED_TRACE(HttpClassNames()[refused]);
    auto script = std::make_shared<FakeHttpScript>(kRss3);
    ComponentRegistry registry = FakeHttpRegistry(script);
    // Refuse this candidate and every one before it.
    for (std::size_t i = 0; i <= refused; ++i) registry.Refuse(HttpClassNames()[i]);
    FeedReader reader(registry);
    const bool last = refused + 1 == HttpClassNames().size();
    EXPECT_EQ(reader.ReadFeed("http://feed.example/rss"), !last);
    // The error of a refused candidate stays even when a later one succeeds.
    EXPECT_EQ(reader.LastErrorCode(), 429);
    EXPECT_EQ(reader.LastErrorDesc(), "Error creating object '" + HttpClassNames()[refused] + "'");
    EXPECT_EQ(reader.LastHTTPStatus(), last ? 0 : 200);
  }
}

TEST(FeedReaderComponents, FailedSendsLeaveTheLastErrorAndNoStatus) {
  auto script = std::make_shared<FakeHttpScript>();
  script->sendErrorCode = ErrorCodes::kResolveHost;
  script->sendErrorText = "Could not resolve host: news.example.invalid";
  FeedReader reader(FakeHttpRegistry(script));
  EXPECT_FALSE(reader.ReadFeed("http://news.example.invalid/rss"));
  EXPECT_EQ(Sends(*script), 4u);
  EXPECT_EQ(reader.LastErrorCode(), ErrorCodes::kResolveHost);
  EXPECT_EQ(reader.LastErrorDesc(), "Could not resolve host: news.example.invalid");
  EXPECT_EQ(reader.LastHTTPStatus(), 0);
  EXPECT_EQ(reader.LastHTTPStatusText(), "");
}

// WinHTTP takes credentials through SetCredentials (proxy first); the XMLHTTP classes take the
// server's in Open and have no proxy credentials.
TEST(FeedReaderComponents, CredentialsReachEachClassInItsOwnForm) {
  struct Row {
    bool winHttp;
    const char* proxyUser;
    const char* proxyPass;
    const char* user;
    const char* pass;
    std::vector<std::string> calls;
  };
  const std::string open = "Open GET http://f.example/ false";
  const Row rows[] = {
      {true, "", "", "", "", {open, "Send"}},
      {true, "pu", "", "", "", {open, "SetCredentials [pu] [] 1", "Send"}},
      {true, "", "pp", "u", "", {open, "SetCredentials [] [pp] 1", "SetCredentials [u] [] 0", "Send"}},
      {true, "", "", "", "p", {open, "SetCredentials [] [p] 0", "Send"}},
      {false, "pu", "pp", "", "", {open + " [] []", "Send"}},
      {false, "", "", "u", "p", {open + " [u] [p]", "Send"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.calls));
    auto script = std::make_shared<FakeHttpScript>(kRss3);
    ComponentRegistry registry = FakeHttpRegistry(script);
    if (!row.winHttp) registry.Refuse("WinHttp.WinHttpRequest.5");
    FeedReader reader(registry);
    reader.ProxyUser(row.proxyUser);
    reader.ProxyPass(row.proxyPass);
    ASSERT_TRUE(reader.ReadFeed("http://f.example/", row.user, row.pass));
    EXPECT_EQ(script->calls, row.calls);
  }
}

}  // namespace
