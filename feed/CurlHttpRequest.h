// The one HTTP client behind all four HTTP class names: libcurl, polled so a caller can keep
// its window alive while waiting.
#pragma once

#include <cstdint>
#include <string>

#include "HttpOptions.h"
#include "HttpRequest.h"

class CurlHttpRequest : public HttpRequest {
 public:
  explicit CurlHttpRequest(HttpOptions options = {});

  void Open(const std::string& method, const std::string& url, bool async) override;
  void Open(const std::string& method, const std::string& url, bool async,
            const std::string& user, const std::string& password) override;
  void SetCredentials(const std::string& user, const std::string& password, int32_t flag) override;
  void Send() override;
  int32_t Status() const override;
  std::string StatusText() const override;
  std::string ResponseText() const override;

 private:
  HttpOptions options_;
  std::string method_;
  std::string url_;
  std::string user_;
  std::string password_;
  std::string proxyUser_;
  std::string proxyPassword_;
  bool opened_ = false;
  bool sent_ = false;
  int32_t status_ = 0;
  std::string statusText_;
  std::string contentType_;
  std::string body_;
};
