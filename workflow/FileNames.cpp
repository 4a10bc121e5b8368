#include "FileNames.h"

#include <string_view>

namespace {

// The length in bytes of the character that starts at text[at]: a well-formed UTF-8 sequence,
// or 1 for a byte that does not start one.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (at + length > text.size()) return 1;
  for (std::size_t next = at + 1; next < at + length; ++next) {
    if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

bool Contains(std::string_view charSet, std::string_view character) {
  for (std::size_t at = 0; at < charSet.size();) {
    const std::size_t length = CharLength(charSet, at);
    if (charSet.substr(at, length) == character) return true;
    at += length;
  }
  return false;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string_view base = folder;
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  std::string path(base);
  path += '/';
  path += name;
  return path;
}

std::string GetFileName(const std::string& path) {
  const std::string::size_type slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FilterChars(const std::string& text, const std::string& charSet, bool keep) {
  std::string result;
  const std::string_view view = text;
  for (std::size_t at = 0; at < view.size();) {
    const std::size_t length = CharLength(view, at);
    const std::string_view character = view.substr(at, length);
    if (Contains(charSet, character) == keep) result += character;
    at += length;
  }
  return result;
}

std::string CleanFileName(const std::string& text) { return FilterChars(text, kFileNameChars, true); }

std::string ShortenName(const std::string& text) {
  std::size_t at = 0;
  for (std::size_t count = 0; count < kMaxStemChars && at < text.size(); ++count) {
    at += CharLength(text, at);
  }
  return text.substr(0, at);
}
