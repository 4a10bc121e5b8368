// The HTTP client component: a synchronous GET with optional server and proxy credentials.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Component.h"

// Every member throws ComponentError on failure.
class HttpRequest : public Component {
 public:
  // Prepares a request (the WinHTTP treatment); credentials come through SetCredentials.
  virtual void Open(const std::string& method, const std::string& url, bool async) = 0;
  // Prepares a request with server credentials (the XML-HTTP treatment); empty ones send none.
  virtual void Open(const std::string& method, const std::string& url, bool async,
                    const std::string& user, const std::string& password) = 0;
  // flag 0: credentials for the server; 1: for the proxy.
  virtual void SetCredentials(const std::string& user, const std::string& password, int32_t flag) = 0;
  // Performs the prepared request; returns when the whole response has arrived.
  virtual void Send() = 0;
  // The response's status code.
  virtual int32_t Status() const = 0;
  // The reason phrase of the status line, or the standard phrase when the protocol sends none.
  virtual std::string StatusText() const = 0;
  // The body decoded into UTF-8.
  virtual std::string ResponseText() const = 0;
  // The same text for a caller that is done with the component: a client that holds the text
  // hands it over instead of copying it, and its ResponseText is empty from then on.
  virtual std::string TakeResponseText() { return ResponseText(); }
  // The response's Content-Type, its Link header values and the address that answered after
  // redirects; a client that does not keep them gives "", none and "".
  virtual std::string ContentType() const { return {}; }
  virtual std::vector<std::string> LinkHeaders() const { return {}; }
  virtual std::string FinalAddress() const { return {}; }
};
