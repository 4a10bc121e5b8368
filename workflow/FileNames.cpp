#include "FileNames.h"

#include <string_view>

#include "Utf8.h"

namespace {

bool Contains(std::string_view charSet, std::string_view character) {
  for (std::size_t at = 0; at < charSet.size();) {
    const std::size_t length = Utf8::CharLength(charSet, at);
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
    const std::size_t length = Utf8::CharLength(view, at);
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
    at += Utf8::CharLength(text, at);
  }
  return text.substr(0, at);
}
