// Runs several GETs side by side from the calling thread over one libcurl multi handle, so that
// the next feeds of a run download while an earlier one is parsed. No threads: the transfers move
// on whenever Fetch waits or Perform is called.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Clock.h"
#include "Component.h"
#include "HttpOptions.h"
#include "HttpResponse.h"

// A user name and password; only both empty means none were given.
struct HttpCredentials {
  std::string user;
  std::string password;

  bool Given() const { return !(user.empty() && password.empty()); }
};

class BodySink;
class CurlTransfer;
class HttpCache;

// How many transfers of a pool run at once.
struct DownloadLimits {
  // Transfers running at once; more wait in the pool's own queue, so that a transfer's clocks
  // start only when it really starts.
  std::size_t transfers = 8;
  // Transfers running at once to one host (by name: 127.0.0.1 and 127.0.0.2 are two hosts).
  std::size_t perHost = 4;
  // The memory that finished prefetches no Fetch has taken yet may hold (bodies, addresses and
  // texts) before the look-ahead waits for the reader to take some. A finished failure holds
  // only its address and its reason, so refused feeds hardly count.
  std::size_t heldBytes = 64u * 1024u * 1024u;
};

class DownloadPool {
 public:
  using Limits = DownloadLimits;

  // options set the time-outs and ceilings of every transfer, read on clock, which must outlive
  // the pool. Limits of 0 count as 1. Throws ComponentError when libcurl cannot start.
  explicit DownloadPool(const HttpOptions& options, Limits limits = {}, const Clock& clock = Clock::Steady());
  // Ends every transfer still held.
  ~DownloadPool();
  DownloadPool(const DownloadPool&) = delete;
  DownloadPool& operator=(const DownloadPool&) = delete;

  // Keeps answers in cache and asks with their validators; a 304 to such a request is answered
  // with the kept answer. Also keeps and honours the waits servers ask for with Retry-After.
  // Requests with credentials neither use nor fill the kept answers. Null: none of this.
  void UseCache(std::shared_ptr<HttpCache> cache) { cache_ = std::move(cache); }

  // Queues a GET of url without credentials for a later Fetch of the same url. False, with
  // nothing queued, for an address that cannot be fetched (or whose server asked to wait): its
  // Fetch reports why.
  bool Prefetch(const std::string& url);

  // The addresses to prefetch next, in the order they will be fetched; nothing when there is no
  // more for now. Asked whenever the pool moves on, also while a Fetch waits, as long as fewer
  // prefetches than Limits::transfers wait to start and the finished ones hold less than
  // Limits::heldBytes: so the look-ahead is bounded by memory, not by rows, and a slow feed far
  // down the list starts while an earlier slow one is still awaited. A throw counts as nothing.
  using LookAhead = std::function<std::optional<std::string>()>;
  void SetLookAhead(LookAhead next) { lookAhead_ = std::move(next); }

  // The final response of a GET of url. Without credentials it takes the oldest prefetch of url
  // that no Fetch has taken yet, and drops every older prefetch still waiting (the caller has
  // passed those by); otherwise, or when there is none, it starts a transfer of its own. Waits
  // for it while moving every transfer on, calling waitHook (when set) at most every 25 ms;
  // waitHook answering false abandons the wait and the transfer. Throws ComponentError, with
  // kServerAsksToWait for a 429 or 503 that asks to wait and while such a wait lasts.
  HttpResponse Fetch(const std::string& url, const HttpCredentials& server, const HttpCredentials& proxy,
                     const std::function<bool()>& waitHook);

  // The final response of a GET of url without credentials whose body goes into sink rather
  // than into memory (the response's body is empty): at most maxBytes of it, counted as they
  // arrive, within deadline from its start; the pool's other clocks and its per-host limit hold
  // as for Fetch, and nothing is kept in the cache. Throws ComponentError as Fetch does, also for
  // an answer other than a success (2xx), a body past maxBytes or unlike its announced length,
  // and a sink that refuses bytes.
  HttpResponse FetchInto(const std::string& url, BodySink& sink, std::size_t maxBytes,
                         std::chrono::milliseconds deadline, const std::function<bool()>& waitHook);

  // Moves every transfer on without waiting: starts queued ones, reads what has arrived, ends
  // those whose clocks ran out. Does nothing when called from inside the pool's own work.
  void Perform() noexcept;

  // Ends every transfer: running, queued, or finished and not yet taken; forgets the look-ahead.
  void Abandon() noexcept;

