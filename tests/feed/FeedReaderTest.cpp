// The parse part on plain buffers (dialects, fields, cleaning), and FeedReader against canned
// responses from a fake HTTP component (the candidates, the entry ceiling, components that cannot
// be made or fail, credentials), and once with the real client.
#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

#include "FeedParser.h"
#include "FeedReader.h"
#include "HttpRequest.h"
#include "RawLoopbackServer.h"

namespace {

// What the fake HTTP components of one registry answer, and a log of every call made to them:
// "Open GET http://x false [user] [password]", "SetCredentials [u] [p] 1", "Send".
struct FakeHttpScript {
  std::string body;
  int32_t status = 200;
  int32_t sendError = 0;  // Send throws it when above 0, an exception of no component when below
  std::vector<std::string> calls;
};

class FakeHttpRequest : public HttpRequest {
 public:
  explicit FakeHttpRequest(std::shared_ptr<FakeHttpScript> script) : script_(std::move(script)) {}
  void Open(const std::string& method, const std::string& url, bool async) override {
    script_->calls.push_back("Open " + method + " " + url + (async ? " true" : " false"));
  }
  void Open(const std::string& method, const std::string& url, bool async, const std::string& user,
            const std::string& password) override {
    Open(method, url, async);
    script_->calls.back() += " [" + user + "] [" + password + "]";
  }
  void SetCredentials(const std::string& user, const std::string& password, int32_t flag) override {
    script_->calls.push_back("SetCredentials [" + user + "] [" + password + "] " + std::to_string(flag));
  }
  void Send() override {
    script_->calls.push_back("Send");
    if (script_->sendError < 0) throw std::runtime_error("No buffer space available");
    if (script_->sendError != 0) throw ComponentError(script_->sendError, "Could not resolve host: a.invalid");
  }
  int32_t Status() const override { return script_->status; }
  std::string StatusText() const override { return script_->status == 200 ? "OK" : "Not Found"; }
  std::string ResponseText() const override { return script_->body; }

