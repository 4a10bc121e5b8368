// Plain element names are answered without the query engine, and an element's leading text is
// stored on the element itself; both must give exactly what the query engine gives.
#include <gtest/gtest.h>

#include <string>

#include "ErrorCodes.h"
#include "XmlDocument.h"

namespace {

TEST(XmlDocumentQuery, PlainNameFindsWhatTheQueryEngineFinds) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<root><entry>"
      "<title>first</title><title>second</title><TITLE>upper</TITLE>"
      "<rdf:li xmlns:rdf='urn:r'>prefixed</rdf:li><li>bare</li>"
      "<a.b>dot</a.b><a-b>dash</a-b><_x>underscore</_x><x1>digit</x1>"
      "<div>div</div><and>and</and><or>or</or><mod>mod</mod>"
      "<text>text</text><node>node</node><child>child</child>"
      "<wrap><title>nested</title></wrap>"
      "</entry></root>"));
  XmlNode entry = document.SelectSingleNode("/root/entry");
  ASSERT_FALSE(entry.IsNull());
  const char* const names[] = {"title", "TITLE", "Title", "rdf:li", "li", "x:li", "a.b", "a-b",
                               "_x",    "x1",    "div",   "and",    "or", "mod",  "text", "node",
                               "child", "wrap",  "missing"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    XmlNode plain = entry.SelectSingleNode(name);
    XmlNode viaEngine = entry.SelectSingleNode(std::string("./") + name);
    EXPECT_EQ(plain.IsNull(), viaEngine.IsNull());
    EXPECT_EQ(plain.NodeTypedValue(), viaEngine.NodeTypedValue());
  }
  EXPECT_EQ(entry.SelectSingleNode("title").NodeTypedValue(), "first");
  EXPECT_EQ(entry.SelectSingleNode("rdf:li").NodeTypedValue(), "prefixed");
}

TEST(XmlDocumentQuery, NamesTheQueryEngineRefusesStillThrow) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<root><entry><a>x</a></entry></root>"));
  XmlNode entry = document.SelectSingleNode("/root/entry");
  ASSERT_FALSE(entry.IsNull());
  const char* const paths[] = {"1a", "-a", "a:", ":a", "a:b:c", "a b", ""};
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    try {
      entry.SelectSingleNode(path);
      ADD_FAILURE() << "no error for an invalid path";
    } catch (const ComponentError& error) {
      EXPECT_EQ(error.Code(), ErrorCodes::kXmlQuery);
    }
  }
}

TEST(XmlDocumentQuery, TextContentIncludesTheLeadingTextOfEveryElement) {
  struct Row {
    const char* xml;
    const char* path;
    const char* text;
  };
  const Row rows[] = {
      {"<r><e>only</e></r>", "/r/e", "only"},
      {"<r><e>lead<b>bold</b>tail</e></r>", "/r/e", "leadboldtail"},
      {"<r><e>a<b>b<c>c</c>d</b>e</e></r>", "/r/e", "abcde"},
      {"<r><e><b>inner</b>after</e></r>", "/r/e", "innerafter"},
      {"<r><e><![CDATA[<c>]]>text</e></r>", "/r/e", "<c>text"},
      {"<r><e>text<![CDATA[<c>]]></e></r>", "/r/e", "text<c>"},
      {"<r><e> <b>x</b> </e></r>", "/r/e", " x "},
      {"<r>\n  <e>x</e>\n</r>", "/r", "\n  x\n"},
      {"<r><e>&lt;p&gt;caf&#233; &amp; more&lt;/p&gt;</e></r>", "/r/e",
       "<p>caf\xC3\xA9 & more</p>"},
      {"<r><e k='v'/></r>", "/r/e", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.xml);
    XmlDocument document;
    ASSERT_TRUE(document.LoadXML(row.xml));
    EXPECT_EQ(document.SelectSingleNode(row.path).NodeTypedValue(), row.text);
  }
}

TEST(XmlDocumentQuery, PredicatesSeeTheTextOfATextOnlyElement) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<r><e>one</e><e>two</e><f><t>x</t></f><f><t>y</t></f></r>"));
  EXPECT_EQ(document.SelectSingleNode("/r/e[.='two']").NodeTypedValue(), "two");
  EXPECT_EQ(document.SelectSingleNode("/r/e[starts-with(., 'tw')]").NodeTypedValue(), "two");
  EXPECT_EQ(document.SelectSingleNode("/r/f[t='y']").NodeTypedValue(), "y");
  EXPECT_TRUE(document.SelectSingleNode("/r/e[.='three']").IsNull());
}

}  // namespace
