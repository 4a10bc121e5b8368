// A strict reader of JSON Lines whose every line is one object of string values, written apart
// from the program's own escaper so that the tests check its output independently.
#pragma once

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
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  std::optional<uint32_t> Hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<uint32_t>(c - 'A' + 10);
      else return std::nullopt;
    }
    return value;
  }

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
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
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::optional<uint32_t> unit = Hex4();
          if (!unit) return std::nullopt;
          uint32_t cp = *unit;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!Take('\\') || !Take('u')) return std::nullopt;
            std::optional<uint32_t> low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
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
