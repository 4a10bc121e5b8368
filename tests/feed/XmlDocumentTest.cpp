// The XML document component: what loads, what is tolerated, the values its queries give, and
// loading from text it takes over.
#include <gtest/gtest.h>

#include <type_traits>

#include "ErrorCodes.h"
#include "XmlDocument.h"

namespace {

TEST(XmlDocument, LoadsWhatTheParserAcceptsAndNothingElse) {
  const struct {
    const char* name;
    std::string text;
    bool loads;
  } rows[] = {
      {"plain document", "<a/>", true},
      {"undefined entity kept as written", "<a>&nbsp;</a>", true},
      {"text after the root element ignored", "<a/>trailing words", true},
      {"declaration naming another encoding", "<?xml version='1.0' encoding='koi8-r'?><a/>", true},
      {"empty text", "", false},
      {"text only", "just words", false},
      {"comment only", "<!-- nothing -->", false},
      {"unclosed element", "<a><b></a>", false},
      {"html with a void element", "<html><br></html>", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    XmlDocument document;
    EXPECT_EQ(document.LoadXML(row.text), row.loads);
    EXPECT_EQ(document.XML().empty(), !row.loads);
  }
}

// Text content is all descendant text and CDATA in order, the leading text of each element
// included; an attribute's is its value; a missing node's is empty, also further down.
TEST(XmlDocument, NodeTypedValueIsTheWholeTextOrTheAttributeValue) {
  const struct {
    const char* xml;
    const char* path;
    const char* text;
  } rows[] = {
      {"<r><e>lead<b>bold</b>tail</e></r>", "/r/e", "leadboldtail"},
      {"<r><e>a<b>b<c>c</c>d</b>e</e></r>", "/r/e", "abcde"},
      {"<r><e><b>inner</b>after</e></r>", "/r/e", "innerafter"},
      {"<r><e><![CDATA[<c>]]>text</e></r>", "/r/e", "<c>text"},
      {"<r><e>text<![CDATA[<c>]]></e></r>", "/r/e", "text<c>"},
      {"<r>\n  <e>x</e> <e> <b>y</b> </e>\n</r>", "/r", "\n  x  y \n"},
      {"<r><e>&lt;p&gt;caf&#233; &amp; more&lt;/p&gt;</e></r>", "/r/e", "<p>caf\xC3\xA9 & more</p>"},
      {"<r><e k='v&amp;w'/></r>", "/r/e", ""},
      {"<r><e k='v&amp;w'/></r>", "/r/e/@k", "v&w"},
      {"<r><e/></r>", "/r/missing", ""},
      // References to characters XML forbids read as U+FFFD, and nothing after them is lost.
      {"<r><e>A&#xD800;B&#x110000;C&#1;D&#0;E&#xFFFFFFFF;F&#99999999999999999999;G</e></r>", "/r/e",
       "A\xEF\xBF\xBD" "B\xEF\xBF\xBD" "C\xEF\xBF\xBD" "D\xEF\xBF\xBD" "E\xEF\xBF\xBD"
       "F\xEF\xBF\xBD" "G"},
      {"<r><e>&#xFFFE;&#xFFFF;&#xFFFD;&#xE000;&#xDFFF;&#x1F;&#x20;&#9;&#x10FFFF;&#x0000000041;</e></r>",
       "/r/e", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBD \t"
       "\xF4\x8F\xBF\xBF" "A"},
      {"<r><e>&#X0;&#x;&#;&#0 &#&#0;</e></r>", "/r/e", "&#X0;&#x;&#;&#0 &#\xEF\xBF\xBD"},
      {"<r><e><?pi ' &#0;?><!-- ' &#0; --><![CDATA[&#0;]]>x&#0;</e></r>", "/r/e", "&#0;x\xEF\xBF\xBD"},
      {"<r><e j='><!--' k='a&#0;b'/></r>", "/r/e/@k", "a\xEF\xBF\xBD" "b"},
      {"<!DOCTYPE r [<!ENTITY a '&#0;'>]><r><e>&#0;</e></r>", "/r/e", "\xEF\xBF\xBD"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.xml);
    XmlDocument document;
    ASSERT_TRUE(document.LoadXML(row.xml));
    EXPECT_EQ(document.SelectSingleNode(row.path).NodeTypedValue(), row.text);
    EXPECT_EQ(document.SelectSingleNode(row.path).SelectSingleNode("x").NodeTypedValue(), "");
  }
}

TEST(XmlDocument, NamesMatchAsWrittenWithTheirPrefix) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<rdf:RDF xmlns:rdf='urn:r'><item><title>t</title></item><rdf:item/></rdf:RDF>"));
  EXPECT_EQ(document.SelectNodes("/rdf:RDF/item").size(), 1u);
  EXPECT_TRUE(document.SelectSingleNode("/RDF/item").IsNull());
  EXPECT_EQ(document.SelectSingleNode("/rdf:RDF/item").SelectSingleNode("title").NodeTypedValue(), "t");
}

// Plain element names are answered without the query engine; they must find what it finds.
TEST(XmlDocument, PlainNameFindsWhatTheQueryEngineFinds) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<root><entry><title>first</title><title>second</title><TITLE>upper</TITLE>"
      "<rdf:li xmlns:rdf='urn:r'>prefixed</rdf:li><li>bare</li><a.b>dot</a.b><a-b>dash</a-b>"
      "<_x>underscore</_x><x1>digit</x1><div>div</div><and>and</and><text>text</text>"
      "<node>node</node><wrap><title>nested</title></wrap></entry></root>"));
  XmlNode entry = document.SelectSingleNode("/root/entry");
  ASSERT_FALSE(entry.IsNull());
  for (const char* name : {"title", "TITLE", "Title", "rdf:li", "li", "x:li", "a.b", "a-b", "_x", "x1",
                           "div", "and", "text", "node", "wrap", "missing"}) {
    SCOPED_TRACE(name);
    XmlNode plain = entry.SelectSingleNode(name);
    XmlNode viaEngine = entry.SelectSingleNode(std::string("./") + name);
    EXPECT_EQ(plain.IsNull(), viaEngine.IsNull());
    EXPECT_EQ(plain.NodeTypedValue(), viaEngine.NodeTypedValue());
  }
  EXPECT_EQ(entry.SelectSingleNode("title").NodeTypedValue(), "first");
}

