// Settings shared by every HTTP component of one registry: limits, time-outs, the wait hook and
// the pool the downloads go through.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

class DownloadPool;

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
  // Called repeatedly (at most every 25 milliseconds) while Send waits on the network, so that
  // a window can keep processing its events. Returning false abandons the request.
  std::function<bool()> waitHook;
  // When set, Send fetches through this pool, whose own options (given when it was made) set the
  // limits and time-outs above; without one each Send runs its one transfer alone.
  std::shared_ptr<DownloadPool> pool;
};