  // Prefetches that no Fetch has taken yet, whatever their state.
  std::size_t Prefetched() const { return prefetched_; }
  // What the finished prefetches that no Fetch has taken yet hold, in bytes.
  std::size_t HeldBytes() const { return heldBytes_; }
  // Every transfer the pool holds.
  std::size_t Transfers() const { return entries_.size(); }
  // Hosts with a transfer running now.
  std::size_t BusyHosts() const { return runningPerHost_.size(); }

 private:
  enum class State { kQueued, kRunning, kFinished };
  struct Entry {
    uint64_t id = 0;
    std::unique_ptr<CurlTransfer> transfer;
    std::string host;
    State state = State::kQueued;
    // Queued by Prefetch and not yet taken by a Fetch.
    bool prefetched = false;
    // A Fetch waits for it: it starts before the other queued transfers.
    bool awaited = false;
    // Sent with the validators of a kept answer.
    bool conditional = false;
    // What it counts in heldBytes_: set when a prefetch finishes, cleared when it is taken.
    std::size_t held = 0;
  };
  using Entries = std::list<Entry>;

  // validators: ask only for a changed answer when one is kept.
  Entry& Add(const std::string& url, const HttpCredentials& server, const HttpCredentials& proxy,
             bool validators = true);
  // Waits for entry (a new transfer when null) and gives its response; conditional tells
  // whether it was asked for only if changed.
  HttpResponse Await(Entry* entry, const std::string& url, const HttpCredentials& server,
                     const HttpCredentials& proxy, const std::function<bool()>& waitHook, bool validators,
                     bool& conditional);
  // Throws kServerAsksToWait while the server of url asked to be left alone.
  void RefuseWhileWaiting(const std::string& url) const;
  // Keeps a full answer, and turns one that asks to wait into the failure that says so.
  HttpResponse Settle(const std::string& url, bool plain, HttpResponse response);
  Entry* TakePrefetch(const std::string& url);
  Entry* Find(uint64_t id);
  void Remove(uint64_t id) noexcept;
  // Takes an entry out of every count and list, ending its transfer.
  Entries::iterator Erase(Entries::iterator entry) noexcept;
  // One round of work: look ahead, start, perform, collect, expire, start again.
  void Work();
  // Queues what the look-ahead gives while there is room for it.
  void LookFurther();
  void StartQueued(Clock::TimePoint now);
  bool Start(Entry& entry, Clock::TimePoint now);
  void CollectFinished();
  void ExpireClocks(Clock::TimePoint now);
  // Ends every running transfer with text, when libcurl's multi handle itself fails.
  void FailRunning(const std::string& text);
  // Ends a queued or running transfer, with failure when given: it leaves the multi handle and
  // the counts of what runs, frees its libcurl handle and, as a prefetch, counts as held.
  void End(Entry& entry, const std::optional<ComponentError>& failure = std::nullopt) noexcept;
  void Unqueue(Entry& entry) noexcept;
  // How long Fetch may wait on the sockets before something is due: a clock, or the wait hook
  // when there is one.
  std::chrono::milliseconds WaitTime(Clock::TimePoint now, bool hooked) const;

  HttpOptions options_;
  const Clock& clock_;
  std::shared_ptr<HttpCache> cache_;
  Limits limits_;
  // Declared before the entries, so that it outlives their easy handles.
  struct MultiOwner;
  std::unique_ptr<MultiOwner> multi_;
  // In the order they were added, which is the order prefetches are taken in.
  Entries entries_;
  std::unordered_map<uint64_t, Entries::iterator> byId_;
  // Not started yet, in the order they start (awaited ones first); a few at a time.
  std::vector<Entry*> queued_;
  std::vector<Entry*> running_;
  // Hosts with a transfer running and how many; a host leaves when its last one ends, so the
  // map is no larger than what runs, however many hosts a run meets.
  std::unordered_map<std::string, std::size_t> runningPerHost_;
  // Hosts whose transfers started since libcurl's name cache was last cleared, and how many
  // transfers are still to start that clear it (see Start).
  std::unordered_set<std::string> namedHosts_;
  std::size_t clearingNames_ = 0;
  std::size_t prefetched_ = 0;
  std::size_t queuedPrefetches_ = 0;
  std::size_t heldBytes_ = 0;
  LookAhead lookAhead_;
  uint64_t nextId_ = 1;
  bool working_ = false;
  // The last call of a wait hook, for every Fetch together.
  Clock::TimePoint lastHook_{};
};