// Paths of plain steps from the root are walked without the query engine, and stop at the
// limit; they must find what the engine finds, in the same order.
TEST(XmlDocument, PathsFromTheRootFindWhatTheQueryEngineFinds) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<rss><channel><item>1</item><title>t</title><item>2<item>nested</item></item></channel>"
      "<item>outside</item><channel/><channel><!-- c --><item>3</item><ITEM>upper</ITEM></channel>"
      "<rdf:item xmlns:rdf='urn:r'>prefixed</rdf:item></rss>"));
  for (const char* path : {"/rss/channel/item", "/rss/item", "/rss/rdf:item", "/rss", "/channel",
                           "/rss/channel/item/item", "/rss/channel/missing"}) {
    SCOPED_TRACE(path);
    std::vector<std::string> walked;
    for (const XmlNode& node : document.SelectNodes(path)) walked.push_back(node.NodeTypedValue());
    std::vector<std::string> viaEngine;
    for (const XmlNode& node : document.SelectNodes(std::string(path) + "[true()]")) {
      viaEngine.push_back(node.NodeTypedValue());
    }
    EXPECT_EQ(walked, viaEngine);
    EXPECT_EQ(document.SelectSingleNode(path).NodeTypedValue(),
              document.SelectSingleNode(std::string(path) + "[true()]").NodeTypedValue());
  }
  for (const std::string path : {"/rss/channel/item", "/rss/channel/item[true()]"}) {
    SCOPED_TRACE(path);
    const std::vector<XmlNode> firstTwo = document.SelectNodes(path, 2);
    ASSERT_EQ(firstTwo.size(), 2u);
    EXPECT_EQ(firstTwo[1].NodeTypedValue(), "2nested");
    EXPECT_TRUE(document.SelectNodes(path, 0).empty());
    EXPECT_EQ(document.SelectNodes(path, 10).size(), 3u);
  }
}

