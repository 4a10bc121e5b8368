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

class FeedReaderTest : public ::testing::Test {
 protected:
  // Reads body as the response of every HTTP candidate; lType and the result are kept.
  bool Read(const std::string& body, int32_t type = 0, bool allowHtml = false) {
    script_->body = body;
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
  EXPECT_EQ(lType_, 1);
  EXPECT_EQ(reader_.FeedType(), 1);
  EXPECT_EQ(reader_.FeedTypeString(), "RSS");
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
    bool result;
    std::size_t items;
  };
  const Row rows[] = {
      {"rss", kRss3, 1, "RSS", true, 3},
      {"rdf", kRdf, 2, "RDF", true, 1},
      {"atom with default namespace", kAtom, 3, "Atom", true, 1},
      {"rss items outside channel", "<rss><item><title>x</title></item></rss>", 0,
       "Unknown / None", false, 0},
      {"rdf bound to another prefix",
       R"(<r:RDF xmlns:r="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><item><title>x</title></item></r:RDF>)",
       0, "Unknown / None", false, 0},
      {"prefixed atom entries",
       R"(<a:feed xmlns:a="http://www.w3.org/2005/Atom"><a:entry><a:title>x</a:title></a:entry></a:feed>)",
       0, "Unknown / None", false, 0},
      {"minimal rss",
       "<rss><channel><item><title>r</title></item></channel></rss>", 1, "RSS", true, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Read(row.body), row.result);
    EXPECT_EQ(lType_, row.type);
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

TEST_F(FeedReaderTest, HtmlPageTriesAllFourCandidates) {
  EXPECT_FALSE(Read("<html><body><p>Hello<br></body></html>"));
  EXPECT_EQ(std::count(script_->calls.begin(), script_->calls.end(), "Send"), 4);
  ASSERT_TRUE(reader_.FeedItems());
  EXPECT_TRUE(reader_.FeedItems()->empty());
  EXPECT_EQ(reader_.LastHTTPStatus(), 200);
  EXPECT_EQ(reader_.FeedType(), 0);
}

TEST_F(FeedReaderTest, FirstLoadableResponseEndsTheDownloads) {
  ASSERT_TRUE(Read(kRss3));
  EXPECT_EQ(std::count(script_->calls.begin(), script_->calls.end(), "Send"), 1);
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

TEST_F(FeedReaderTest, AtomLinkIsTheFirstAlternateOrRellessLink) {
  const std::string feed = R"(<feed xmlns="http://www.w3.org/2005/Atom">
<entry><title>no rel</title><link href="http://e.example/plain"/></entry>
<entry><title>self first</title><link rel="self" href="http://e.example/self"/><link rel="alternate" href="http://e.example/alt"/></entry>
<entry><title>self only</title><link rel="self" href="http://e.example/self"/></entry>
<entry><title>enclosure then plain</title><link rel="enclosure" href="http://e.example/a.mp3"/><link href="http://e.example/page"/></entry>
</feed>)";
  ASSERT_TRUE(Read(feed));
  const std::vector<std::string> expected = {"http://e.example/plain", "http://e.example/alt", "",
                                             "http://e.example/page"};
  ASSERT_EQ(reader_.FeedItems()->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(Item(i).Title());
    EXPECT_EQ(Item(i).URL(), expected[i]);
  }
}

TEST_F(FeedReaderTest, AtomDescriptionFallsBackToSummaryOnlyWithoutContent) {
  const std::string feed = R"(<feed xmlns="http://www.w3.org/2005/Atom">
<entry><title>summary only</title><summary>The summary</summary></entry>
<entry><title>both</title><summary>S</summary><content>The content</content></entry>
<entry><title>empty content</title><content></content><summary>S</summary></entry>
<entry><title>neither</title></entry>
</feed>)";
  ASSERT_TRUE(Read(feed));
  const std::vector<std::string> expected = {"The summary", "The content", "", ""};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(Item(i).Title());
    EXPECT_EQ(Item(i).Description(), expected[i]);
  }
}

TEST_F(FeedReaderTest, EntryWithoutTitleIsStillAppended) {
  ASSERT_TRUE(Read("<rss><channel><item><link>l</link></item><item><title>t</title></item></channel></rss>"));
  EXPECT_EQ(Titles(reader_), (std::vector<std::string>{"", "t"}));
  EXPECT_EQ(Item(1).URL(), "");
}

TEST_F(FeedReaderTest, EscapedMarkupIsStrippedFromDescriptionsOnly) {
  const std::string feed =
      "<rss><channel><item><title>&lt;b&gt;Bold&lt;/b&gt; title</title>"
      "<description>&lt;p&gt;word&lt;/p&gt;</description></item></channel></rss>";
  ASSERT_TRUE(Read(feed, 0, false));
  EXPECT_EQ(Item(0).Description(), "word");
  EXPECT_EQ(Item(0).Title(), "<b>Bold</b> title");

  ASSERT_TRUE(Read(feed, 0, true));
  EXPECT_EQ(Item(0).Description(), "<p>word</p>");
  EXPECT_EQ(Item(0).Title(), "<b>Bold</b> title");
}

