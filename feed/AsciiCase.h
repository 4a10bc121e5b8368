// Case folding of ASCII letters only, as protocol names, charset labels, tag names and schemes
// are compared. Unlike std::tolower it never depends on the locale and never touches a byte of a
// UTF-8 sequence.
#pragma once

#include <string>
#include <string_view>

namespace AsciiCase {

constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

constexpr bool Equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

constexpr bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Equal(text.substr(0, prefix.size()), prefix);
}

}  // namespace AsciiCase
