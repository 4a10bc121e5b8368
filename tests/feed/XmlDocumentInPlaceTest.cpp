// Loading a document from text it takes over (parsed where it lies) gives the same document as
// loading a copy, and the values stay readable after the caller's text is gone.
#include <gtest/gtest.h>

#include <string>

#include "XmlDocument.h"

namespace {

TEST(XmlDocumentInPlace, TakenTextLoadsExactlyAsCopiedText) {
  const char* const texts[] = {
      "<a/>",
      "",
      "just words",
      "<a><b></a>",
      "<r><e k='v&amp;w'>one &lt;p&gt;two&lt;/p&gt; &#8217;<![CDATA[<x>]]></e> "
      "<e>caf\xC3\xA9</e></r>",
      "<?xml version='1.0' encoding='koi8-r'?><a>\xE6\x97\xA5 &amp;&amp; &#x41;</a>",
      "<a>&nbsp;</a>",
      "<rdf:RDF xmlns:rdf='urn:r'><item><title>t</title></item></rdf:RDF>",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    XmlDocument copied;
    XmlDocument taken;
    const bool copiedLoads = copied.LoadXML(std::string(text));
    std::string source = text;
    const std::string& sourceRef = source;
    EXPECT_EQ(copied.LoadXML(sourceRef), copiedLoads);
    EXPECT_EQ(taken.LoadXML(std::move(source)), copiedLoads);
    EXPECT_EQ(taken.XML().str(), copied.XML().str());
    EXPECT_EQ(taken.SelectSingleNode("/*").NodeTypedValue(),
              copied.SelectSingleNode("/*").NodeTypedValue());
  }
}

TEST(XmlDocumentInPlace, ValuesOutliveTheCallersText) {
  XmlDocument document;
  {
    std::string text = "<r><e k='v&amp;w'>one &lt;b&gt;two&lt;/b&gt;</e></r>";
    ASSERT_TRUE(document.LoadXML(std::move(text)));
    text.assign(text.capacity(), 'x');  // whatever the moved-from string still owns is scribbled on
  }
  EXPECT_EQ(document.SelectSingleNode("/r/e").NodeTypedValue(), "one <b>two</b>");
  EXPECT_EQ(document.SelectSingleNode("/r/e/@k").NodeTypedValue(), "v&w");
}

TEST(XmlDocumentInPlace, ReloadReplacesTheDocumentAndAFailedReloadEmptiesIt) {
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
