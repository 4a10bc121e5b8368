#include "WebLinks.h"

#include "AsciiCase.h"

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The scheme of address in lower case ("http"), or empty when it has none: letters, digits,
// "+", "-" and "." from a letter up to a ":" that comes before any "/", "?" or "#".
std::string SchemeOf(std::string_view address) {
  if (address.empty() || !IsAlpha(address[0])) return {};
  for (std::size_t at = 0; at < address.size(); ++at) {
    const char c = address[at];
    if (c == ':') {
      return AsciiCase::Lowered(address.substr(0, at));
    }
    if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

// The address as a browser reads it: tabs and line breaks anywhere are dropped, and control
// characters and spaces around it.
std::string Cleaned(std::string_view address) {
  std::size_t begin = 0, end = address.size();
  while (begin < end && static_cast<unsigned char>(address[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(address[end - 1]) <= 0x20) --end;
  std::string cleaned;
  for (char c : address.substr(begin, end - begin)) {
    if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
  }
  return cleaned;
}

// path with its "." and ".." segments worked out.
std::string WithoutDotSegments(std::string_view path) {
  std::string out;
  while (!path.empty()) {
    if (path.starts_with("../")) {
      path.remove_prefix(3);
    } else if (path.starts_with("./")) {
      path.remove_prefix(2);
    } else if (path.starts_with("/./")) {
      path.remove_prefix(2);
    } else if (path == "/.") {
      path = "/";
    } else if (path.starts_with("/../") || path == "/..") {
      path = path.size() == 3 ? std::string_view("/") : path.substr(3);
      const std::size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (path == "." || path == "..") {
      path = {};
    } else {
      const std::size_t next = path.find('/', 1);
      const std::size_t length = next == std::string_view::npos ? path.size() : next;
      out += path.substr(0, length);
      path.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace

bool IsWebAddress(std::string_view address) {
  const std::string scheme = SchemeOf(address);
  return (scheme == "http" || scheme == "https") && address.substr(scheme.size()).starts_with("://");
}

std::string ResolveAddress(std::string_view address, std::string_view base) {
  std::string reference = Cleaned(address);
  if (!SchemeOf(reference).empty() || !IsWebAddress(base)) return reference;
  const std::size_t authorityStart = base.find("://") + 3;
  std::size_t authorityEnd = base.find_first_of("/?#", authorityStart);
  if (authorityEnd == std::string_view::npos) authorityEnd = base.size();
  const std::string_view origin = base.substr(0, authorityEnd);
  // A backslash reads as a slash in the browser's eyes.
  for (char& c : reference) {
    if (c == '\\') c = '/';
  }
  if (reference.starts_with("//")) return std::string(base.substr(0, authorityStart - 2)) + reference;
  std::size_t pathEnd = base.find_first_of("?#", authorityEnd);
  if (pathEnd == std::string_view::npos) pathEnd = base.size();
  std::string_view basePath = base.substr(authorityEnd, pathEnd - authorityEnd);
  if (reference.empty()) return std::string(base.substr(0, base.find('#')));
  if (reference[0] == '#') return std::string(base.substr(0, base.find('#'))) + reference;
  if (reference[0] == '?') return std::string(base.substr(0, pathEnd)) + reference;
  std::size_t refPathEnd = reference.find_first_of("?#");
  if (refPathEnd == std::string::npos) refPathEnd = reference.size();
  std::string path;
  if (reference[0] == '/') {
    path = reference.substr(0, refPathEnd);
  } else {
    const std::size_t slash = basePath.rfind('/');
    path = (slash == std::string_view::npos ? std::string("/") : std::string(basePath.substr(0, slash + 1))) +
           reference.substr(0, refPathEnd);
  }
  return std::string(origin) + WithoutDotSegments(path) + reference.substr(refPathEnd);
}

bool IsSafeAddress(std::string_view address, LinkUse use) {
  const std::string scheme = SchemeOf(address);
  if (scheme.empty()) return true;
  if (scheme == "http" || scheme == "https" || scheme == "mailto") return true;
  return use == LinkUse::kImage && AsciiCase::StartsWith(address, "data:image/");
}

std::string SafeAddress(std::string_view address, std::string_view base, LinkUse use) {
  std::string resolved = ResolveAddress(address, base);
  return IsSafeAddress(resolved, use) ? resolved : std::string();
}

std::string HostOf(std::string_view address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos || SchemeOf(address).empty()) return {};
  std::string_view rest = address.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest.remove_prefix(at + 1);
  if (rest.starts_with('[')) {
    rest = rest.substr(1, rest.find(']') == std::string_view::npos ? rest.size() : rest.find(']') - 1);
  } else {
    rest = rest.substr(0, rest.find(':'));
  }
  return AsciiCase::Lowered(rest);
}
