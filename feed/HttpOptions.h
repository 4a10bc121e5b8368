// The limits of every download: deadlines, ceilings and redirects.
#pragma once

#include <chrono>
#include <cstddef>

struct HttpOptions {
  // Time allowed to establish a connection.
  std::chrono::milliseconds connectTimeout{60000};
  // The request fails when no byte arrives for this long (not counted while connecting).
  std::chrono::milliseconds idleTimeout{30000};
  // Every download ends this long after it starts, connecting included, whatever the server
  // does: a server that drips one byte at a time never resets this clock.
  std::chrono::milliseconds deadline{60000};
  // A body can stream forever; stop at the ceiling.
  std::size_t maxBodyBytes = 64u * 1024u * 1024u;
  long maxRedirects = 10;
};
