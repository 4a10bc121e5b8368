// Settings shared by every HTTP component of one registry: limits, time-outs and the wait hook.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

struct HttpOptions {
  // Time allowed to establish a connection.
  std::chrono::milliseconds connectTimeout{60000};
  // The request fails when no byte arrives for this long.
  std::chrono::milliseconds idleTimeout{30000};
  // A body can stream forever; stop at the ceiling.
  std::size_t maxBodyBytes = 64u * 1024u * 1024u;
  long maxRedirects = 10;
  // Called repeatedly (every few tens of milliseconds) while Send waits on the network, so that
  // a window can keep processing its events. Returning false abandons the request.
  std::function<bool()> waitHook;
};
