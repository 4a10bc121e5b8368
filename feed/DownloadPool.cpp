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

// libcurl 7.88 walks its whole cache of looked-up host names whenever a transfer ends, to drop
// the entries older than their minute, so a run over thousands of distinct hosts a minute pays
// for every host it met in the last one at every feed: 30,000 refused feeds on distinct
// addresses took seven times as long as on one. Once this many hosts have been met, the next
// as many transfers keep their names for no time, so whichever of them ends or closes a
// connection clears the cache; then names are kept again. A run over fewer hosts keeps every
// name for the minute.
constexpr std::size_t kNamedHostsKept = 256;
constexpr long kNameCacheSeconds = 60;

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
  Entry& entry = Add(url, {}, {});
  entry.prefetched = true;
  ++prefetched_;
  ++queuedPrefetches_;
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

HttpResponse DownloadPool::FetchInto(const std::string& url, BodySink& sink, std::size_t maxBytes,
                                     std::chrono::milliseconds deadline, const std::function<bool()>& waitHook) {
  CheckWebAddress(url);
  RefuseWhileWaiting(url);
  Entry& entry = Add(url, {}, {}, false);
  entry.transfer->StreamInto(sink, maxBytes, deadline);
  bool conditional = false;
  return Await(&entry, url, {}, {}, waitHook, false, conditional);
}

HttpResponse DownloadPool::Await(Entry* entry, const std::string& url, const HttpCredentials& server,
                                 const HttpCredentials& proxy, const std::function<bool()>& waitHook,
                                 bool validators, bool& conditional) {
  if (!entry) {
    CheckWebAddress(url);
    entry = &Add(url, server, proxy, validators);
  }
  if (entry->state == State::kQueued && !entry->awaited) {
    // It starts before the other queued transfers.
    Unqueue(*entry);
    queued_.insert(queued_.begin(), entry);
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
  lookAhead_ = nullptr;
  for (auto it = entries_.begin(); it != entries_.end();) it = Erase(it);
}

DownloadPool::Entry& DownloadPool::Add(const std::string& url, const HttpCredentials& server,
                                       const HttpCredentials& proxy, bool validators) {
  Entry entry;
  entry.id = nextId_;
  std::vector<std::string> headers;
  if (cache_ && validators && !server.Given() && !proxy.Given()) {
    if (const std::optional<CacheValidators> kept = cache_->Validators(url)) headers = kept->RequestHeaders();
  }
  entry.conditional = !headers.empty();
  entry.transfer = std::make_unique<CurlTransfer>(url, server, proxy, options_, clock_, headers);
  entry.host = HostOf(url);
  queued_.reserve(queued_.size() + 1);
  byId_.reserve(byId_.size() + 1);
  entries_.push_back(std::move(entry));
  // Nothing below throws: the reservations above made the room.
  ++nextId_;
  byId_.emplace(entries_.back().id, std::prev(entries_.end()));
  queued_.push_back(&entries_.back());
  return entries_.back();
}

DownloadPool::Entry* DownloadPool::TakePrefetch(const std::string& url) {
  auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.prefetched && entry.transfer->Url() == url;
  });
  if (found == entries_.end()) return nullptr;
  // Prefetches are made in the order of their fetches, so the older ones will not be asked for.
  for (auto it = entries_.begin(); it != found;) it = it->prefetched ? Erase(it) : std::next(it);
  found->prefetched = false;
  --prefetched_;
  if (found->state == State::kQueued) --queuedPrefetches_;
  heldBytes_ -= found->held;
  found->held = 0;
  return &*found;
}

DownloadPool::Entry* DownloadPool::Find(uint64_t id) {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : &*found->second;
}

void DownloadPool::Remove(uint64_t id) noexcept {
  const auto found = byId_.find(id);
  if (found != byId_.end()) Erase(found->second);
}

DownloadPool::Entries::iterator DownloadPool::Erase(Entries::iterator entry) noexcept {
  End(*entry);
  if (entry->prefetched) --prefetched_;
  heldBytes_ -= entry->held;
  byId_.erase(entry->id);
  return entries_.erase(entry);
}

void DownloadPool::Work() {
  if (working_) return;
  const Working working(working_);
  LookFurther();
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
  LookFurther();
  StartQueued(now);
}

