// The files' contents: the default file's escaping, the sanitiser against hostile markup, the
// Markdown conversion, YAML quoting, and one whole file of each format.
#include "OutputFormats.h"

#include <gtest/gtest.h>

#include <string>

#include "FeedItemBuilder.h"
#include "HtmlSanitizer.h"
#include "MarkdownWriter.h"

namespace {

struct Row {
  std::string input, expected;
};

TEST(OutputFormatsTest, DefaultFileWritesTheTextsAsHtmlText) {
  const Row cases[] = {
      {"&lt;script&gt;alert(1)&lt;/script&gt; Q&amp;A", "&amp;lt;script&amp;gt;alert(1)&amp;lt;/script&amp;gt; Q&amp;amp;A"},
      {"<script>alert(1)</script> Q&A", "&lt;script&gt;alert(1)&lt;/script&gt; Q&amp;A"},
      // Quotes, line breaks and other scripts stay as they are.
      {"\"say\" 'it'\n迎春花", "\"say\" 'it'\n迎春花"},
  };
  for (const Row& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(HtmlFileContent(c.input, c.input, c.input),
              c.expected + "\r\n\r\n" + c.expected + "\r\n\r\n" + c.expected + "\r\n");
  }
  EXPECT_EQ(HtmlFileContent("", "", ""), "\r\n\r\n\r\n\r\n\r\n");
}

TEST(HtmlSanitizerTest, HostileMarkupLosesEverythingThatRunsOrLoads) {
  const std::string base = "https://blog.example/posts/2026/entry.html?x=1";
  const Row cases[] = {
      {"<p>Hi <b>there</b></p>", "<p>Hi <b>there</b></p>"},
      {"<script>alert(1)</script>ok", "ok"},
      {"<SCRIPT SRC=//evil.example/x.js></SCRIPT>ok", "ok"},
      {"<style>body{display:none}</style><p style=\"color:red\" class=\"c\" id=\"i\">x</p>", "<p>x</p>"},
      {"<img src=x onerror=alert(1) alt=\"a\">", "<img src=\"https://blog.example/posts/2026/x\" alt=\"a\">"},
      {"<p onclick=\"alert(1)\" onmouseover='x'>t</p>", "<p>t</p>"},
      {"<a href=\"javascript:alert(1)\">j</a>", "<a>j</a>"},
      {"<a href=\" JaVaScRiPt:alert(1)\">j</a>", "<a>j</a>"},
      {"<a href=\"java&#x09;script:alert(1)\">j</a>", "<a>j</a>"},
      {"<a href=\"&#106;avascript:alert(1)\">j</a>", "<a>j</a>"},
      {"<a href=\"vbscript:msgbox\">v</a>", "<a>v</a>"},
      {"<a href=\"data:text/html,<script>alert(1)</script>\">d</a>", "<a>d</a>"},
      {"<img src=\"javascript:alert(1)\">", "<img>"},
      {"<img src=\"data:image/png;base64,AAAA\">", "<img src=\"data:image/png;base64,AAAA\">"},
      {"<img src=\"data:text/html;base64,AAAA\">", "<img>"},
      {"<blockquote cite=\"javascript:x\">q</blockquote>", "<blockquote>q</blockquote>"},
      {"<q cite=\"../src\">q</q>", "<q cite=\"https://blog.example/posts/src\">q</q>"},
      {"<a href=\"/about\">a</a><a href=\"#top\">t</a><a href=\"//cdn.example/f\">c</a>",
       "<a href=\"https://blog.example/about\">a</a><a href=\"https://blog.example/posts/2026/entry.html?x=1#top\">t</a>"
       "<a href=\"https://cdn.example/f\">c</a>"},
      {"<a href=\"mailto:me@example.org\" target=\"_blank\">m</a>", "<a href=\"mailto:me@example.org\">m</a>"},
      {"<iframe src=\"https://evil.example\">inner</iframe><object data=x>o</object><embed src=x>ok", "ok"},
      {"<form action=\"https://evil.example\"><input name=q><button>Go</button>text</form>", "text"},
      {"<svg><script>alert(1)</script></svg><math><mi>x</mi></math>ok", "ok"},
      {"<meta http-equiv=refresh content=\"0;url=javascript:x\"><base href=\"javascript:x\">ok", "ok"},
      // Broken and nested markup is read as a browser reads it, then written whole.
      {"<b><i>bold italic</b> italic</i>", "<b><i>bold italic</i></b><i> italic</i>"},
      {"<p>open <em>never closed", "<p>open <em>never closed</em></p>"},
      {"<scr<script>ipt>alert(1)</script>", "ipt&gt;alert(1)"},
      {"<<b>x</b>", "&lt;<b>x</b>"},
      {"<!-- <script>alert(1)</script> -->ok", "ok"},
      {"<custom-tag onload=x>kept text</custom-tag>", "kept text"},
      {"a &amp; b &lt;c&gt; \"q\"", "a &amp; b &lt;c&gt; &quot;q&quot;"},
      {"<img title='\"><script>alert(1)</script>'>", "<img title=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\">"},
      {"<ul><li>one<li>two</ul><br><hr><ol start=2 reversed><li>b</ol>",
       "<ul><li>one</li><li>two</li></ul><br><hr><ol start=\"2\" reversed=\"\"><li>b</li></ol>"},
  };
  for (const Row& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(SanitizeHtml(c.input, base), c.expected);
  }
  // Without a web address to resolve against, relative addresses stay relative.
  EXPECT_EQ(SanitizeHtml("<a href=\"x.html\">x</a>", ""), "<a href=\"x.html\">x</a>");
  // Nesting far deeper than any page neither overflows the stack nor takes time that grows
  // with its square: the elements past 200 deep go, their text stays. A quoted ">" ends no tag,
  // and an element that holds nothing counts no level.
  std::string nested, kept, closed;
  for (int i = 0; i < 100000; ++i) nested += "<q title='a>b'><br>", kept += i < 200 ? "<q title=\"a&gt;b\"><br>" : "<br>";
  for (int i = 0; i < 200; ++i) closed += "</q>";
  EXPECT_EQ(SanitizeHtml(nested + "deep", base), kept + "deep" + closed);
}

TEST(MarkdownWriterTest, MarkupBecomesCommonMark) {
  const std::string base = "http://site.example/a/b.html";
  const Row cases[] = {
      {"", ""},
      {"<p>One</p><p>Two  words\n here</p>", "One\n\nTwo words here\n"},
      {"<h1>Title</h1><h3>Sub <em>part</em></h3>", "# Title\n\n### Sub *part*\n"},
      {"<p><strong>bold</strong>, <b> spaced </b> and <i>it</i></p>", "**bold**, **spaced** and *it*\n"},
      {"<a href=\"/x\">link</a> <a href=\"javascript:alert(1)\">bad</a>", "[link](http://site.example/x) bad\n"},
      {"<a href=\"http://e.example/a b(c)\"></a>", "[http://e.example/a b(c)](http://e.example/a%20b%28c%29)\n"},
      {"<a href=\"#f\">f</a> <a href=\"?q\">q</a> <a href=\"../x/./y/..\">d</a> <a href=\"//o.example\\p\">o</a>",
       "[f](http://site.example/a/b.html#f) [q](http://site.example/a/b.html?q) [d](http://site.example/x/) [o](http://o.example/p)\n"},
      {"<img src=\"i.png\" alt=\"An [image]\">", "![An \\[image\\]](http://site.example/a/i.png)\n"},
      {"<ul><li>one</li><li>two<ul><li>inner</li></ul></li></ul>", "- one\n- two\n\n  - inner\n"},
      {"<ol start=\"3\"><li>three</li><li></li><li>five</li></ol>", "3. three\n4.\n5. five\n"},
      {"<blockquote><p>quoted</p><p>more</p></blockquote>", "> quoted\n>\n> more\n"},
      {"<p>Use <code>a`b</code></p>", "Use ``a`b``\n"},
      {"<p><code> x </code><code>  </code></p><ul>loose<p>para</p><li>i</li></ul>", "` x `\n\n- loose\n- para\n- i\n"},
      {"<pre><code>int x;\n```\n</code></pre>", "````\nint x;\n```\n````\n"},
      {"line<br>next", "line\\\nnext\n"},
      // Text that would read as Markdown is escaped.
      {"<p>*not* _em_ [x](y) # &lt;b&gt; a|b ~s~ `c` \\ !</p>",
       "\\*not\\* \\_em\\_ \\[x\\](y) \\# \\<b\\> a\\|b \\~s\\~ \\`c\\` \\\\ \\!\n"},
      {"<p>- not a list</p><p>1986. A year</p><p>+ plus</p><p>=</p>",
       "\\- not a list\n\n1986\\. A year\n\n\\+ plus\n\n\\=\n"},
      {"a &amp; b", "a \\& b\n"},
      {"<script>alert(1)</script><style>x</style>text<hr>", "text\n\n---\n"},
      {"<div>in <span>a</span> div</div><table><tr><td>cell</td></tr></table>", "in a div\n\ncell\n"},
  };
  for (const Row& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(HtmlToMarkdown(c.input, base), c.expected);
  }
  // Quotes nested past the depth limit end as plain text: the work stays in step with the input.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<blockquote>";
  const std::string markdown = HtmlToMarkdown(deep + "deep", base);
  EXPECT_NE(markdown.find("deep"), std::string::npos);
  EXPECT_LT(markdown.size(), 200u);
}

TEST(MarkdownWriterTest, YamlValuesAreAlwaysOneQuotedScalar) {
  const Row cases[] = {
      {"plain", "\"plain\""},
      {"", "\"\""},
      {"say \"hi\" \\ back", "\"say \\\"hi\\\" \\\\ back\""},
      {"key: value # not a comment", "\"key: value # not a comment\""},
      {"---\n...\nnext: line", "\"---\\n...\\nnext: line\""},
      {"tab\tcr\r", "\"tab\\tcr\\r\""},
      {std::string("nul\0bell\x07" "del\x7F", 13), "\"nul\\x00bell\\x07del\\x7F\""},
      {"nel\xC2\x85ls\xE2\x80\xA8ps\xE2\x80\xA9", "\"nel\\Nls\\Lps\\P\""},
      {"c1\xC2\x9B bom\xEF\xBB\xBF", "\"c1\\x9B bom\\uFEFF\""},
      {"迎春花 😀\xC2\xA0", "\"迎春花 😀\xC2\xA0\""},
      {"bad\xFF\xC3", "\"bad\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Row& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(YamlQuoted(c.input), c.expected);
  }
}

class WholeFileTest : public ::testing::Test {
 protected:
  RowEntry row_{"http://feeds.example/f.rss", "Q&A <one>", "plain", "https://blog.example/p/1",
                FeedItemBuilder()
                    .Id("urn:x:1")
                    .Published("2026-12-07T08:30:00Z")
                    .Author("Ann \"A\" Lee")
                    .Content("<p>Hello <a href=\"2\">next</a><script>x()</script></p>")
                    .Category("news")
                    .Category("a \"b\"")
                    .Enclosure({"https://blog.example/e.mp3", "audio/mpeg", 1234})
                    .Channel("The Blog", "https://blog.example/")
                    .Build()};
};

TEST_F(WholeFileTest, EachFormatWritesTheWholeEntry) {
  EXPECT_EQ(RenderRow(OutputFormat::kHtml, row_),
            "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Q&amp;A &lt;one&gt;</title>\n</head>\n"
            "<body>\n<article>\n<h1>Q&amp;A &lt;one&gt;</h1>\n"
            "<p><time datetime=\"2026-12-07T08:30:00Z\">2026-12-07T08:30:00Z</time> · Ann &quot;A&quot; Lee</p>\n"
            "<div><p>Hello <a href=\"https://blog.example/p/2\">next</a></p></div>\n"
            "<p><a href=\"https://blog.example/p/1\">https://blog.example/p/1</a></p>\n</article>\n</body>\n</html>\n");
  EXPECT_EQ(RenderRow(OutputFormat::kMarkdown, row_),
            "---\ntitle: \"Q&A <one>\"\nlink: \"https://blog.example/p/1\"\nid: \"urn:x:1\"\n"
            "published: \"2026-12-07T08:30:00Z\"\nupdated: \"\"\nauthor: \"Ann \\\"A\\\" Lee\"\nfeed: \"The Blog\"\n"
            "categories: [\"news\", \"a \\\"b\\\"\"]\nenclosures:\n  - url: \"https://blog.example/e.mp3\"\n"
            "    type: \"audio/mpeg\"\n    length: 1234\n---\n\nHello [next](https://blog.example/p/2)\n");
  EXPECT_EQ(RenderRow(OutputFormat::kJson, row_),
            "{\n  \"address\": \"http://feeds.example/f.rss\",\n  \"title\": \"Q&A <one>\",\n"
            "  \"description\": \"plain\",\n  \"link\": \"https://blog.example/p/1\",\n  \"id\": \"urn:x:1\",\n"
            "  \"published\": \"2026-12-07T08:30:00Z\",\n  \"updated\": \"\",\n  \"author\": \"Ann \\\"A\\\" Lee\",\n"
            "  \"content\": \"<p>Hello <a href=\\\"2\\\">next</a><script>x()</script></p>\",\n"
            "  \"categories\": [\"news\", \"a \\\"b\\\"\"],\n"
            "  \"enclosures\": [{\"url\": \"https://blog.example/e.mp3\", \"type\": \"audio/mpeg\", \"length\": 1234}],\n"
            "  \"feed\": {\"title\": \"The Blog\", \"link\": \"https://blog.example/\"}\n}\n");
}

// A row without an entry gives its three texts; a link that is no web address is no anchor.
TEST_F(WholeFileTest, RowWithoutEntryFallsBackToItsTexts) {
  row_.entry = nullptr;
  row_.link = "javascript:alert(1)";
  row_.description = "a <b> & c";
  const std::string page = RenderRow(OutputFormat::kHtml, row_);
  EXPECT_NE(page.find("<div>a &lt;b&gt; &amp; c</div>\n<p>javascript:alert(1)</p>\n"), std::string::npos) << page;
  EXPECT_EQ(page.find("href"), std::string::npos);
  const std::string markdown = RenderRow(OutputFormat::kMarkdown, row_);
  EXPECT_NE(markdown.find("feed: \"http://feeds.example/f.rss\"\ncategories: []\nenclosures: []\n---\n\na \\<b\\> \\& c\n"),
            std::string::npos)
      << markdown;
}

}  // namespace
