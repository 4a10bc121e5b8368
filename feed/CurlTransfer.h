// One GET performed with libcurl from the calling thread: the handles, the callbacks that gather
// the response, the poll loop that keeps the caller's wait hook running, and the texts of failures.
#pragma once

#include <cstdint>
#include <string>

#include "HttpOptions.h"

// A user name and password; only both empty means none were given.
struct HttpCredentials {
  std::string user;
  std::string password;

  bool Given() const { return !(user.empty() && password.empty()); }
};

// The final response of a transfer (after redirects), its body still undecoded.
struct HttpResponse {
  int32_t status = 0;
  // The reason phrase as the status line gave it, "" when it gave none; not yet valid UTF-8.
  std::string reason;
  std::string contentType;
  std::string body;
};

// Throws ComponentError kInvalidAddress unless address is a well-formed http or https URL.
void CheckWebAddress(const std::string& address);

// Performs a GET of url, following redirects over http and https only; throws ComponentError with
// a number from ErrorCodes.h and a text for the user when the transfer fails or is abandoned.
HttpResponse PerformGet(const std::string& url, const HttpCredentials& server, const HttpCredentials& proxy,
                        const HttpOptions& options);

// An address as it may appear in an error text: valid UTF-8 and of sensible length.
std::string ShownAddress(const std::string& address);
