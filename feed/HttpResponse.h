// What one GET gives back: the final response after redirects, its body still undecoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HttpResponse {
  int32_t status = 0;
  // The reason phrase as the status line gave it, "" when it gave none; not yet valid UTF-8.
  std::string reason;
  std::string contentType;
  std::string body;
  // The validators and the wait the response's headers gave, "" when they gave none.
  std::string etag;
  std::string lastModified;
  std::string retryAfter;
  // The values of the final response's Link headers, as sent.
  std::vector<std::string> links;
  // The address that gave the final response, after redirects; "" when not known.
  std::string finalAddress;
  // Answered from the cache after a 304 Not Modified, rather than sent whole.
  bool fromCache = false;
};
