// Decoding of response bodies: which encoding wins, and what happens to bytes that do not fit it.
#include "TextDecoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Builds byte strings that contain NUL bytes.
std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

// Encodes ASCII text as UTF-16 (little or big endian) without a byte-order mark.
std::string Utf16(const std::string& ascii, bool littleEndian) {
  std::string out;
  for (char c : ascii) {
    out += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  }
  return out;
}

const std::string kReplacement = "\xEF\xBF\xBD";

struct DecodeCase {
  const char* name;
  std::string body;
  std::string contentType;
  std::string expected;
};

TEST(TextDecoder, ChoosesEncodingInOrderOfPrecedence) {
  const std::string greekDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>";
  const DecodeCase cases[] = {
      {"UTF-8 mark is removed", "\xEF\xBB\xBF" "caf\xC3\xA9", "", "caf\xC3\xA9"},
      {"mark beats header", "\xEF\xBB\xBF" "caf\xC3\xA9", "text/xml; charset=ISO-8859-1", "caf\xC3\xA9"},
      {"UTF-16LE mark", "\xFF\xFE" + Utf16("<a/>", true) + Bytes({0xE9, 0x00}), "", "<a/>\xC3\xA9"},
      {"UTF-16BE mark", "\xFE\xFF" + Utf16("<a/>", false) + Bytes({0x03, 0xB1}), "", "<a/>\xCE\xB1"},
      {"UTF-32LE mark", Bytes({0xFF, 0xFE, 0, 0, 'x', 0, 0, 0, 0x00, 0xF6, 0x01, 0x00}), "", "x\xF0\x9F\x98\x80"},
      {"UTF-16 declaration without mark", Utf16("<?xml version=\"1.0\"?><a/>", true), "",
       "<?xml version=\"1.0\"?><a/>"},
      {"header ISO-8859-1", "caf\xE9", "text/xml; charset=ISO-8859-1", "caf\xC3\xA9"},
      // Browsers read these labels as windows-1252, and feeds count on it for quotes and the euro.
      {"header ISO-8859-1 is windows-1252", "\x93q\x94 \x80", "text/xml; charset=ISO-8859-1",
       "\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC"},
      {"header us-ascii is windows-1252", "\x96", "text/xml; charset=US-ASCII", "\xE2\x80\x93"},
      {"declaration latin1 is windows-1252", "<?xml version=\"1.0\" encoding=\"Latin1\"?>\x85", "",
       "<?xml version=\"1.0\" encoding=\"Latin1\"?>\xE2\x80\xA6"},
      {"declaration iso_8859-1:1987 is windows-1252", "<?xml version='1.0' encoding='iso_8859-1:1987'?>\x99",
       "", "<?xml version='1.0' encoding='iso_8859-1:1987'?>\xE2\x84\xA2"},
      {"header quoted, name in capitals", "caf\xE9", "text/xml;CHARSET=\"iso-8859-1\"", "caf\xC3\xA9"},
      {"header charset among parameters", "\x93q\x94", "application/rss+xml; a=b; charset=windows-1252",
       "\xE2\x80\x9Cq\xE2\x80\x9D"},
      {"header beats declaration", greekDeclaration + "\xE9", "text/xml; charset=ISO-8859-1",
       greekDeclaration + "\xC3\xA9"},
      {"declaration windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><t>\x93hi\x94 \x80</t>", "",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><t>\xE2\x80\x9Chi\xE2\x80\x9D \xE2\x82\xAC</t>"},
      {"declaration ISO-8859-7 (Greek)", greekDeclaration + "\xE1\xE2\xE3", "",
       greekDeclaration + "\xCE\xB1\xCE\xB2\xCE\xB3"},
      {"declaration in single quotes", "<?xml version='1.0' encoding = 'ISO-8859-7' ?>\xE1", "",
       "<?xml version='1.0' encoding = 'ISO-8859-7' ?>\xCE\xB1"},
      {"unknown header charset falls to declaration", greekDeclaration + "\xE1",
       "text/xml; charset=x-no-such-charset", greekDeclaration + "\xCE\xB1"},
      {"empty header charset falls to declaration", greekDeclaration + "\xE1", "text/xml; charset=",
       greekDeclaration + "\xCE\xB1"},
      {"unknown declared encoding falls to UTF-8", "<?xml version=\"1.0\" encoding=\"klingon\"?>\xC3\xA9", "",
       "<?xml version=\"1.0\" encoding=\"klingon\"?>\xC3\xA9"},
      {"unknown declared encoding falls to windows-1252", "<?xml version=\"1.0\" encoding=\"klingon\"?>\xE9",
       "", "<?xml version=\"1.0\" encoding=\"klingon\"?>\xC3\xA9"},
      {"UTF-16 claimed by an 8-bit declaration is ignored", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\xE9",
       "", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\xC3\xA9"},
      {"stylesheet instruction is no declaration", "<?xml-stylesheet encoding=\"ISO-8859-7\"?>\xE1", "",
       "<?xml-stylesheet encoding=\"ISO-8859-7\"?>\xC3\xA1"},
      {"valid UTF-8 without hints stays", "\xE2\x82\xAC caf\xC3\xA9", "text/xml", "\xE2\x82\xAC caf\xC3\xA9"},
      {"invalid UTF-8 without hints is windows-1252", "caf\xE9 \x80", "", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"empty body", "", "text/xml; charset=ISO-8859-7", ""},
      {"NUL bytes survive", Bytes({'a', 0, 'b'}), "", Bytes({'a', 0, 'b'})},
  };
  for (const DecodeCase& row : cases) {
    SCOPED_TRACE(row.name);
    const std::string decoded = DecodeBody(row.body, row.contentType);
    EXPECT_EQ(decoded, row.expected);
    EXPECT_TRUE(IsValidUtf8(decoded));
  }
}

TEST(TextDecoder, InvalidSequencesBecomeReplacementCharacters) {
  const std::string utf8 = "text/xml; charset=utf-8";
  const DecodeCase cases[] = {
      {"stray byte in declared UTF-8", "a\xFF" "b", utf8, "a" + kReplacement + "b"},
      {"truncated sequence at the end", "a\xE2\x82", utf8, "a" + kReplacement},
      {"truncated sequence mid-text", "a\xE2\x82z", utf8, "a" + kReplacement + "z"},
      {"overlong slash", "\xC0\xAF", utf8, kReplacement + kReplacement},
      {"encoded surrogate", "\xED\xA0\x80", utf8, kReplacement + kReplacement + kReplacement},
      {"past U+10FFFF", "\xF4\x90\x80\x80", utf8, kReplacement + kReplacement + kReplacement + kReplacement},
      {"invalid byte in declared UTF-8 document",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>x\xFEy", "",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>x" + kReplacement + "y"},
      {"byte undefined in windows-1252", "caf\xE9\x81", "", "caf\xC3\xA9" + kReplacement},
      {"byte undefined in windows-1252 labelled ISO-8859-1", "a\x8D" "b", "text/xml; charset=iso-8859-1",
       "a" + kReplacement + "b"},
      {"odd byte at the end of UTF-16", Bytes({0xFF, 0xFE, 'a', 0, 'b'}), "", "a" + kReplacement},
      {"lone surrogate in UTF-16", Bytes({0xFF, 0xFE, 'a', 0, 0x00, 0xD8, 'b', 0}), "", "a" + kReplacement + "b"},
      {"invalid byte in declared Shift_JIS", "\x82\xA0\xFFz", "text/plain; charset=Shift_JIS",
       "\xE3\x81\x82" + kReplacement + "z"},
  };
  for (const DecodeCase& row : cases) {
    SCOPED_TRACE(row.name);
    const std::string decoded = DecodeBody(row.body, row.contentType);
    EXPECT_EQ(decoded, row.expected);
    EXPECT_TRUE(IsValidUtf8(decoded));
  }
}

// iconv reads "//IGNORE" and "//TRANSLIT" in a name as instructions to drop or alter characters;
// a server must not be able to make bytes vanish that way.
TEST(TextDecoder, CharsetNamesWithIconvSuffixesAreRefused) {
  for (const char* contentType : {"text/xml; charset=utf-8//IGNORE", "text/xml; charset=ASCII//TRANSLIT",
                                  "text/xml; charset=\"utf-8//IGNORE\""}) {
    SCOPED_TRACE(contentType);
    // Falls through to windows-1252, which keeps the byte.
    EXPECT_EQ(DecodeBody("a\xFF" "b", contentType), "a\xC3\xBF" "b");
  }
}

// Whatever the bytes and whatever the header claims, the result is valid UTF-8 and nothing
// vanishes: every byte value once, then seeded random bodies.
TEST(TextDecoder, AnyBytesGiveValidText) {
  std::string allBytes;
  for (int value = 0; value < 256; ++value) allBytes += static_cast<char>(value);
  std::mt19937 random(20240501);
  const char* contentTypes[] = {"", "text/xml; charset=utf-8", "text/xml; charset=UTF-16LE", "text/xml; charset=Shift_JIS",
                                "text/xml; charset=ISO-8859-7", "text/xml; charset=EUC-JP", "text/xml; charset=GB18030"};
  for (int round = 0; round < 500; ++round) {
    std::string body(random() % 64, '\0');
    for (char& c : body) c = static_cast<char>(random() % 256);
    if (round % 3 == 0) body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body;
    if (round < 7) body = allBytes;
    const char* contentType = contentTypes[round % std::size(contentTypes)];
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << contentType);
    const std::string decoded = DecodeBody(body, contentType);
    ASSERT_TRUE(IsValidUtf8(decoded));
    ASSERT_EQ(decoded.empty(), body.empty());
  }
}

}  // namespace
