#include "WebAddress.h"

#include "AsciiCase.h"
#include "Component.h"
#include "CurlSupport.h"
#include "ErrorCodes.h"
#include "TextDecoder.h"

namespace {

// Addresses quoted in error texts are shortened past this.
constexpr std::size_t kMaxShownAddressBytes = 300;

bool IsWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// A parsed address, or null when libcurl cannot parse it.
UrlHandle Parse(const std::string& address) {
  UrlHandle url(curl_url());
  if (!url) throw ComponentError(ErrorCodes::kHttpOther, "Not enough memory to read the address");
  if (curl_url_set(url.get(), CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return nullptr;
  }
  return url;
}

}  // namespace

std::string ShownAddress(const std::string& address) {
  std::string shown = DecodeBody(address.substr(0, kMaxShownAddressBytes), "text/plain");
  // A NUL would cut the text short wherever it is shown; U+FFFD marks the place.
  for (std::size_t at = shown.find('\0'); at != std::string::npos; at = shown.find('\0', at)) {
    shown.replace(at, 1, "\xEF\xBF\xBD");
  }
  if (address.size() > kMaxShownAddressBytes) shown += "...";
  return shown;
}

void CheckWebAddress(const std::string& address) {
  InitCurlOnce();
  if (address.size() > kMaxAddressBytes) {
    throw ComponentError(ErrorCodes::kAddressTooLong,
                         "The address is too long (" + std::to_string(address.size()) + " bytes, at most " +
                             FormatSize(kMaxAddressBytes) + "): " + ShownAddress(address));
  }
  UrlHandle url = address.find('\0') == std::string::npos ? Parse(address) : nullptr;
  if (!url) {
    throw ComponentError(ErrorCodes::kInvalidAddress, "Not a valid web address: " + ShownAddress(address));
  }
  if (!IsWebScheme(UrlPart(url.get(), CURLUPART_SCHEME, 0))) {
    throw ComponentError(ErrorCodes::kInvalidAddress,
                         "Only http and https addresses can be downloaded: " + ShownAddress(address));
  }
  // An international name must have an ASCII form (punycode) to be looked up; libcurl makes it
  // only when connecting, so ask for it here, before anything is sent.
  const std::string host = UrlPart(url.get(), CURLUPART_HOST, 0);
  if (!IsAscii(host)) {
    const ScopedUtf8Locale utf8;
    if (UrlPart(url.get(), CURLUPART_HOST, CURLU_PUNYCODE).empty()) {
      throw ComponentError(ErrorCodes::kInvalidAddress, "The host name cannot be used: " + ShownAddress(host));
    }
  }
}

std::string HostOf(const std::string& address) {
  UrlHandle url = Parse(address);
  if (!url) return {};
  std::string host = UrlPart(url.get(), CURLUPART_HOST, 0);
  return AsciiCase::Lowered(host);
}

std::string HostAndPortOf(const std::string& address) {
  UrlHandle url = Parse(address);
  if (!url) return {};
  std::string host = UrlPart(url.get(), CURLUPART_HOST, 0);
  if (host.empty()) return {};
  return AsciiCase::Lowered(host) + ":" + UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

std::string ResolvedWebAddress(const std::string& reference, const std::string& base) {
  if (reference.find('\0') != std::string::npos || reference.size() > kMaxAddressBytes) return {};
  UrlHandle url = Parse(base);
  if (!url) return {};
  if (curl_url_set(url.get(), CURLUPART_URL, reference.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) return {};
  if (!IsWebScheme(UrlPart(url.get(), CURLUPART_SCHEME, 0))) return {};
  std::string resolved = UrlPart(url.get(), CURLUPART_URL, 0);
  // The fragment names a place in the feed, not another feed.
  const std::size_t fragment = resolved.find('#');
  if (fragment != std::string::npos) resolved.resize(fragment);
  return resolved;
}