 private:
  std::shared_ptr<FakeHttpScript> script_;
};

// The standard registry with every HTTP class name answered by a fake of its own that follows
// script, so the reader takes them for different clients.
ComponentRegistry FakeHttpRegistry(const std::shared_ptr<FakeHttpScript>& script) {
  ComponentRegistry registry = ComponentRegistry::Standard();
  for (const std::string& name : kHttpClassNames) {
    registry.Register(name, [script] { return std::make_unique<FakeHttpRequest>(script); });
  }
  return registry;
}

const char* const kRss3 =
    "<rss><channel><item><title>One</title></item><item><title>Two</title></item>"
    "<item><title>Three</title></item></channel></rss>";

std::string ReadExample(const std::string& name) {
  std::ifstream file(std::string(FEEDWRIGHT_EXAMPLES_DIR) + "/feeds/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::string Times(const std::string& piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::size_t Sends(const FakeHttpScript& script) { return std::count(script.calls.begin(), script.calls.end(), "Send"); }

// What a ReadFeed left on the reader, in one line: whether it read, after how many requests, the
// status, the error, and how many items.
std::string Summary(bool read, const FeedReader& reader, std::size_t requests) {
  const auto spaced = [](const std::string& text) { return text.empty() ? text : " " + text; };
  return std::string(read ? "read" : "failed") + ", requests " + std::to_string(requests) + ", status " +
         std::to_string(reader.LastHTTPStatus()) + spaced(reader.LastHTTPStatusText()) + ", error " +
         std::to_string(reader.LastErrorCode()) + spaced(reader.LastErrorDesc()) + ", " +
         (reader.FeedItems() ? "items " + std::to_string(reader.FeedItems()->size()) : "no item list");
}

// What a ParseFeed gave, in one line: whether it read, the dialect, the error and how many items.
std::string Summary(const ParsedFeed& feed) {
  return std::string(feed.parsed ? "read" : "failed") + ", type " + std::to_string(feed.feedType) + ", error " +
         std::to_string(feed.errorCode) + (feed.errorText.empty() ? "" : " " + feed.errorText) + ", items " +
         std::to_string(feed.items.size());
}

ParsedFeed Parse(std::string body, int32_t type = 0, bool allowHtml = false) {
  FeedParseOptions options;
  options.lType = type;
  options.bAllowHTML = allowHtml;
  return ParseFeed(std::move(body), options);
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

  std::shared_ptr<FakeHttpScript> script_ = std::make_shared<FakeHttpScript>();
  FeedReader reader_{FakeHttpRegistry(script_)};
  int32_t lType_ = 0;
};

// The bundled examples read whole, one per dialect (the last entry's title, description and link
// checked); names match as written, prefix included; a forced dialect skips detection.
TEST(ParseFeedTest, DialectIsDetectedOrForcedAndEntriesRead) {
  const std::string notRead = "failed, type 0, error 0, items 0";
  // last: the title, description and link of the last entry.
  const std::string json = R"({"version": "https://jsonfeed.org/version/1)";
  const struct { const char* name; std::string body; int32_t forced; std::string summary, last = {}; bool loaded = true; } rows[] = {
      {"harbour-news.rss", ReadExample("harbour-news.rss"), 0, "read, type 1, error 0, items 3",
       "Lighthouse open day|Visitors may climb the 142 steps on Saturday.|"
       "http://harbour.feedwright.example/news/lighthouse"},
      {"observatory.rdf", ReadExample("observatory.rdf"), 0, "read, type 2, error 0, items 2",
       "Ο Δίας σε αντίθεση — Jupiter at opposition|Jupiter is at its brightest: magnitude &minus;2.8.|"
       "http://sky.feedwright.example/notes/jupiter"},
      // XHTML content: the space between its elements stays.
      {"garden-journal.atom", ReadExample("garden-journal.atom"), 0, "read, type 3, error 0, items 3",
       "Compost notes|Greens and browns, turned every two weeks.|http://garden.feedwright.example/journal/compost"},
      {"rss items outside a channel", "<rss><item><title>x</title></item></rss>", 0, notRead},
      {"rdf bound to another prefix", "<r:RDF xmlns:r='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><item/></r:RDF>", 0,
       notRead},
      {"rss forced to atom", kRss3, 3, "read, type 3, error 0, items 0"},
      {"unknown dialect forced", kRss3, 5, "failed, type 5, error 0, items 0"},
      {"html page", "<html><body><p>Hello<br></body></html>", 0, notRead, {}, false},
      {"item nested past the depth ceiling", "<rss><channel><item>" + Times("<i>", 200'000) + "</item></channel></rss>",
       0, "failed, type 0, error 1022 The document nests elements more than 1000 levels deep, items 0", {}, false},
      {"json feed 1.0", json + R"(", "items": [{"title": "A", "url": "http://j.example/a", "content_text": "1 < 2"}]})",
       0, "read, type 4, error 0, items 1", "A|1 < 2|http://j.example/a"},
      {"json feed 1.1", " \n" + json + R"(.1", "items": [{"title": "B", "external_url": "http://j.example/b",
       "content_html": "<p>x &amp; y</p>", "summary": "s"}, {"title": null}]})", 0, "read, type 4, error 0, items 2", "||"},
      {"json forced to rss", json + R"(", "items": []})", 1, "failed, type 1, error 0, items 0"},
      {"json that is no json feed", R"({"version": "2"})", 0,
       "failed, type 0, error 1024 The response is JSON but not a JSON Feed: it has no \"version\" naming jsonfeed.org, "
       "items 0", {}, false},
      {"invalid json", json + R"(", "items": [}})", 0,
       "failed, type 0, error 1024 The response is not valid JSON: The JSON document has an improper structure: missing "
       "or superfluous commas, braces, missing keys, etc., items 0", {}, false},
      {"a title of the wrong type", json + R"(", "items": [{"title": "ok"}, {"title": 5}]})", 0,
       "failed, type 4, error 1024 The JSON Feed is not valid: item 2's \"title\" is a number, not text, items 0"},
      {"an item that is no object", json + R"(", "items": [[]]})", 0,
       "failed, type 4, error 1024 The JSON Feed is not valid: item 1 is a list, not an object, items 0"},
      {"no items", json + R"("})", 0, "failed, type 4, error 1024 The JSON Feed is not valid: it has no \"items\" list, items 0"},
      {"10,000 levels of nesting", json + R"(", "items": [)" + Times("[", 10'000) + Times("]", 10'000) + "]}", 0,
       "failed, type 0, error 1022 The JSON Feed nests lists and objects more than 1000 levels deep, items 0", {}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ParsedFeed feed = Parse(row.body, row.forced);
    EXPECT_EQ(Summary(feed), row.summary);
    EXPECT_EQ(feed.loaded, row.loaded);
    if (row.last.empty()) continue;
    const FeedItem& last = *feed.items.back();
    EXPECT_EQ(last.Title() + "|" + last.Description() + "|" + last.URL(), row.last);
  }
}