TEST_F(FeedReaderTest, RecognisedFeedWithoutEntriesSucceeds) {
  // Without an item, detection cannot see the dialect: it stays unknown and the parse fails.
  EXPECT_FALSE(Read("<rss><channel><title>empty</title></channel></rss>"));
  EXPECT_EQ(lType_, 0);
  EXPECT_TRUE(Read("<rss><channel><title>empty</title></channel></rss>", 1));
  EXPECT_TRUE(reader_.FeedItems()->empty());
}

TEST_F(FeedReaderTest, TextOfEveryScriptSurvivesCleaning) {
  const std::string feed =
      "<rss><channel><item><title>Ελληνικά — “quoted” 中文 Русский</title>"
      "<description>line one\nline two\ttabbed</description></item></channel></rss>";
  ASSERT_TRUE(Read(feed));
  EXPECT_EQ(Item(0).Title(), "Ελληνικά — “quoted” 中文 Русский");
  EXPECT_EQ(Item(0).Description(), "line one\nline two\ttabbed");
}

TEST_F(FeedReaderTest, CleaningRemovesOnlyWhatXmlForbids) {
  const std::string feed = std::string("<rss><channel><item><title>a\x01") + "b\x1F" +
                           "c\xEF\xBF\xBE" + "d\xEF\xBF\xBF" + "e&#8220;f&#8221;</title>" +
                           "<description>x\r\ny</description></item></channel></rss>";
  ASSERT_TRUE(Read(feed));
  EXPECT_EQ(Item(0).Title(), "abcde“f”");
  // The parser normalises CR LF to LF.
  EXPECT_EQ(Item(0).Description(), "x\ny");
}

TEST_F(FeedReaderTest, DoctypeIsRemovedAndEntitiesAreNeverExpanded) {
  const std::string simple =
      "<!DOCTYPE rss PUBLIC \"-//x//DTD y//EN\"\n \"http://x.example/y.dtd\">"
      "<rss><channel><item><title>t&nbsp;x</title></item></channel></rss>";
  ASSERT_TRUE(Read(simple));
  // An entity the parser does not know stays as written.
  EXPECT_EQ(Item(0).Title(), "t&nbsp;x");

  const std::string bomb =
      "<!doctype rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
      "<rss><channel><item><title>&b;</title></item></channel></rss>";
  Read(bomb);
  ASSERT_TRUE(reader_.FeedItems());
  for (const auto& item : *reader_.FeedItems()) {
    EXPECT_EQ(item->Title().find("aaaa"), std::string::npos);
  }
}

TEST_F(FeedReaderTest, XhtmlContentKeepsTheSpaceBetweenElements) {
  const std::string feed = R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry><title>x</title>
<content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><p>a</p> <p>b</p></div></content>
</entry></feed>)";
  ASSERT_TRUE(Read(feed, 0, true));
  EXPECT_EQ(Item(0).Description(), "a b");
}

TEST_F(FeedReaderTest, DeclaredEncodingIsIgnoredForTextAlreadyDecoded) {
  ASSERT_TRUE(Read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                   "<rss><channel><item><title>café</title></item></channel></rss>"));
  EXPECT_EQ(Item(0).Title(), "café");
}

TEST_F(FeedReaderTest, CdataAndNestedTextAreReadWhole) {
  ASSERT_TRUE(Read("<rss><channel><item><title>a<![CDATA[<b>]]>c<x>d<y>e</y></x>f</title>"
                   "</item></channel></rss>"));
  EXPECT_EQ(Item(0).Title(), "a<b>cdef");
}

TEST_F(FeedReaderTest, HostileDocumentsFailQuietly) {
  const std::string deep = std::string(200000, '\0');
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<a>";
  const std::string rows[] = {
      "",
      "not xml at all",
      std::string("\x00\x01\xFF\xFE garbage", 13),
      "<rss><channel><item><title>unterminated",
      nested,
      "<rss><channel><item><title>" + nested + "</title></item></channel></rss>",
      deep,
  };
  for (const std::string& body : rows) {
    SCOPED_TRACE(body.substr(0, 40));
    EXPECT_FALSE(Read(body));
    ASSERT_TRUE(reader_.FeedItems());
    EXPECT_TRUE(reader_.FeedItems()->empty());
  }
}

