// A strict reader of JSON Lines whose every line is one object of string values, written apart
// from the program's own escaper so that the tests check its output independently.
#pragma once

#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace json_lines {

using Object = std::map<std::string, std::string>;

namespace detail {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  // The object of the whole text, or nothing when the text is anything else.
  std::optional<Object> WholeObject() {
    Object object;
    if (!Take('{')) return std::nullopt;
    if (!Take('}')) {
      for (;;) {
        std::optional<std::string> key = String();
        if (!key || !Take(':')) return std::nullopt;
        std::optional<std::string> value = String();
        if (!value || !object.emplace(*key, *value).second) return std::nullopt;
        if (Take('}')) break;
        if (!Take(',')) return std::nullopt;
      }
    }
    return at_ == text_.size() ? std::optional<Object>(object) : std::nullopt;
  }

 private:
  bool Take(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  // The program writes non-ASCII text as UTF-8, so a \u escape here must name an ASCII
  // character; anything else is refused rather than decoded.
  std::optional<char> AsciiEscape() {
    if (text_.size() - at_ < 4) return std::nullopt;
    uint32_t value = 0;
    const char* first = text_.data() + at_;
    const auto [end, error] = std::from_chars(first, first + 4, value, 16);
    at_ += 4;
    if (error != std::errc() || end != first + 4 || value >= 0x80) return std::nullopt;
    return static_cast<char>(value);
  }

  std::optional<std::string> String() {
    if (!Take('"')) return std::nullopt;
    std::string out;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return out;
      // JSON forbids raw control characters inside strings.
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return std::nullopt;
      const char escape = text_[at_++];
      static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
      if (const std::size_t i = kFrom.find(escape); i != std::string_view::npos) {
        out += kTo[i];
      } else if (escape != 'u') {
        return std::nullopt;
      } else if (const std::optional<char> ascii = AsciiEscape()) {
        out += *ascii;
      } else {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace detail

// One object of string values from a line, or nothing when the line is not exactly that.
inline std::optional<Object> ParseObject(std::string_view line) {
  return detail::Parser(line).WholeObject();
}

// The lines of a JSON Lines text: every line ended by LF, none empty. Nothing when any line is
// not an object of strings.
inline std::optional<std::vector<Object>> Parse(std::string_view text) {
  std::vector<Object> objects;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::optional<Object> object = ParseObject(text.substr(0, end));
    if (!object) return std::nullopt;
    objects.push_back(std::move(*object));
    text.remove_prefix(end + 1);
  }
  return objects;
}

}  // namespace json_lines
