#include "TextEscapes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// Escaped exactly, and alike at every position of a run of plain bytes, copied sixteen at a time.
TEST(JsonStringTest, EscapesExactlyAtEveryPosition) {
  const struct {
    const char* label;
    std::string text, json;
  } cases[] = {
      {"quote", "\"", "\\\""},
      {"backslash", "\\", "\\\\"},
      {"short escapes", "\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
      {"NUL", std::string(1, '\0'), "\\u0000"},
      {"non-ASCII stays UTF-8", "Mühle — 迎春花 𝄞", "Mühle — 迎春花 𝄞"},
      // Ill-formed bytes become U+FFFD as everywhere else (the one UTF-8 table, checked at its
      // bounds with the scanners).
      {"lone continuation byte", "\x80", kFffd},
      {"lead without its continuation", "\xEE\x7F", kFffd + "\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.text), "\"" + c.json + "\"") << c.label;
    for (std::size_t before = 0; before <= 40; ++before) {
      SCOPED_TRACE(std::string(c.label) + " after " + std::to_string(before) + " bytes");
      const std::string head(before, 'a'), tail(40 - before, 'z');
      EXPECT_EQ(JsonString(head + c.text + tail), "\"" + head + c.json + tail + "\"");
    }
  }
}

// Control characters (C0, DEL, C1) are shown, not sent to the terminal; invalid UTF-8 becomes U+FFFD.
TEST(DisplayTextTest, ControlsAreShownNotSent) {
  EXPECT_EQ(DisplayText("\x1B]0;x\x07 \r\n\x7F \xC2\x9B \x9B Mühle"),
            "\\x1B]0;x\\x07 \\x0D\\x0A\\x7F \\u009B " + kFffd + " Mühle");
}

}  // namespace