// The reader hands back the dialect found or forced and names it.
TEST_F(FeedReaderTest, DialectIsReturnedAndNamed) {
  const struct { int32_t forced; std::string type; } rows[] = {
      {0, "1 RSS"}, {2, "2 RDF"}, {3, "3 Atom"}, {4, "4 JSON Feed"}, {5, "5 Unknown / None"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    Read(kRss3, row.forced);
    EXPECT_EQ(std::to_string(lType_) + " " + reader_.FeedTypeString(), row.type);
    EXPECT_EQ(reader_.FeedType(), lType_);
  }
  Read("<html/>");
  EXPECT_EQ(std::to_string(lType_) + " " + reader_.FeedTypeString(), "0 Unknown / None");
}

// Atom's link is the first one whose rel is "alternate" or absent; its text is content, or
// summary when there is no content element.
TEST(ParseFeedTest, AtomEntriesReadTheirLinkAndText) {
  const ParsedFeed feed = Parse(R"(<feed xmlns="http://www.w3.org/2005/Atom">
<entry><link href="http://e.example/plain"/><summary>The summary</summary></entry>
<entry><link rel="self" href="http://e.example/self"/><link rel="alternate" href="http://e.example/alt"/>
<summary>S</summary><content>The content</content></entry>
<entry><link rel="self" href="http://e.example/self"/><content></content><summary>S</summary></entry>
</feed>)");
  ASSERT_TRUE(feed.parsed);
  std::vector<std::string> read;
  for (const auto& item : feed.items) read.push_back(item->URL() + "|" + item->Description());
  EXPECT_EQ(read, (std::vector<std::string>{"http://e.example/plain|The summary", "http://e.example/alt|The content",
                                             "|"}));
}

// Every field beyond link, title and description, one line per entry: id, published, updated,
// author, content, categories, enclosures, and the feed's title and link.
std::string NewFields(const FeedItem& item) {
  std::string line = item.Id() + "|" + item.Published() + "|" + item.Updated() + "|" + item.Author() + "|" +
                     item.Content() + "|";
  for (const std::string& category : item.Categories()) line += category + ";";
  line += "|";
  for (const FeedEnclosure& file : item.Enclosures()) {
    line += file.url + " " + file.type + " " + std::to_string(file.length) + ";";
  }
  return line + "|" + item.Channel().title + "|" + item.Channel().link;
}

// Each dialect's names for the fields, the faults feeds have in them, and what nonsense leaves
// empty while the entry and the feed still read.
TEST(ParseFeedTest, EveryDialectFillsTheEntryFieldsItHas) {
  const std::string longName(600, 'n');
  const struct { const char* name; std::string body; std::vector<std::string> entries; } rows[] = {
      {"RSS 2.0",
       "<rss xmlns:dc='d' xmlns:content='c' xmlns:media='m'><channel><title>\n  Harbour  news </title>"
       "<link> http://h.example/ </link><item><guid isPermaLink='false'> post-1 </guid>"
       "<pubDate>Mon, 06 Sep 2021 16:45:00 EST</pubDate><dc:date>2000-01-01</dc:date>"
       "<dcterms:modified>2021-09-07T08:00:00+01:00</dcterms:modified>"
       "<author>ann@h.example (Ann)</author><dc:creator>Other</dc:creator>"
       "<description>&lt;p&gt;short&lt;/p&gt;</description><content:encoded><![CDATA[<p>Full <b>body</b></p>]]>"
       "</content:encoded><category>\n Boats\n and  ships </category><category/><category>Tides</category>"
       "<enclosure url=' http://h.example/1.mp3 ' type='audio/mpeg' length='24986239'/>"
       "<media:content url='http://h.example/1.mp3' type='audio/mpeg'/><enclosure type='audio/mpeg'/>"
       "<media:group><media:content url='http://h.example/1.ogg' type='nonsense' fileSize='12 MB'/></media:group>"
       "</item><item><pubDate>tomorrow</pubDate><dc:date>2021-09-06T16:45:00Z</dc:date>"
       "<author>" + longName + "</author><description>&lt;p&gt;only &amp;amp; this&lt;/p&gt;</description>"
       "<enclosure url='http://h.example/2.mp3' type='audio/mpeg' length='-1'/></item>"
       "<item><dc:creator> Bo  Lind </dc:creator><pubDate>Mon, 30 Feb 2021 10:00:00 GMT</pubDate></item>"
       "</channel></rss>",
       {"post-1|2021-09-06T21:45:00Z|2021-09-07T07:00:00Z|ann@h.example (Ann)|<p>Full <b>body</b></p>|Boats and ships;"
        "Tides;|http://h.example/1.mp3 audio/mpeg 24986239;http://h.example/1.ogg  0;|Harbour news|http://h.example/",
        "|2021-09-06T16:45:00Z|||<p>only &amp; this</p>||http://h.example/2.mp3 audio/mpeg 0;|Harbour news|"
        "http://h.example/",
        "|||Bo Lind||||Harbour news|http://h.example/"}},
      {"RSS 1.0",
       "<rdf:RDF xmlns:rdf='r' xmlns:dc='d' xmlns:content='c'><channel rdf:about='http://o.example/'>"
       "<title>Observatory</title><link>http://o.example/</link></channel>"
       "<item rdf:about='http://o.example/1'><dc:date>2021-09-06T16:45:00-02:00</dc:date><dc:creator>Cy</dc:creator>"
       "<dc:subject>Planets</dc:subject><description>d</description><content:encoded>&lt;p&gt;c&lt;/p&gt;"
       "</content:encoded></item></rdf:RDF>",
       {"http://o.example/1|2021-09-06T18:45:00Z||Cy|<p>c</p>|Planets;||Observatory|http://o.example/"}},
      {"Atom",
       "<feed xmlns='http://www.w3.org/2005/Atom'><title>Garden</title><link rel='self' href='http://g.example/a'/>"
       "<link href='http://g.example/'/><entry><id>urn:g:1</id><published>2021-09-06T16:45:00+02:00</published>"
       "<updated>2021-09-08T10:00:00Z</updated><author><email>e@g.example</email><name>\n Di </name></author>"
       "<category term='herbs' label='Herbs'/><category label='Only a label'/>"
       "<link rel='enclosure' href='http://g.example/1.pdf' type='application/pdf' length='100'/>"
       "<link rel='alternate' href='http://g.example/1'/><summary>s</summary><content type='xhtml'>"
       "<div xmlns='http://www.w3.org/1999/xhtml'>Greens <p>and &amp; <b>browns</b></p></div></content></entry>"
       "<entry><author><email>f@g.example</email></author><content>a &lt; b</content></entry>"
       "<entry><updated>2021-09-08</updated><content src='http://g.example/elsewhere'/><summary type='html'>"
       "&lt;i&gt;s&lt;/i&gt;</summary></entry><entry><issued>2021-09-05</issued><modified>2021-09-06</modified>"
       "<content type='xhtml'>"
       "<x:div xmlns:x='http://www.w3.org/1999/xhtml'>X <x:b>y</x:b></x:div></content></entry></feed>",
       {"urn:g:1|2021-09-06T14:45:00Z|2021-09-08T10:00:00Z|Di|Greens <p>and &amp; <b>browns</b></p>|herbs;"
        "Only a label;|http://g.example/1.pdf application/pdf 100;|Garden|http://g.example/",
        "|||f@g.example|a &lt; b|||Garden|http://g.example/",
        "||2021-09-08T00:00:00Z||<i>s</i>|||Garden|http://g.example/", "|2021-09-05T00:00:00Z|2021-09-06T00:00:00Z||X <x:b>y</x:b>|||Garden|http://g.example/"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ParsedFeed feed = Parse(row.body);
    ASSERT_TRUE(feed.parsed) << Summary(feed);
    std::vector<std::string> read;
    for (const auto& item : feed.items) read.push_back(NewFields(*item));
    EXPECT_EQ(read, row.entries);
  }
}

// A JSON Feed entry's fields: the link, the fullest body (HTML, else text, else summary), the
// identity (a number taken as text), dates in UTC, authors of 1.1 before the author of 1.0 and the
// feed's own, tags and attachments (one without an address left out).
TEST(ParseFeedTest, JsonFeedEntriesFillEveryField) {
  const struct { const char* name; std::string item, fields; } rows[] = {
      {"html content, 1.1 authors", R"("id": "x1", "url": "u", "content_html": "<b>h</b>", "content_text": "t",
        "authors": [{"name": "Ann"}, {"url": "http://bo.example"}], "author": {"name": "Old"})",
       "x1|u|h|<b>h</b>|Ann, http://bo.example||"},
      {"text content, 1.0 author, dates", R"("id": 42, "external_url": "e", "content_text": "t", "summary": "s",
        "author": {"name": "Old"}, "date_published": "2026-12-07T10:30:00+02:00", "date_modified": "soon")",
       "42|e|t|t|Old|2026-12-07T08:30:00Z|"},
      {"summary alone, the feed's author", R"("summary": "<i>s</i>")", "||<i>s</i>|<i>s</i>|Feed Writer||"},
      {"an id past int64", R"("id": 18446744073709551615)", "18446744073709551615||||Feed Writer||"},
      {"an id with a fraction", R"("id": 1.5)", "1.5||||Feed Writer||"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ParsedFeed feed = Parse(R"({"version": "https://jsonfeed.org/version/1.1", "title": "J",
      "home_page_url": "http://j.example/", "authors": [{"name": "Feed Writer"}], "items": [{)" + row.item + "}]}");
    ASSERT_TRUE(feed.parsed) << feed.errorText;
    const FeedItem& item = *feed.items.at(0);
    EXPECT_EQ(item.Id() + "|" + item.URL() + "|" + item.Description() + "|" + item.Content() + "|" + item.Author() +
                  "|" + item.Published() + "|" + item.Updated(), row.fields);
    EXPECT_EQ(item.Channel().title + " " + item.Channel().link, "J http://j.example/");
  }
  const ParsedFeed files = Parse(R"({"version": "https://jsonfeed.org/version/1", "items": [{"tags": ["a", "b"],
    "attachments": [{"url": "http://j.example/e.mp3", "mime_type": "audio/mpeg", "size_in_bytes": 1234},
    {"mime_type": "image/png"}, {"url": "http://j.example/d.pdf", "size_in_bytes": -1}]}]})");
  ASSERT_TRUE(files.parsed) << files.errorText;
  const FeedItem& item = *files.items.at(0);
  EXPECT_EQ(item.Categories(), (std::vector<std::string>{"a", "b"}));
  std::string enclosures;
  for (const FeedEnclosure& file : item.Enclosures()) {
    enclosures += file.url + " " + file.type + " " + std::to_string(file.length) + ";";
  }
  EXPECT_EQ(enclosures, "http://j.example/e.mp3 audio/mpeg 1234;http://j.example/d.pdf  0;");
}

