#include "HttpClient.h"

#include <utility>

HttpClient::HttpClient(HttpOptions limits, WaitHook waitHook, const Clock& clock, std::shared_ptr<HttpCache> cache)
    : limits_(limits), waitHook_(std::move(waitHook)), clock_(&clock), cache_(std::move(cache)) {}

HttpClient::HttpClient(std::shared_ptr<DownloadPool> pool, WaitHook waitHook)
    : pool_(std::move(pool)), waitHook_(std::move(waitHook)), clock_(&Clock::Steady()) {}

HttpResponse HttpClient::Fetch(const FetchRequest& request) const {
  if (pool_) return pool_->Fetch(request.url, request.server, request.proxy, waitHook_);
  DownloadPool alone(limits_, {1, 1}, *clock_);
  alone.UseCache(cache_);
  return alone.Fetch(request.url, request.server, request.proxy, waitHook_);
}
