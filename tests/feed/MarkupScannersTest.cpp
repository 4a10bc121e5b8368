// Removal of document type declarations: the whole declaration, internal subset included, and
// only where markup can start. (Character references are checked through XmlDocument's values.)
#include <gtest/gtest.h>

#include <string>

#include "MarkupScanners.h"

namespace {

std::string Removed(std::string text) {
  MarkupScanners::RemoveDoctypeDeclarations(text);
  return text;
}

std::string Repeated(const std::string& piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(MarkupScanners, DoctypeDeclarationsGoWholeWhereMarkupStarts) {
  const std::string unterminatedComments = Repeated("<!--<!DOCTYPE a>", 200'000);
  const std::string unterminatedSubsets = Repeated("<!DOCTYPE a [", 200'000);
  const struct {
    const char* name;
    std::string input;
    std::string expected;
  } rows[] = {
      {"internal subset", "<!DOCTYPE rss [<!ENTITY a \"b\"> <!ENTITY c \"d\">]><rss>&a;</rss>",
       "<rss>&a;</rss>"},
      {"external identifier, lines kept",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
       " \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n<rss/>",
       "<?xml version=\"1.0\"?>\n\n<rss/>"},
      {"letters in any case", "<!dOcTyPe x>y", "y"},
      {"closing signs in quoted strings", "<!DOCTYPE a [<!ENTITY b \"x>]y\"> <!ENTITY c 'it\"s>'>]>z", "z"},
      {"comment and instruction in the subset", "<!DOCTYPE a [<!-- > ' ] --> <?pi > \" ?>]>z", "z"},
      {"nested brackets", "<!DOCTYPE a [<![INCLUDE[<!ENTITY b \"c\">]]>]>z", "z"},
      {"non-ASCII in the subset", "<!DOCTYPE a [<!ENTITY e \"\xC3\xA9\xE2\x80\x94\">]>z", "z"},
      {"bare", "<!DOCTYPE>z", "z"},
      {"two, each removed", "<!doctype a>x<!DOCTYPE b [ ]>z", "xz"},
      {"after a comment, a CDATA section and a tag", "<!-- c --><r a='1'><![CDATA[x]]><!DOCTYPE a></r>",
       "<!-- c --><r a='1'><![CDATA[x]]></r>"},
      {"inside a comment", "<!-- <!DOCTYPE a> -->z", "<!-- <!DOCTYPE a> -->z"},
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
      {"many removed", Repeated("<!DOCTYPE a>b", 200'000), Repeated("b", 200'000)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Removed(row.input), row.expected);
  }
  // The search for "<!" goes sixteen bytes at a time; a declaration is found wherever it falls.
  for (std::size_t offset = 0; offset <= 33; ++offset) {
    SCOPED_TRACE(offset);
    const std::string filler(offset, 'x');
    EXPECT_EQ(Removed(filler + "<!DOCTYPE a>" + filler), filler + filler);
  }
}

}  // namespace