// Shapes a hostile server sends, each in a size that a path quadratic in it would take minutes
// of CPU for (40,000 summaries cost 13 s that way) and a linear one milliseconds: the bound of
// 10 s is there only to tell the two apart.
TEST(ParseFeedTest, HostileShapesCostWorkInProportionToTheirSize) {
  const std::string atom = "<feed><entry>";
  const struct { const char* name; std::string body; std::string first; } rows[] = {
      {"summaries before the content", atom + Times("<summary/>", 100'000) + "<content>c</content></entry></feed>",
       "|c|"},
      {"summaries alone", atom + Times("<summary>s</summary>", 100'000) + "</entry></feed>", "|s|"},
      {"links of other relations", atom + Times("<link rel='self' href='s'/>", 100'000) + "<link href='a'/></entry></feed>",
       "a||"},
      {"a link's many attributes", atom + "<link" + Times(" a='b'", 20'000) + " x:y='z' href='h'/></entry></feed>",
       "h||"},
      {"many namespaces", "<feed" + Times(" xmlns:a='b'", 100'000) + "><entry><title>t</title></entry></feed>", "||t"},
      {"many titles", atom + Times("<title>t</title>", 100'000) + "</entry></feed>", "||t"},
      {"many different files, authors and dates", atom + [] {
         std::string files;
         for (int i = 0; i < 50'000; ++i) files += "<link rel='enclosure' href='f" + std::to_string(i) + "'/>";
         return files;
       }() + Times("<author><x/><x/></author><updated>x</updated>", 50'000) + "<media:group>" +
           Times("<media:content url='m'/>", 50'000) + "</media:group></entry></feed>", "||"},
      {"a huge single text", atom + "<content>" + Times("<b>w</b> ", 1'000'000) + "</content></entry></feed>",
       "|" + Times("w ", 1'000'000) + "|"},
      {"nesting at the depth ceiling", atom + Times("<content>", 998) + "x" + Times("</content>", 998) + "</entry></feed>",
       "|x|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::clock_t start = std::clock();
    const ParsedFeed feed = Parse(row.body);
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 10.0);
    ASSERT_TRUE(feed.parsed);
    const FeedItem& first = *feed.items.front();
    EXPECT_EQ(first.URL() + "|" + first.Description() + "|" + first.Title(), row.first);
  }
}

// The first of two entries, after a declaration naming another encoding (the Content-Type's
// charset wins) and a document type declaration whose subset goes whole, entities and all.
// Cleaning removes only what XML forbids; titles keep markup, descriptions lose it unless HTML is
// allowed.
TEST(ParseFeedTest, EntryFieldsAreReadWhole) {
  const std::string escaped = "<title>&lt;b&gt;B&lt;/b&gt; t</title><description>&lt;p&gt;w&lt;/p&gt;</description>";
  const struct { const char* name; std::string item; bool allowHtml; std::string titleAndDescription; } rows[] = {
      {"no title", "<link>l</link><description>d</description>", false, "|d"},
      {"escaped markup stripped", escaped, false, "<b>B</b> t|w"},
      {"escaped markup allowed", escaped, true, "<b>B</b> t|<p>w</p>"},
      {"every script, forbidden characters removed",
       "<title>Ελληνικά — “quoted” 中文 Русский a\x01" "b\x1F" "c\xEF\xBF\xBE" "d\xEF\xBF\xBF" "e&#8220;f&#8221;</title>"
       "<description>line one\nline two\ttabbed\r\nx&#0;</description>",
       false, "Ελληνικά — “quoted” 中文 Русский abcde“f”|line one\nline two\ttabbed\nx\xEF\xBF\xBD"},
      {"entities of the subset and unknown ones as written", "<title>&b; t&nbsp;x</title>", false, "&b; t&nbsp;x|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FeedParseOptions options;
    options.contentType = "application/rss+xml; charset=utf-8";
    options.bAllowHTML = row.allowHtml;
    const ParsedFeed feed = ParseFeed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                      "<!DOCTYPE rss PUBLIC \"-//x//DTD y//EN\"\n \"http://x.example/y.dtd\" [\n"
                                      "<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                                      "<?xml-stylesheet href='s.css'?><rss><channel><item>" + row.item +
                                      "</item><item><title>next</title></item></channel></rss>", options);
    ASSERT_TRUE(feed.parsed);
    const FeedItem& first = *feed.items.at(0);
    EXPECT_EQ(first.Title() + "|" + first.Description(), row.titleAndDescription);
    EXPECT_EQ(feed.items.at(1)->Title(), "next");
  }
  // The same stripping for any text, as the lazy pattern "<(.|\n)+?>" strips.
  FeedReader reader;
  EXPECT_EQ(reader.StripHTML("<p>caf\xC3\xA9 <b>&amp;</b></p><br/>1 < 2 and 3 > 2"), "caf\xC3\xA9 &amp;1  2");
}

// Past the ceiling the first entries are kept and the feed fails with a reason; at the ceiling it
// reads. Clear keeps the items; each read makes a new list, so a caller holding the last keeps it.
TEST_F(FeedReaderTest, MoreEntriesThanTheCeilingGiveTheFirstOnesAndFail) {
  EXPECT_EQ(reader_.FeedItems(), nullptr);
  EXPECT_EQ(reader_.MaxEntries(), 100'000u);
  std::string feed = "<rss><channel>";
  for (int i = 0; i < 1001; ++i) feed += "<item><title>" + std::to_string(i) + "</title></item>";
  feed += "</channel></rss>";
  reader_.MaxEntries(1000);
  bool read = Read(feed);
  EXPECT_EQ(Summary(read, reader_, Sends(*script_)), "failed, requests 1, status 200 OK, error 1021 The feed has more "
                                                     "than 1,000 entries; only the first 1,000 were read, items 1000");
  EXPECT_EQ(reader_.FeedItems()->back()->Title(), "999");
  const std::shared_ptr<FeedItemList> first = reader_.FeedItems();
  reader_.Clear();
  EXPECT_EQ(Summary(false, reader_, 0), "failed, requests 0, status 0, error 0, items 1000");
  reader_.MaxEntries(1001);
  read = Read(feed);
  EXPECT_EQ(Summary(read, reader_, Sends(*script_)), "read, requests 1, status 200 OK, error 0, items 1001");
  EXPECT_EQ(first->size(), 1000u);
  // A JSON Feed keeps to the same ceiling through the reader.
  std::string json = R"({"version": "https://jsonfeed.org/version/1.1", "items": [{"title": "0"})";
  for (int i = 1; i < 1001; ++i) json += R"(, {"title": ")" + std::to_string(i) + "\"}";
  reader_.MaxEntries(1000);
  read = Read(json + "]}");
  EXPECT_EQ(Summary(read, reader_, Sends(*script_)), "failed, requests 1, status 200 OK, error 1021 The feed has more "
                                                     "than 1,000 entries; only the first 1,000 were read, items 1000");
  EXPECT_EQ(reader_.FeedItems()->back()->Title() + " " + reader_.FeedTypeString(), "999 JSON Feed");
}

// Without the regex component or the XML document nothing is downloaded. The HTTP candidates are
// tried in turn until a response loads: one that cannot be made records 429, one whose Send fails
// its own error, and the error stays when a later one succeeds. A status other than 200 keeps the
// items but fails the read.
TEST(FeedReaderComponents, ComponentsThatCannotBeMadeOrFail) {
  const std::vector<std::string>& http = kHttpClassNames;
  const std::string notMade = "failed, requests 0, status 0, error 429 Error creating object '";
  struct Row {
    std::vector<std::string> refused;
    int32_t sendError;
    std::string summary;
    int32_t status = 200;
    std::string body = kRss3;
  };
  const Row rows[] = {
      {{"VBScript.RegExp"}, 0, notMade + "VBScript.RegExp', no item list"},
      {{"MSXML.DomDocument"}, 0, notMade + "MSXML.DomDocument', items 0"},
      {{http[0], http[1], http[2]}, 0,
       "read, requests 1, status 200 OK, error 429 Error creating object '" + http[2] + "', items 3"},
      {http, 0, notMade + http[3] + "', items 0"},
      {{}, 1002, "failed, requests 4, status 0, error 1002 Could not resolve host: a.invalid, items 0"},
      {{}, -1, "failed, requests 4, status 0, error 1099 No buffer space available, items 0"},
      {{}, 0, "failed, requests 1, status 404 Not Found, error 0, items 3", 404},
      // A response that does not load makes the reader try every candidate.
      {{}, 0, "failed, requests 4, status 200 OK, error 0, items 0", 200, "Hello<br>"},
      // A page is a page whatever the client: asked once, and what it announces once.
      {{}, 0, "failed, requests 1, status 200 OK, error 1023 The page announces no feed, items 0", 200,
       "<html><body><p>Hello<br></body></html>"},
      {{}, 0,
       "failed, requests 2, status 200 OK, error 1023 The page announces http://feed.example/p2, which is "
       "another page, not a feed, items 0",
       200, "<!DOCTYPE html><link rel=alternate type=application/rss+xml href=p2>"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.summary);
    auto script = std::make_shared<FakeHttpScript>(row.body);
    script->sendError = row.sendError;
    script->status = row.status;
    ComponentRegistry registry = FakeHttpRegistry(script);
    for (const std::string& name : row.refused) registry.Refuse(name);
    FeedReader reader(registry);
    const bool read = reader.ReadFeed("http://feed.example/rss");
    EXPECT_EQ(Summary(read, reader, Sends(*script)), row.summary);
  }
}

// WinHTTP takes credentials through SetCredentials (proxy first), and only both empty suppresses
// a pair; the XMLHTTP classes take the server's in Open and have no proxy credentials.
TEST(FeedReaderComponents, CredentialsReachEachClassInItsOwnForm) {
  const std::string open = "Open GET http://f.example/ false";
  struct Row { bool winHttp; const char *proxyUser, *proxyPass, *user, *pass; std::vector<std::string> calls; };
  const Row rows[] = {
      {true, "", "", "", "", {open, "Send"}},
      {true, "pu", "", "", "p", {open, "SetCredentials [pu] [] 1", "SetCredentials [] [p] 0", "Send"}},
      {true, "", "pp", "u", "", {open, "SetCredentials [] [pp] 1", "SetCredentials [u] [] 0", "Send"}},
      {false, "pu", "pp", "u", "p", {open + " [u] [p]", "Send"}},
  };
  for (const auto& row : rows) {
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

// End to end with the standard registry, whose four HTTP class names are one client: trying the
// others would ask the same server the same question, so a feed that fails is requested once.
TEST(FeedReaderNetwork, FailingFeedIsRequestedOnce) {
  const std::string page = "<html><body>Not a feed<br></body></html>";
  RawLoopbackServer html("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n" + page, false);
  RawLoopbackServer oversized("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n<rss>", true);
  for (RawLoopbackServer* server : {&html, &oversized}) {
    server->Start();
    FeedReader reader;
    const bool read = reader.ReadFeed(server->Url("/feed"));
    EXPECT_EQ(Summary(read, reader, server->Connections()),
              server == &html ? "failed, requests 1, status 200 OK, error 1023 The page announces no feed, items 0"
                              : "failed, requests 1, status 0, error 1006 The response is larger than 64 MiB: " +
                                    server->Url("/feed") + ", items 0");
  }
}

// A page that announces its feed in a Link header only is read through that feed: one more
// request, the page's address kept as given and the feed's told.
TEST(FeedReaderNetwork, PageIsReadThroughTheFeedItAnnounces) {
  const std::string page = "<!DOCTYPE html><title>Blog</title>";
  const std::string rss = kRss3;
  RawLoopbackServer server({"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nLink: </feed.xml>; rel=\"alternate\"; "
                            "type=\"application/rss+xml\"\r\nContent-Length: " +
                                std::to_string(page.size()) + "\r\n\r\n" + page,
                            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(rss.size()) + "\r\n\r\n" + rss},
                           false);
  server.Start();
  FeedReader reader;
  const bool read = reader.ReadFeed(server.Url("/"));
  EXPECT_EQ(Summary(read, reader, server.Connections()), "read, requests 2, status 200 OK, error 0, items 3");
  EXPECT_EQ(reader.AnnouncedFeedAddress(), server.Url("/feed.xml"));
}

}  // namespace
