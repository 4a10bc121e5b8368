#include "CurlSupport.h"

#include "Component.h"
#include "ErrorCodes.h"

namespace {

struct CurlFreeDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlFreeDeleter>;

}  // namespace

void InitCurlOnce() {
  // A function-local static is initialised exactly once, even with concurrent first callers.
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (result != CURLE_OK) {
    throw ComponentError(ErrorCodes::kHttpOther,
                         std::string("The network library could not start: ") + curl_easy_strerror(result));
  }
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned int flags) {
  char* text = nullptr;
  const CURLUcode result = curl_url_get(url, part, &text, flags);
  // Owned also on failure: libcurl 7.88 leaves its copy of the host here when it cannot give
  // the ASCII form.
  CurlText owner(text);
  if (result != CURLUE_OK || !text) return {};
  return text;
}

ScopedUtf8Locale::ScopedUtf8Locale() {
  // Made once and kept for the life of the process; glibc always has C.UTF-8.
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (utf8) previous_ = uselocale(utf8);
}

ScopedUtf8Locale::~ScopedUtf8Locale() {
  if (previous_) uselocale(previous_);
}

std::string FormatDuration(std::chrono::milliseconds duration) {
  const long long ms = duration.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    text += "." + fraction;
  }
  return text + (ms == 1000 ? " second" : " seconds");
}

std::string FormatSize(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes != 0 && bytes % (kKiB * kKiB) == 0) return std::to_string(bytes / (kKiB * kKiB)) + " MiB";
  if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}
