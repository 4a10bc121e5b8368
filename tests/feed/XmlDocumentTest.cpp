// The XML document component (the values its queries give, its own walks finding what the query
// engine finds, loading from text it takes over), and the removal of document type declarations
// before the text is parsed. (Character references are checked through the document's values.)
#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>

#include "ErrorCodes.h"
#include "MarkupScanners.h"
#include "XmlDocument.h"

namespace {

std::string Repeated(const std::string& piece) {
  std::string text;
  for (int i = 0; i < 200'000; ++i) text += piece;
  return text;
}

// Text content is all descendant text and CDATA in order, the leading text of each element
// included; a missing node's is empty. A reference to a character XML forbids reads as U+FFFD,
// in text and attribute values only, and nothing after it is lost.
TEST(XmlDocument, NodeTypedValueIsTheWholeTextOrTheAttributeValue) {
  const std::string r = "\xEF\xBF\xBD";
  const struct { std::string xml; const char* path; std::string text; } rows[] = {
      {"<r><e>a<b>b<c>c</c>d</b>e</e></r>", "/r/e", "abcde"},
      {"<r><e><![CDATA[<c>]]>text</e></r>", "/r/e", "<c>text"},
      {"<r>\n  <e>x</e> <e> <b>y</b> </e>\n</r>", "/r", "\n  x  y \n"},
      {"<r><e>A&#xD800;B&#x110000;C&#1;D&#0;E&#xFFFFFFFF;F&#99999999999999999999;G</e></r>", "/r/e",
       "A" + r + "B" + r + "C" + r + "D" + r + "E" + r + "F" + r + "G"},
      {"<r><e>&#xFFFE;&#xFFFF;&#xFFFD;&#xE000;&#xDFFF;&#x1F;&#x20;&#9;&#x10000;&#x10FFFF;&#x0000000041;</e></r>",
       "/r/e", r + r + r + "\xEE\x80\x80" + r + r + " \t\xF0\x90\x80\x80\xF4\x8F\xBF\xBF" "A"},
      {"<r><e>&#X0;&#x;&#;&#0 &#xq;&#&#0;</e></r>", "/r/e", "&#X0;&#x;&#;&#0 &#xq;&#" + r},
      {"<e>C#0;</e>", "/e", "C#0;"},
      {"<r><e><?pi ' &#0;?><!-- ' &#0; --><![CDATA[&#0;]]>x&#0;</e></r>", "/r/e", "&#0;x" + r},
      {"<r><e j='><!--' k='a&#0;b'/></r>", "/r/e/@k", "a" + r + "b"},
      {"<!DOCTYPE r [<!ENTITY a '&#0;'>]><r><e>&#0;</e></r>", "/r/e", r},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.xml);
    XmlDocument document;
    ASSERT_TRUE(document.LoadXML(row.xml));
    EXPECT_EQ(document.SelectSingleNode(row.path).NodeTypedValue(), row.text);
    EXPECT_EQ(document.SelectSingleNode(row.path).SelectSingleNode("x").NodeTypedValue(), "");
  }
}

// Paths of plain steps from the root, and plain names below a node, are answered without the
// query engine; they find what it finds (adding "[true()]" or "./" sends a path to it), in the
// same order, names matched as written, and a walk stops at its limit. Invalid paths fail.
TEST(XmlDocument, ShortcutsFindWhatTheQueryEngineFinds) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<rss><channel><item>1</item><title>t</title><item>2<item>nested</item></item></channel>"
      "<item>outside</item><channel/><channel><!-- c --><item>3</item><ITEM>upper</ITEM></channel>"
      "<rdf:item xmlns:rdf='urn:r'>prefixed</rdf:item><e><title>1st</title><title>2nd</title><a-b>-</a-b></e></rss>"));
  const auto values = [](const std::vector<XmlNode>& nodes) {
    std::vector<std::string> texts;
    for (const XmlNode& node : nodes) texts.push_back(node.NodeTypedValue());
    return texts;
  };
  for (const std::string path : {"/rss/channel/item", "/rss/item", "/rss/rdf:item", "/rss", "/channel",
                                 "/rss/channel/item/item", "/rss/channel/missing"}) {
    SCOPED_TRACE(path);
    const std::vector<std::string> viaEngine = values(document.SelectNodes(path + "[true()]"));
    EXPECT_EQ(values(document.SelectNodes(path)), viaEngine);
    EXPECT_EQ(document.SelectSingleNode(path).NodeTypedValue(), viaEngine.empty() ? "" : viaEngine[0]);
    const std::vector<std::string> firstTwo(viaEngine.begin(),
                                            viaEngine.begin() + std::min<std::size_t>(2, viaEngine.size()));
    for (const std::string& either : {path, path + "[true()]"}) {
      EXPECT_EQ(values(document.SelectNodes(either, 2)), firstTwo);
      EXPECT_TRUE(document.SelectNodes(either, 0).empty());
    }
  }
  // A plain name finds the first element of that name, as written.
  const XmlNode entry = document.SelectSingleNode("/rss/e");
  EXPECT_EQ(entry.SelectSingleNode("title").NodeTypedValue() + entry.SelectSingleNode("a-b").NodeTypedValue(), "1st-");
  EXPECT_TRUE(entry.SelectSingleNode("TITLE").IsNull());
  for (const char* path : {"1a", "a:", "a:b:c", "a b", "", "/a[@", "-a"}) {  // "-a" is a number, not nodes
    SCOPED_TRACE(path);
    EXPECT_THROW(entry.SelectSingleNode(path), ComponentError);
    EXPECT_THROW(document.SelectNodes(path), ComponentError);
  }
}

