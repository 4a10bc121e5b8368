#include "TextEscapes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "JsonLinesReader.h"
#include "TextDecoder.h"

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// The text back from JsonString through an independent JSON reader.
std::optional<std::string> RoundTrip(const std::string& text) {
  const std::optional<json_lines::Object> object =
      json_lines::ParseObject("{\"k\":" + JsonString(text) + "}");
  if (!object) return std::nullopt;
  return object->at("k");
}

TEST(JsonStringTest, EscapesExactly) {
  struct Case {
    const char* label;
    std::string text;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"empty", "", "\"\""},
      {"plain", "Harbour news", "\"Harbour news\""},
      {"quote", "say \"hi\"", "\"say \\\"hi\\\"\""},
      {"backslash", "C:\\feeds\\", "\"C:\\\\feeds\\\\\""},
      {"slash stays", "a/b", "\"a/b\""},
      {"short escapes", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {"NUL", std::string("a\0b", 3), "\"a\\u0000b\""},
      {"escape character", "\x1B[31m", "\"\\u001b[31m\""},
      {"unit separator", "\x1F", "\"\\u001f\""},
      {"DEL stays", "\x7F", "\"\x7F\""},
      {"non-ASCII stays UTF-8", "Café “Zur Mühle” — 迎春花 𝄞", "\"Café “Zur Mühle” — 迎春花 𝄞\""},
      {"line separator stays", "\xE2\x80\xA8", "\"\xE2\x80\xA8\""},
      {"lone continuation byte", "a\x80z", "\"a" + kFffd + "z\""},
      {"overlong slash", "\xC0\xAF", "\"" + kFffd + kFffd + "\""},
      {"overlong three bytes", "\xE0\x80\xAF", "\"" + kFffd + kFffd + kFffd + "\""},
      {"surrogate", "\xED\xA0\x80", "\"" + kFffd + kFffd + kFffd + "\""},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\"" + kFffd + kFffd + kFffd + kFffd + "\""},
      {"highest code point", "\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},
      {"F5 lead", "\xF5", "\"" + kFffd + "\""},
      {"cut-off sequence at the end", "ab\xE2\x82", "\"ab" + kFffd + "\""},
      {"cut-off sequence before a quote", "\xE2\x82\"", "\"" + kFffd + "\\\"\""},
      {"Latin-1 byte", "caf\xE9", "\"caf" + kFffd + "\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(JsonString(c.text), c.json);
  }
}

// Plain text is copied in runs of many bytes; whatever breaks a run comes out the same at every
// position in it, first and last bytes included.
TEST(JsonStringTest, EscapesTheSameAtEveryPositionOfALongRun) {
  struct Case {
    const char* label;
    std::string text;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"quote", "\"", "\\\""},
      {"backslash", "\\", "\\\\"},
      {"line feed", "\n", "\\n"},
      {"unit separator", "\x1F", "\\u001f"},
      {"DEL stays", "\x7F", "\x7F"},
      {"two-byte character", "\xC3\xA9", "\xC3\xA9"},
      {"four-byte character", "\xF0\x9D\x84\x9E", "\xF0\x9D\x84\x9E"},
      {"lone continuation byte", "\x80", kFffd},
      {"cut-off sequence", "\xE2\x82", kFffd},
  };
  for (const Case& c : cases) {
    for (std::size_t before = 0; before <= 40; ++before) {
      SCOPED_TRACE(std::string(c.label) + " after " + std::to_string(before) + " bytes");
      const std::string head(before, 'a');
      const std::string tail(40 - before, 'z');
      EXPECT_EQ(JsonString(head + c.text + tail), "\"" + head + c.json + tail + "\"");
    }
  }
}

TEST(JsonStringTest, ValidUtf8ComesBackWhole) {
  std::string everyAscii;
  for (int c = 0; c < 128; ++c) everyAscii += static_cast<char>(c);
  const std::vector<std::string> texts = {
      everyAscii,
      "\"\\\"\\\\\"",
      "</script><script>alert(1)</script>",
      "Ο Δίας σε αντίθεση — Jupiter at opposition",
      std::string(100000, '\\'),
      "\\u0041 is not an escape here",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    const std::string json = JsonString(text);
    EXPECT_TRUE(IsValidUtf8(json));
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_EQ(RoundTrip(text), text);
  }
}

TEST(JsonStringTest, RandomBytesAlwaysGiveValidJson) {
  std::mt19937 random(20240501);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 64);
  for (int round = 0; round < 2000; ++round) {
    std::string text(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : text) c = static_cast<char>(byte(random));
    SCOPED_TRACE(round);
    const std::string json = JsonString(text);
    ASSERT_TRUE(IsValidUtf8(json));
    ASSERT_EQ(json.find_first_of("\n\r"), std::string::npos);
    const std::optional<std::string> back = RoundTrip(text);
    ASSERT_TRUE(back.has_value()) << json;
    // Valid text comes back as it was; invalid bytes only ever become U+FFFD.
    if (IsValidUtf8(text)) {
      EXPECT_EQ(*back, text);
    }
  }
}

TEST(DisplayTextTest, ControlsAreShownNotSent) {
  struct Case {
    const char* label;
    std::string text;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"plain address", "http://a.example/feed?x=1&y=\"2\"", "http://a.example/feed?x=1&y=\"2\""},
      {"backslash stays", "feeds\\local", "feeds\\local"},
      {"terminal escape", "\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},
      {"line breaks", "a\r\nb", "a\\x0D\\x0Ab"},
      {"DEL", "\x7F", "\\x7F"},
      {"C1 control", "\xC2\x9B" "2J", "\\u009B2J"},
      {"non-ASCII stays", "Mühle — 迎春花", "Mühle — 迎春花"},
      {"invalid byte", "\x9B" "2J", kFffd + "2J"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(DisplayText(c.text), c.shown);
  }
}

}  // namespace
