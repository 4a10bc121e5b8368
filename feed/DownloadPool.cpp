#include "DownloadPool.h"

#include <algorithm>

#include "CurlSupport.h"
#include "CurlTransfer.h"
#include "ErrorCodes.h"
#include "FeedParser.h"
#include "HttpCache.h"
#include "WebAddress.h"

namespace {

// The wait hook runs at most this often, and a wait on the sockets lasts at most this long.
constexpr std::chrono::milliseconds kHookInterval{25};

// Sets a flag for as long as it lives.
class Working {
 public:
  explicit Working(bool& flag) : flag_(flag) { flag_ = true; }
  ~Working() { flag_ = false; }
  Working(const Working&) = delete;
  Working& operator=(const Working&) = delete;

 private:
  bool& flag_;
};

}  // namespace

struct DownloadPool::MultiOwner {
  MultiHandle handle;
};

DownloadPool::DownloadPool(const HttpOptions& options, Limits limits, const Clock& clock)
    : options_(options), clock_(clock), limits_(limits), multi_(std::make_unique<MultiOwner>()) {
  limits_.transfers = std::max<std::size_t>(1, limits_.transfers);
  limits_.perHost = std::max<std::size_t>(1, limits_.perHost);
  InitCurlOnce();
  multi_->handle.reset(curl_multi_init());
  if (!multi_->handle) throw ComponentError(ErrorCodes::kHttpOther, "Could not create the request: out of memory");
}

DownloadPool::~DownloadPool() { Abandon(); }

bool DownloadPool::Prefetch(const std::string& url) {
  try {
    CheckWebAddress(url);
    RefuseWhileWaiting(url);
  } catch (const ComponentError&) {
    return false;
  }
  Add(url, {}, {}).prefetched = true;
  return true;
}

HttpResponse DownloadPool::Fetch(const std::string& url, const HttpCredentials& server, const HttpCredentials& proxy,
                                 const std::function<bool()>& waitHook) {
  const bool plain = !server.Given() && !proxy.Given();
  Entry* prefetched = plain ? TakePrefetch(url) : nullptr;
  if (!prefetched) RefuseWhileWaiting(url);
  bool conditional = false;
  HttpResponse response = Await(prefetched, url, server, proxy, waitHook, plain, conditional);
  if (cache_ && conditional && response.status == 304) {
    if (std::optional<HttpResponse> kept = cache_->Load(url)) return std::move(*kept);
    // The kept answer is gone or damaged since the request went out: ask for the whole of it.
    response = Await(nullptr, url, server, proxy, waitHook, false, conditional);
  }
  return Settle(url, plain, std::move(response));
}

HttpResponse DownloadPool::Await(Entry* entry, const std::string& url, const HttpCredentials& server,
                                 const HttpCredentials& proxy, const std::function<bool()>& waitHook,
                                 bool validators, bool& conditional) {
  if (!entry) {
    CheckWebAddress(url);
    entry = &Add(url, server, proxy, validators);
  }
  entry->awaited = true;
  conditional = entry->conditional;
  const uint64_t id = entry->id;
  // However the wait ends, the transfer leaves the pool with it.
  struct Release {
    DownloadPool& pool;
    uint64_t id;
    ~Release() { pool.Remove(id); }
  } release{*this, id};

  for (;;) {
    Work();
    entry = Find(id);
    if (!entry) break;
    if (entry->state == State::kFinished) return entry->transfer->TakeResponse();
    const auto wait = WaitTime(clock_.Now(), static_cast<bool>(waitHook));
    const CURLMcode polled = curl_multi_poll(multi_->handle.get(), nullptr, 0, static_cast<int>(wait.count()), nullptr);
    if (polled != CURLM_OK) {
      FailRunning(std::string("The request failed in curl_multi_poll: ") + curl_multi_strerror(polled));
    }
    if (waitHook && clock_.Now() - lastHook_ >= kHookInterval) {
      lastHook_ = clock_.Now();
      if (!waitHook()) break;
    }
  }
  throw ComponentError(ErrorCodes::kRequestAbandoned, "The download of " + ShownAddress(url) + " was abandoned");
}

void DownloadPool::RefuseWhileWaiting(const std::string& url) const {
  if (!cache_) return;
  if (const std::optional<std::chrono::seconds> left = cache_->WaitLeft(url)) {
    throw ComponentError(ErrorCodes::kServerAsksToWait,
                         "Not asked again yet: the server asked to wait, " +
                             WithThousands(static_cast<std::size_t>(left->count())) + " seconds more");
  }
}

HttpResponse DownloadPool::Settle(const std::string& url, bool plain, HttpResponse response) {
  if (cache_ && plain && response.status == 200) cache_->Store(url, response);
  if ((response.status == 429 || response.status == 503) && !response.retryAfter.empty()) {
    const std::optional<std::chrono::seconds> wait = ParseRetryAfter(response.retryAfter, clock_.WallNow());
    if (wait && wait->count() > 0) {
      if (cache_) cache_->RememberWait(url, *wait);
      std::string status = "HTTP " + std::to_string(response.status);
      if (!response.reason.empty()) status += " " + response.reason;
      throw ComponentError(ErrorCodes::kServerAsksToWait, "The server asks to wait " +
                                                              WithThousands(static_cast<std::size_t>(wait->count())) +
                                                              " seconds (" + status + ")");
    }
  }
  return response;
}

void DownloadPool::Perform() noexcept {
  try {
    Work();
  } catch (...) {
    // Only memory can run out here; the next round, or the transfers' clocks, take it from here.
  }
}

