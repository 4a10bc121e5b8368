// The XML document component: what loads, what is tolerated, and the values its queries give.
#include <gtest/gtest.h>

#include "XmlDocument.h"

namespace {

TEST(XmlDocument, LoadsWhatTheParserAcceptsAndNothingElse) {
  struct Row {
    const char* name;
    std::string text;
    bool loads;
  };
  const Row rows[] = {
      {"plain document", "<a/>", true},
      {"undefined entity kept as written", "<a>&nbsp;</a>", true},
      {"text after the root element ignored", "<a/>trailing words", true},
      {"declaration naming another encoding", "<?xml version='1.0' encoding='koi8-r'?><a/>", true},
      {"empty text", "", false},
      {"text only", "just words", false},
      {"comment only", "<!-- nothing -->", false},
      {"unclosed element", "<a><b></a>", false},
      {"mismatched tags", "<a></b>", false},
      {"html with a void element", "<html><br></html>", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    XmlDocument document;
    EXPECT_EQ(document.LoadXML(row.text), row.loads);
    EXPECT_EQ(document.XML().empty(), !row.loads);
  }
}

TEST(XmlDocument, FailedLoadEmptiesAnEarlierDocument) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<a><b>x</b></a>"));
  EXPECT_FALSE(document.LoadXML("<a>"));
  EXPECT_TRUE(document.XML().empty());
  EXPECT_TRUE(document.SelectSingleNode("/a").IsNull());
  EXPECT_TRUE(document.SelectNodes("/a/b").empty());
}

TEST(XmlDocument, NodeTypedValueIsTheWholeTextOrTheAttributeValue) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<r><e k='v&amp;w'>one <i>two <![CDATA[<three>]]></i> four</e><p>a</p> <p>b</p></r>"));
  EXPECT_EQ(document.SelectSingleNode("/r/e").NodeTypedValue(), "one two <three> four");
  EXPECT_EQ(document.SelectSingleNode("/r/e/@k").NodeTypedValue(), "v&w");
  EXPECT_EQ(document.SelectSingleNode("/r").NodeTypedValue(), "one two <three> foura b");
  EXPECT_EQ(document.SelectSingleNode("/r/missing").NodeTypedValue(), "");
  EXPECT_EQ(document.SelectSingleNode("/r/missing").SelectSingleNode("x").NodeTypedValue(), "");
}

TEST(XmlDocument, NamesMatchAsWrittenWithTheirPrefix) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML(
      "<rdf:RDF xmlns:rdf='urn:r'><item><title>t</title></item><rdf:item/></rdf:RDF>"));
  EXPECT_EQ(document.SelectNodes("/rdf:RDF/item").size(), 1u);
  EXPECT_TRUE(document.SelectSingleNode("/RDF/item").IsNull());
  EXPECT_EQ(document.SelectSingleNode("/rdf:RDF/item").SelectSingleNode("title").NodeTypedValue(),
            "t");
}

TEST(XmlDocument, InvalidPathThrows) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<a/>"));
  EXPECT_THROW(document.SelectSingleNode("/a[@"), ComponentError);
  EXPECT_THROW(document.SelectNodes("///"), ComponentError);
}

TEST(XmlDocument, SelectNodesKeepsDocumentOrder) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<f><e>1</e><x/><e>2</e><e>3</e></f>"));
  std::string order;
  for (const XmlNode& node : document.SelectNodes("/f/e")) order += node.NodeTypedValue();
  EXPECT_EQ(order, "123");
}

}  // namespace
