// What one GET gives back: the final response after redirects, its body still undecoded.
#pragma once

#include <cstdint>
#include <string>

struct HttpResponse {
  int32_t status = 0;
  // The reason phrase as the status line gave it, "" when it gave none; not yet valid UTF-8.
  std::string reason;
  std::string contentType;
  std::string body;
};