void DownloadPool::Abandon() noexcept {
  for (Entry& entry : entries_) Detach(entry);
  entries_.clear();
}

std::size_t DownloadPool::Prefetched() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const Entry& entry) { return entry.prefetched; }));
}

DownloadPool::Entry& DownloadPool::Add(const std::string& url, const HttpCredentials& server,
                                       const HttpCredentials& proxy, bool validators) {
  Entry entry;
  entry.id = nextId_++;
  std::vector<std::string> headers;
  if (cache_ && validators && !server.Given() && !proxy.Given()) {
    if (const std::optional<CacheValidators> kept = cache_->Validators(url)) headers = kept->RequestHeaders();
  }
  entry.conditional = !headers.empty();
  entry.transfer = std::make_unique<CurlTransfer>(url, server, proxy, options_, clock_, headers);
  entry.host = HostOf(url);
  entries_.push_back(std::move(entry));
  return entries_.back();
}

DownloadPool::Entry* DownloadPool::TakePrefetch(const std::string& url) {
  auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.prefetched && entry.transfer->Url() == url;
  });
  if (found == entries_.end()) return nullptr;
  // Prefetches are made in the order of their fetches, so the older ones will not be asked for.
  for (auto it = entries_.begin(); it != found;) {
    if (it->prefetched) {
      Detach(*it);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  found->prefetched = false;
  return &*found;
}

DownloadPool::Entry* DownloadPool::Find(uint64_t id) {
  auto found = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; });
  return found == entries_.end() ? nullptr : &*found;
}

void DownloadPool::Remove(uint64_t id) noexcept {
  auto found = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; });
  if (found == entries_.end()) return;
  Detach(*found);
  entries_.erase(found);
}

void DownloadPool::Work() {
  if (working_) return;
  const Working working(working_);
  StartQueued(clock_.Now());
  CURLMcode performed = CURLM_OK;
  {
    const ScopedUtf8Locale utf8;
    int running = 0;
    performed = curl_multi_perform(multi_->handle.get(), &running);
  }
  if (performed != CURLM_OK) {
    FailRunning(std::string("The request failed in curl_multi_perform: ") + curl_multi_strerror(performed));
  }
  CollectFinished();
  // After libcurl has read what is there, so that data that waited in a socket while nobody
  // moved the transfers on still counts as having arrived.
  const Clock::TimePoint now = clock_.Now();
  ExpireClocks(now);
  StartQueued(now);
}

void DownloadPool::StartQueued(Clock::TimePoint now) {
  auto runningTo = [this](const std::string* host) {
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [host](const Entry& entry) {
      return entry.state == State::kRunning && (!host || entry.host == *host);
    }));
  };
  std::size_t running = runningTo(nullptr);
  for (bool awaitedPass : {true, false}) {
    for (Entry& entry : entries_) {
      if (running >= limits_.transfers) return;
      if (entry.state != State::kQueued || entry.awaited != awaitedPass) continue;
      if (runningTo(&entry.host) >= limits_.perHost) continue;
      if (Start(entry, now)) ++running;
    }
  }
}

bool DownloadPool::Start(Entry& entry, Clock::TimePoint now) {
  CURL* easy = entry.transfer->Handle();
  curl_easy_setopt(easy, CURLOPT_PRIVATE, static_cast<void*>(&entry));
  const CURLMcode added = curl_multi_add_handle(multi_->handle.get(), easy);
  if (added != CURLM_OK) {
    entry.transfer->Fail(ComponentError(ErrorCodes::kHttpOther,
                                        std::string("Could not start the request: ") + curl_multi_strerror(added)));
    entry.state = State::kFinished;
    return false;
  }
  entry.transfer->Started(now);
  entry.state = State::kRunning;
  return true;
}

void DownloadPool::CollectFinished() {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_->handle.get(), &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    void* owner = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
    auto* entry = static_cast<Entry*>(owner);
    // Read before the handle leaves the multi handle, which frees the message.
    const CURLcode result = message->data.result;
    if (!entry || entry->state != State::kRunning) continue;
    // Its failure is put into words while libcurl still holds it as it ended.
    entry->transfer->Finish(result);
    Detach(*entry);
  }
}

void DownloadPool::ExpireClocks(Clock::TimePoint now) {
  for (Entry& entry : entries_) {
    if (entry.state != State::kRunning) continue;
    if (std::optional<ComponentError> failure = entry.transfer->Overdue(now)) {
      Detach(entry);
      entry.transfer->Fail(*failure);
    }
  }
}

void DownloadPool::FailRunning(const std::string& text) {
  for (Entry& entry : entries_) {
    if (entry.state != State::kRunning) continue;
    Detach(entry);
    entry.transfer->Fail(ComponentError(ErrorCodes::kHttpOther, text));
  }
}

void DownloadPool::Detach(Entry& entry) noexcept {
  if (entry.state == State::kRunning) curl_multi_remove_handle(multi_->handle.get(), entry.transfer->Handle());
  if (entry.state != State::kFinished) entry.state = State::kFinished;
}

std::chrono::milliseconds DownloadPool::WaitTime(Clock::TimePoint now, bool hooked) const {
  Clock::TimePoint until = now + kHookInterval;
  if (hooked) until = std::min(until, std::max(now, lastHook_ + kHookInterval));
  for (const Entry& entry : entries_) {
    if (entry.state == State::kRunning) until = std::min(until, entry.transfer->Due());
  }
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
  // At least a millisecond, so that a clock just running out cannot make the wait spin.
  return std::clamp(wait, std::chrono::milliseconds(1), kHookInterval);
}