// Its nodes point into its own buffer, so a copy or a move would point into freed memory.
static_assert(!std::is_copy_constructible_v<XmlDocument> && !std::is_copy_assignable_v<XmlDocument>);
static_assert(!std::is_move_constructible_v<XmlDocument> && !std::is_move_assignable_v<XmlDocument>);

TEST(XmlDocument, InvalidPathThrows) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<root><entry><a>x</a></entry></root>"));
  XmlNode entry = document.SelectSingleNode("/root/entry");
  for (const char* path : {"1a", "-a", "a:", ":a", "a:b:c", "a b", "", "/a[@", "///"}) {
    SCOPED_TRACE(path);
    try {
      entry.SelectSingleNode(path);
      ADD_FAILURE() << "no error for an invalid path";
    } catch (const ComponentError& error) {
      EXPECT_EQ(error.Code(), ErrorCodes::kXmlQuery);
    }
    EXPECT_THROW(document.SelectNodes(path), ComponentError);
  }
}

TEST(XmlDocument, PredicatesSeeTheTextOfATextOnlyElement) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<r><e>one</e><e>two</e><f><t>x</t></f><f><t>y</t></f></r>"));
  EXPECT_EQ(document.SelectSingleNode("/r/e[.='two']").NodeTypedValue(), "two");
  EXPECT_EQ(document.SelectSingleNode("/r/e[starts-with(., 'tw')]").NodeTypedValue(), "two");
  EXPECT_EQ(document.SelectSingleNode("/r/f[t='y']").NodeTypedValue(), "y");
  EXPECT_TRUE(document.SelectSingleNode("/r/e[.='three']").IsNull());
}

TEST(XmlDocument, TakenTextLoadsExactlyAsCopiedText) {
  for (const char* text : {"<a/>", "", "<a><b></a>", "<a>&nbsp;</a>",
                           "<r><e k='v&amp;w'>one &lt;p&gt;two&lt;/p&gt; &#8217;<![CDATA[<x>]]></e> <e>caf\xC3\xA9</e></r>",
                           "<?xml version='1.0' encoding='koi8-r'?><a>\xE6\x97\xA5 &amp;&amp; &#x41;</a>"}) {
    SCOPED_TRACE(text);
    XmlDocument copied;
    XmlDocument taken;
    const std::string source = text;
    const bool copiedLoads = copied.LoadXML(source);
    EXPECT_EQ(taken.LoadXML(std::string(text)), copiedLoads);
    EXPECT_EQ(taken.XML().str(), copied.XML().str());
    EXPECT_EQ(taken.SelectSingleNode("/*").NodeTypedValue(), copied.SelectSingleNode("/*").NodeTypedValue());
  }
}

TEST(XmlDocument, ValuesOutliveTheCallersText) {
  XmlDocument document;
  {
    std::string text = "<r><e k='v&amp;w'>one &lt;b&gt;two&lt;/b&gt;</e></r>";
    ASSERT_TRUE(document.LoadXML(std::move(text)));
    text.assign(text.capacity(), 'x');  // whatever the moved-from string still owns is scribbled on
  }
  EXPECT_EQ(document.SelectSingleNode("/r/e").NodeTypedValue(), "one <b>two</b>");
  EXPECT_EQ(document.SelectSingleNode("/r/e/@k").NodeTypedValue(), "v&w");
}

TEST(XmlDocument, ReloadReplacesTheDocumentAndAFailedReloadEmptiesIt) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(std::string("<a><b>first</b></a>")));
  ASSERT_TRUE(document.LoadXML(std::string("<c><d>second</d></c>")));
  EXPECT_TRUE(document.SelectSingleNode("/a").IsNull());
  EXPECT_EQ(document.SelectSingleNode("/c/d").NodeTypedValue(), "second");
  const std::string copied = "<e>third</e>";
  ASSERT_TRUE(document.LoadXML(copied));
  EXPECT_EQ(document.SelectSingleNode("/e").NodeTypedValue(), "third");

  EXPECT_FALSE(document.LoadXML(std::string("<f>")));
  EXPECT_TRUE(document.XML().empty());
  EXPECT_TRUE(document.SelectSingleNode("/e").IsNull());
  EXPECT_TRUE(document.SelectNodes("/e").empty());
}

}  // namespace
