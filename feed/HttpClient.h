// The fetch part of the feed engine: one GET by address, through a download pool when one is
// given, with a wait hook that keeps a window alive while it waits.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Clock.h"
#include "DownloadPool.h"
#include "HttpOptions.h"
#include "HttpResponse.h"

// One GET: the address and the credentials for the server and the proxy.
struct FetchRequest {
  std::string url;
  HttpCredentials server;
  HttpCredentials proxy;
};

class HttpClient {
 public:
  // Called repeatedly (at most every 25 milliseconds) while Fetch waits on the network, so that
  // a window can keep processing its events. Returning false abandons the request.
  using WaitHook = std::function<bool()>;

  // A client whose every Fetch runs its one transfer alone, under limits, on clock, with the
  // answers kept in cache when one is given (see DownloadPool::UseCache).
  explicit HttpClient(HttpOptions limits = {}, WaitHook waitHook = {}, const Clock& clock = Clock::Steady(),
                      std::shared_ptr<HttpCache> cache = {});
  // A client that fetches through pool, whose own limits and clock (given when it was made)
  // apply; pool must not be null.
  HttpClient(std::shared_ptr<DownloadPool> pool, WaitHook waitHook = {});

  // The final response of a GET; throws ComponentError with a number from ErrorCodes.h.
  HttpResponse Fetch(const FetchRequest& request) const;

  // The pool the client fetches through; null when each Fetch runs alone.
  const std::shared_ptr<DownloadPool>& Pool() const { return pool_; }
  const WaitHook& Hook() const { return waitHook_; }

 private:
  HttpOptions limits_;
  std::shared_ptr<DownloadPool> pool_;
  WaitHook waitHook_;
  const Clock* clock_;
  std::shared_ptr<HttpCache> cache_;
};
