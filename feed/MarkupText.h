// Text written as the text of an element: only the three characters that start markup or a
// reference become references. Quotes stay as they are: no attribute is open where it goes.
#pragma once

#include <string>
#include <string_view>

inline void AppendMarkupText(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

inline std::string MarkupText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendMarkupText(out, text);
  return out;
}
