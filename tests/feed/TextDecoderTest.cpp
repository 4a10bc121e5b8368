// Decoding of response bodies: which encoding wins, and what becomes of bytes that do not fit it.
#include "TextDecoder.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// ASCII text as UTF-16LE without a byte-order mark.
std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += {c, '\0'};
  return out;
}

const std::string kReplacement = "\xEF\xBF\xBD";
const std::string kGreek = "<?xml version='1.0'\tencoding = 'ISO-8859-7' ?>";

TEST(TextDecoder, ChoosesTheEncodingAndReplacesWhatDoesNotFit) {
  const struct { const char* name; std::string body, contentType, expected; } rows[] = {
      // A byte-order mark decides, the longest first: FF FE 00 00 is UTF-32LE, not UTF-16LE.
      {"UTF-8 mark beats the header", "\xEF\xBB\xBF" "caf\xC3\xA9", "text/xml; charset=ISO-8859-1", "caf\xC3\xA9"},
      {"UTF-16LE mark", "\xFF\xFE" + Utf16("<a/>") + "\xE9\0"s, "", "<a/>\xC3\xA9"},
      {"UTF-32LE mark", "\xFF\xFE\0\0x\0\0\0\0\xF6\x01\0"s, "", "x\xF0\x9F\x98\x80"},
      {"UTF-16 declaration without a mark", Utf16("<?xml version=\"1.0\"?><a/>"), "", "<?xml version=\"1.0\"?><a/>"},
      // Browsers read ISO-8859-1 and ASCII labels as windows-1252; feeds count on it for quotes.
      {"header ISO-8859-1 is windows-1252", "caf\xE9 \x93q\x94 \x80", "text/xml; charset=ISO-8859-1",
       "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC"},
      {"header charset among parameters, quoted, in capitals", "\x93q\x94", "text/xml; a=b;CHARSET=\"windows-1252\"",
       "\xE2\x80\x9Cq\xE2\x80\x9D"},
      {"header beats declaration", kGreek + "\xE9", "text/xml; charset=ISO-8859-1", kGreek + "\xC3\xA9"},
      {"declaration", kGreek + "\xE1\xE2", "", kGreek + "\xCE\xB1\xCE\xB2"},
      {"unknown header charset: the declaration", kGreek + "\xE1", "text/xml; charset=x-no-such", kGreek + "\xCE\xB1"},
      // iconv would read "//IGNORE" as an order to drop bytes.
      {"charset with an iconv suffix is refused", "a\xFF" "b", "text/xml; charset=utf-8//IGNORE", "a\xC3\xBF" "b"},
      {"UTF-16 claimed by an 8-bit declaration", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\xE9", "",
       "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\xC3\xA9"},
      {"stylesheet instruction is no declaration", "<?xml-stylesheet encoding=\"ISO-8859-7\"?>\xE1", "",
       "<?xml-stylesheet encoding=\"ISO-8859-7\"?>\xC3\xA1"},
      {"other instruction is no declaration", "<?xsl encoding=\"ISO-8859-7\"?>\xE1", "", "<?xsl encoding=\"ISO-8859-7\"?>\xC3\xA1"},
      {"valid UTF-8 without hints, NUL included", "\xE2\x82\xAC \xC3\xA9\0"s, "text/xml", "\xE2\x82\xAC \xC3\xA9\0"s},
      {"invalid UTF-8 without hints is windows-1252", "caf\xE9 \x80", "", "caf\xC3\xA9 \xE2\x82\xAC"},
      // Each ill-formed sequence, as long as its longest valid start, becomes one U+FFFD.
      {"truncated sequences", "a\xE2\x82z\xE2\x82", "text/xml; charset=utf-8", "a" + kReplacement + "z" + kReplacement},
      {"encoded surrogate", "\xED\xA0\x80", "text/xml; charset=utf-8", kReplacement + kReplacement + kReplacement},
      {"invalid byte in a document declared UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>x\xFE\x7Fy", "",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>x" + kReplacement + "\x7Fy"},
      {"byte undefined in windows-1252", "caf\xE9\x81", "", "caf\xC3\xA9" + kReplacement},
      {"odd byte at the end of UTF-16", "\xFF\xFE" "a\0b"s, "", "a" + kReplacement},
      {"lone surrogate in UTF-16", "\xFF\xFE" "a\0\0\xD8" "b\0"s, "", "a" + kReplacement + "b"},
      {"lone surrogate in UTF-16 without a mark", Utf16("<?xml?>") + "\0\xD8"s + Utf16("b"), "",
       "<?xml?>" + kReplacement + "b"},
      {"invalid Shift_JIS", "\x82\xA0\xFFz", "text/xml; charset=Shift_JIS", "\xE3\x81\x82" + kReplacement + "z"},
      // Browsers' readings: "~" and "\\" stay, and the circled numbers Windows added are there.
      {"Shift_JIS as CP932", "/~taro/a\\b \x94\xD4\x8D\x86\x87\x40\x87\x41", "text/xml; charset=Shift_JIS",
       "/~taro/a\\b \xE7\x95\xAA\xE5\x8F\xB7\xE2\x91\xA0\xE2\x91\xA1"},
      {"GB2312 as GBK", "\x81\x40", "text/xml; charset=GB2312", "\xE4\xB8\x82"},
      {"ISO-8859-9 as windows-1254", "\x80\xFD", "text/xml; charset=ISO-8859-9", "\xE2\x82\xAC\xC4\xB1"},
      {"UNICODE claimed by an 8-bit declaration", "<?xml version=\"1.0\" encoding=\"UNICODE\"?>\xE9", "",
       "<?xml version=\"1.0\" encoding=\"UNICODE\"?>\xC3\xA9"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DecodeBody(row.body, row.contentType), row.expected);
    EXPECT_EQ(DecodeOwnedBody(row.body, row.contentType), row.expected);
  }
}

// Whatever the bytes and whatever the header claims, the result is valid UTF-8.
TEST(TextDecoder, AnyBytesGiveValidText) {
  std::string bytes;
  for (int value = 255; value >= 0; --value) bytes += static_cast<char>(value);
  for (const char* charset : {"", "utf-8", "UTF-16LE", "Shift_JIS", "ISO-8859-7", "EUC-JP", "GB18030"}) {
    const std::string body = bytes + bytes.substr(1);  // and an odd length
    EXPECT_TRUE(Utf8::IsValid(DecodeBody(body, std::string("text/xml; charset=") + charset))) << charset;
  }
}

}  // namespace