// Its nodes point into its own buffer, so a copy or a move would point into freed memory.
static_assert(!std::is_copy_constructible_v<XmlDocument> && !std::is_copy_assignable_v<XmlDocument>);
static_assert(!std::is_move_constructible_v<XmlDocument> && !std::is_move_assignable_v<XmlDocument>);

// Past the ceiling the text is parsed up to the element after the last one kept, and what is open
// there is closed; only the named paths count, never markup inside comments, sections,
// instructions or attribute values. Elements nested past the depth ceiling refuse the load.
TEST(XmlDocument, LoadsStopAfterTheEntryCeilingAndRefuseDepthPastItsCeiling) {
  const std::string items = "<i/><i>1</i><!-- <i> --><![CDATA[it's <i>]]><?pi <i>?><i a='<i>'>2</i><i/>";
  const struct { const char* name; std::string text, kept; } rows[] = {
      {"rss", "<rss><channel>" + items + "</channel></rss>",
       "<rss><channel><i/><i>1</i><![CDATA[it's <i>]]><i a=\"&lt;i>\">2</i></channel></rss>"},
      {"other parents and names do not count", "<rss><x><i/><i/><i/><i/></x><channel><j/><i/></channel></rss>",
       "<rss><x><i/><i/><i/><i/></x><channel><j/><i/></channel></rss>"},
      {"each path counted alone", "<feed><e/><e/><e/><i/></feed>", "<feed><e/><e/><e/><i/></feed>"},
      {"at the ceiling plus one, whole", "<feed><e/><e/><e/></feed>", "<feed><e/><e/><e/></feed>"},
  };
  XmlDocument document;
  document.EntryCeiling({"/rss/channel/i", "/feed/e", "/feed/not/a/path[1]"}, 2);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(document.LoadXML(row.text));
    EXPECT_EQ(document.XML().str(), "<?xml version=\"1.0\"?>" + row.kept);
  }
  std::string deep;
  for (std::size_t level = 0; level < XmlDocument::kMaxDepth; ++level) deep = "<a b='>'>" + deep + "</a>";
  ASSERT_TRUE(document.LoadXML(deep));
  try {
    document.LoadXML("<r>" + deep + "</r>");
    ADD_FAILURE() << "no ComponentError";
  } catch (const ComponentError& error) {
    EXPECT_EQ(error.Code(), ErrorCodes::kTooDeep);
  }
}

