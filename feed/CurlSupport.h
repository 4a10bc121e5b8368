// What the libcurl-based parts of the feed engine share: one-time start-up, owners for the C
// handles, the UTF-8 locale libcurl needs for international host names, and number formats for
// error texts.
#pragma once

#include <curl/curl.h>
#include <locale.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

// Starts libcurl once per process; throws ComponentError kHttpOther when it cannot start.
void InitCurlOnce();

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct UrlDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// A part of a parsed address, "" when it has none or it cannot be had.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned int flags);

// libcurl turns a host name such as "bücher.example" into its ASCII form by reading it in the
// locale's character set, which is plain ASCII unless the program set a locale. Our addresses are
// UTF-8 text whatever the locale, so libcurl runs under a UTF-8 locale for this thread while the
// object lives. Does nothing where the system has no UTF-8 locale.
class ScopedUtf8Locale {
 public:
  ScopedUtf8Locale();
  ~ScopedUtf8Locale();
  ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
  ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

 private:
  locale_t previous_ = nullptr;
};

// "1 second", "0.3 seconds", "60 seconds".
std::string FormatDuration(std::chrono::milliseconds duration);

// "64 MiB", "10 KiB", "1000 bytes".
std::string FormatSize(std::size_t bytes);