void DownloadPool::LookFurther() {
  // Addresses that cannot be fetched queue nothing; a few rounds' worth of them at a time
  // keeps a list of them from holding up one round.
  for (std::size_t asked = 0; lookAhead_ && asked < 4 * limits_.transfers; ++asked) {
    if (queuedPrefetches_ >= limits_.transfers || heldBytes_ >= limits_.heldBytes) return;
    std::optional<std::string> next;
    try {
      next = lookAhead_();
    } catch (...) {
      return;
    }
    if (!next) return;
    try {
      Prefetch(*next);
    } catch (...) {
      // Out of memory: that row's own Fetch reports it.
      return;
    }
  }
}

void DownloadPool::StartQueued(Clock::TimePoint now) {
  for (std::size_t i = 0; i < queued_.size() && running_.size() < limits_.transfers;) {
    Entry& entry = *queued_[i];
    const auto host = runningPerHost_.find(entry.host);
    if (host != runningPerHost_.end() && host->second >= limits_.perHost) {
      ++i;
      continue;
    }
    // Start takes the entry out of the queue, whether it starts or fails.
    Start(entry, now);
  }
}

bool DownloadPool::Start(Entry& entry, Clock::TimePoint now) {
  CURL* easy = entry.transfer->Handle();
  if (clearingNames_ == 0 && namedHosts_.size() >= kNamedHostsKept) {
    namedHosts_.clear();
    clearingNames_ = kNamedHostsKept;
  }
  const bool clears = clearingNames_ > 0;
  curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, clears ? 0L : kNameCacheSeconds);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, static_cast<void*>(&entry));
  CURLMcode added = CURLM_OUT_OF_MEMORY;
  try {
    running_.reserve(running_.size() + 1);
    ++runningPerHost_[entry.host];
    added = curl_multi_add_handle(multi_->handle.get(), easy);
    if (added != CURLM_OK && --runningPerHost_[entry.host] == 0) runningPerHost_.erase(entry.host);
    if (clears) {
      --clearingNames_;
    } else {
      namedHosts_.insert(entry.host);
    }
  } catch (const std::bad_alloc&) {
    // Reported below like any other start that failed; the name is only a bound's bookkeeping.
  }
  if (added != CURLM_OK) {
    End(entry, ComponentError(ErrorCodes::kHttpOther,
                              std::string("Could not start the request: ") + curl_multi_strerror(added)));
    return false;
  }
  Unqueue(entry);
  running_.push_back(&entry);
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
    End(*entry);
  }
}

void DownloadPool::ExpireClocks(Clock::TimePoint now) {
  for (std::size_t i = 0; i < running_.size();) {
    Entry& entry = *running_[i];
    if (std::optional<ComponentError> failure = entry.transfer->Overdue(now)) {
      // End takes it out of running_.
      End(entry, failure);
    } else {
      ++i;
    }
  }
}

void DownloadPool::FailRunning(const std::string& text) {
  while (!running_.empty()) End(*running_.back(), ComponentError(ErrorCodes::kHttpOther, text));
}

void DownloadPool::End(Entry& entry, const std::optional<ComponentError>& failure) noexcept {
  if (entry.state == State::kFinished) return;
  if (entry.state == State::kQueued) {
    Unqueue(entry);
  } else {
    curl_multi_remove_handle(multi_->handle.get(), entry.transfer->Handle());
    running_.erase(std::find(running_.begin(), running_.end(), &entry));
    const auto host = runningPerHost_.find(entry.host);
    if (host != runningPerHost_.end() && --host->second == 0) runningPerHost_.erase(host);
  }
  entry.state = State::kFinished;
  if (failure) entry.transfer->Fail(*failure);
  // What a finished transfer keeps is its answer: its libcurl handle and buffers go now.
  entry.transfer->ReleaseHandle();
  if (entry.prefetched) {
    entry.held = sizeof(Entry) + entry.host.capacity() + entry.transfer->HeldBytes();
    heldBytes_ += entry.held;
  }
}

void DownloadPool::Unqueue(Entry& entry) noexcept {
  const auto found = std::find(queued_.begin(), queued_.end(), &entry);
  if (found == queued_.end()) return;
  queued_.erase(found);
  if (entry.prefetched) --queuedPrefetches_;
}

std::chrono::milliseconds DownloadPool::WaitTime(Clock::TimePoint now, bool hooked) const {
  Clock::TimePoint until = now + kHookInterval;
  if (hooked) until = std::min(until, std::max(now, lastHook_ + kHookInterval));
  for (const Entry* entry : running_) until = std::min(until, entry->transfer->Due());
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
  // At least a millisecond, so that a clock just running out cannot make the wait spin.
  return std::clamp(wait, std::chrono::milliseconds(1), kHookInterval);
}