// A document parses a text given up where it lies and keeps it; a reload replaces the document,
// and one that fails (no root element) leaves it empty. Undefined entities, or a declaration
// naming another encoding (the text is UTF-8 already), are no reason to fail.
TEST(XmlDocument, KeepsItsTextAndReloads) {
  XmlDocument document;
  {
    std::string text = "<?xml version='1.0' encoding='koi8-r'?><r><e k='v&amp;w'>&lt;b&gt;two&lt;/b&gt;&nbsp;</e></r>";
    ASSERT_TRUE(document.LoadXML(std::move(text)));
    text.assign(text.capacity(), 'x');  // whatever the moved-from string still owns is scribbled on
  }
  EXPECT_EQ(document.SelectSingleNode("/r/e").NodeTypedValue(), "<b>two</b>&nbsp;");
  EXPECT_EQ(document.SelectSingleNode("/r/e/@k").NodeTypedValue(), "v&w");
  const std::string copied = "<c><d>second</d></c>";
  ASSERT_TRUE(document.LoadXML(copied));
  EXPECT_TRUE(document.SelectSingleNode("/r").IsNull());
  EXPECT_EQ(document.XML().str(), "<?xml version=\"1.0\"?><c><d>second</d></c>");
  for (const std::string text : {"", "<!-- nothing -->", "<a><b></a>"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(document.LoadXML(text));
    EXPECT_EQ(document.XML().str(), "");
    EXPECT_TRUE(document.SelectSingleNode("/c").IsNull());
    EXPECT_TRUE(document.SelectNodes("/c").empty());
  }
}

TEST(MarkupScanners, DoctypeDeclarationsGoWholeWhereMarkupStarts) {
  const std::string unterminatedComments = Repeated("<!--<!DOCTYPE a>");
  const std::string unterminatedSubsets = Repeated("<!DOCTYPE a [");
  const struct { const char* name; std::string input, expected; } rows[] = {
      {"internal subset", "<!DOCTYPE rss [<!ENTITY a \"b\"> <!ENTITY c \"d\">]><rss>&a;</rss>", "<rss>&a;</rss>"},
      {"letters in any case, lines kept", "\n<!dOcTyPe x>\ny", "\n\ny"},
      {"closing signs in quoted strings", "<!DOCTYPE a [<!ENTITY b \"x>]y\"> <!ENTITY c 'it\"s>'>]>z", "z"},
      {"comment and instruction in the subset", "<!DOCTYPE a [<!-- > ' ] --> <?pi > \" ?>]>z", "z"},
      {"nested brackets", "<!DOCTYPE a [<![INCLUDE[<!ENTITY b \"c\">]]>]>z", "z"},
      {"two, each removed", "<!doctype a>x<!DOCTYPE b [ ]>z", "xz"},
      {"after a comment, CDATA, a tag", "<!--c--><r a=''><![CDATA[x]]><!DOCTYPE a>", "<!--c--><r a=''><![CDATA[x]]>"},
      {"inside a comment", "<!-- <!DOCTYPE a> -->z", "<!-- <!DOCTYPE a> -->z"},
      {"inside a comment that opens with a dash", "<!---><!DOCTYPE a>-->z", "<!---><!DOCTYPE a>-->z"},
      {"inside a CDATA section", "<r><![CDATA[<!DOCTYPE a>]]></r>", "<r><![CDATA[<!DOCTYPE a>]]></r>"},
      {"inside an instruction", "<?pi <!DOCTYPE a>?>z", "<?pi <!DOCTYPE a>?>z"},
      {"inside an attribute value", "<r a='>' b=\"<!DOCTYPE c>\"/>", "<r a='>' b=\"<!DOCTYPE c>\"/>"},
      {"inside another declaration", "<!ELEMENT a <!DOCTYPE b>>z", "<!ELEMENT a <!DOCTYPE b>>z"},
      {"another name", "<!DOCTYP x><!ENTITY y>", "<!DOCTYP x><!ENTITY y>"},
      {"unterminated subset", "<!DOCTYPE rss [<!ENTITY a \"b\">", "<!DOCTYPE rss [<!ENTITY a \"b\">"},
      {"unterminated string", "<!DOCTYPE a \"b>z<!DOCTYPE c>", "<!DOCTYPE a \"b>z<!DOCTYPE c>"},
      {"unterminated comment in the subset", "<!DOCTYPE a [<!-- ]>z", "<!DOCTYPE a [<!-- ]>z"},
      {"just the name", "<!DOCTYPE", "<!DOCTYPE"},
      // Each of these would cost a scan to the end per declaration if the walk started over.
      {"many in one unterminated comment", unterminatedComments, unterminatedComments},
      {"many unterminated subsets", unterminatedSubsets, unterminatedSubsets},
      {"many removed", Repeated("<!DOCTYPE a>b"), Repeated("b")},
  };
  const auto removed = [](std::string text) {
    MarkupScanners::RemoveDoctypeDeclarations(text);
    return text;
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(removed(row.input), row.expected);
  }
  // The search for "<!" goes sixteen bytes at a time; a declaration is found wherever it falls.
  for (std::size_t offset = 0; offset <= 33; ++offset) {
    const std::string filler(offset, 'x');
    EXPECT_EQ(removed(filler + "<!DOCTYPE a>" + filler), filler + filler) << offset;
  }
}

}  // namespace
