// The one HTTP client behind all four HTTP class names: libcurl, polled so a caller can keep
// its window alive while waiting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "HttpRequest.h"

// A synchronous GET over http or https. Redirects are followed (up to the options' limit, http and
// https only), compressed bodies are accepted, and the proxy comes from the usual environment
// variables (http_proxy, https_proxy, all_proxy, no_proxy). The request goes through the client's
// download pool, where it may find its response already on the way; without a pool it runs
// alone. Every failure throws ComponentError with a number from ErrorCodes.h.
class CurlHttpRequest : public HttpRequest {
 public:
  explicit CurlHttpRequest(HttpClient client = HttpClient());

  // Throws kInvalidAddress for anything but an http or https address, kInvalidArgument for a
  // method other than GET or async = true. Forgets any earlier request and its credentials.
  void Open(const std::string& method, const std::string& url, bool async) override;
  // As above, with server credentials; both empty means none.
  void Open(const std::string& method, const std::string& url, bool async,
            const std::string& user, const std::string& password) override;
  // flag 0: server, 1: proxy. Throws kRequestState before Open, kInvalidArgument for other flags.
  void SetCredentials(const std::string& user, const std::string& password, int32_t flag) override;
  // Performs the request, calling the client's wait hook at most every 25 milliseconds. Throws
  // kRequestState before Open; on failure no response is kept.
  void Send() override;
  // The final response's status code; throws kRequestState when no response has arrived.
  int32_t Status() const override;
  // The final response's reason phrase, or the standard phrase for its code when it sent none
  // ("" for a code without one); throws kRequestState when no response has arrived.
  std::string StatusText() const override;
  // The final response's body decoded into UTF-8; throws kRequestState when no response has arrived.
  std::string ResponseText() const override;
  // The same, handed over without a copy; ResponseText is empty afterwards.
  std::string TakeResponseText() override;
  // The final response's Content-Type, Link headers and address; throw kRequestState when no
  // response has arrived.
  std::string ContentType() const override;
  std::vector<std::string> LinkHeaders() const override;
  std::string FinalAddress() const override;

 private:
  void RequireResponse() const;

  HttpClient client_;
  std::string url_;
  HttpCredentials server_;
  HttpCredentials proxy_;
  bool opened_ = false;
  bool haveResponse_ = false;
  int32_t status_ = 0;
  std::string statusText_;
  std::string responseText_;
  std::string contentType_;
  std::vector<std::string> links_;
  std::string finalAddress_;
};