TEST_F(FeedReaderTest, StripHtmlRemovesTagsAsTheLazyPatternDoes) {
  struct Row {
    const char* input;
    const char* expected;
  };
  const Row rows[] = {
      {"<p>Hello <b>world</b></p>", "Hello world"},
      {"<>", "<>"},
      {"a <> b", "a <> b"},
      {"<>>", ""},
      {"1 < 2 and 3 > 2", "1  2"},
      {"a < b", "a < b"},
      {"<a\nhref='x'>link</a>", "link"},
      {"&lt;p&gt;", "&lt;p&gt;"},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(reader_.StripHTML(row.input), row.expected);
  }
}

TEST(FeedReaderComponents, MissingRegexComponentStopsEveryRead) {
  auto script = std::make_shared<FakeHttpScript>();
  script->body = kRss3;
  ComponentRegistry registry = FakeHttpRegistry(script);
  registry.Refuse("VBScript.RegExp");
  FeedReader reader(registry);
  EXPECT_EQ(reader.LastErrorCode(), 429);
  EXPECT_EQ(reader.LastErrorDesc(), "Error creating object 'VBScript.RegExp'");

  EXPECT_FALSE(reader.ReadFeed("http://feed.example/rss"));
  EXPECT_EQ(reader.FeedItems(), nullptr);
  EXPECT_TRUE(script->calls.empty());
  EXPECT_EQ(reader.LastErrorCode(), 429);
  EXPECT_THROW(reader.StripHTML("<b>x</b>"), ComponentError);
}

TEST(FeedReaderComponents, MissingXmlDocumentMeansNoDownload) {
  auto script = std::make_shared<FakeHttpScript>();
  script->body = kRss3;
  ComponentRegistry registry = FakeHttpRegistry(script);
  registry.Refuse("MSXML.DomDocument");
  FeedReader reader(registry);
  EXPECT_FALSE(reader.ReadFeed("http://feed.example/rss"));
  EXPECT_TRUE(script->calls.empty());
  EXPECT_EQ(reader.LastErrorCode(), 429);
  EXPECT_EQ(reader.LastErrorDesc(), "Error creating object 'MSXML.DomDocument'");
  ASSERT_TRUE(reader.FeedItems());
  EXPECT_TRUE(reader.FeedItems()->empty());
}

TEST(FeedReaderComponents, EachRefusedHttpCandidateRecords429AndTheNextIsTried) {
  for (std::size_t refused = 0; refused < HttpClassNames().size(); ++refused) {
    SCOPED_TRACE(HttpClassNames()[refused]);
    auto script = std::make_shared<FakeHttpScript>();
    script->body = kRss3;
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
  EXPECT_EQ(std::count(script->calls.begin(), script->calls.end(), "Send"), 4);
  EXPECT_EQ(reader.LastErrorCode(), ErrorCodes::kResolveHost);
  EXPECT_EQ(reader.LastErrorDesc(), "Could not resolve host: news.example.invalid");
  EXPECT_EQ(reader.LastHTTPStatus(), 0);
  EXPECT_EQ(reader.LastHTTPStatusText(), "");
}

TEST(FeedReaderComponents, WinHttpGetsCredentialsThroughSetCredentials) {
  struct Row {
    const char* proxyUser;
    const char* proxyPass;
    const char* user;
    const char* pass;
    std::vector<std::string> calls;
  };
  const std::string open = "Open GET http://f.example/ false";
  const Row rows[] = {
      {"", "", "", "", {open, "Send"}},
      {"pu", "", "", "", {open, "SetCredentials [pu] [] 1", "Send"}},
      {"", "pp", "u", "", {open, "SetCredentials [] [pp] 1", "SetCredentials [u] [] 0", "Send"}},
      {"", "", "", "p", {open, "SetCredentials [] [p] 0", "Send"}},
  };
  for (const Row& row : rows) {
    auto script = std::make_shared<FakeHttpScript>();
    script->body = kRss3;
    FeedReader reader(FakeHttpRegistry(script));
    reader.ProxyUser(row.proxyUser);
    reader.ProxyPass(row.proxyPass);
    ASSERT_TRUE(reader.ReadFeed("http://f.example/", row.user, row.pass));
    EXPECT_EQ(script->calls, row.calls);
  }
}

TEST(FeedReaderComponents, XmlHttpClassesTakeServerCredentialsInOpenAndIgnoreTheProxy) {
  auto script = std::make_shared<FakeHttpScript>();
  script->body = kRss3;
  ComponentRegistry registry = FakeHttpRegistry(script);
  registry.Refuse("WinHttp.WinHttpRequest.5");
  FeedReader reader(registry);
  reader.ProxyUser("pu");
  reader.ProxyPass("pp");
  ASSERT_TRUE(reader.ReadFeed("http://f.example/"));
  EXPECT_EQ(script->calls,
            (std::vector<std::string>{"Open GET http://f.example/ false [] []", "Send"}));
}

}  // namespace
