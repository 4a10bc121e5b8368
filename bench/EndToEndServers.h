// Loopback HTTP servers for the end-to-end benchmark: one large feed, and many small slow feeds
// spread over several loopback addresses. Each server runs on its own threads in this process.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Requests in progress, and the most there were at once since the last Reset.
class ConcurrencyGauge {
 public:
  void Enter();
  void Leave() { --now_; }
  int Peak() const { return peak_.load(); }
  void Reset() { peak_ = now_.load(); }

 private:
  std::atomic<int> now_{0};
  std::atomic<int> peak_{0};
};

// A cpp-httplib server bound to one address, serving on its own thread.
class HostServer {
 public:
  explicit HostServer(std::string address);
  ~HostServer() { Stop(); }
  HostServer(const HostServer&) = delete;
  HostServer& operator=(const HostServer&) = delete;

  // Register handlers on this before Bind.
  httplib::Server& Http() { return server_; }
  // Binds to the port, or to any free port when it is 0 or taken. Throws when neither works.
  void Bind(int port);
  void Start();
  void Stop();

  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  httplib::Server server_;
  std::string address_;
  std::thread thread_;
  int port_ = 0;
};

// Serves one feed's bytes at /feed.xml on 127.0.0.1, straight from the caller's string.
class LargeFeedServer {
 public:
  explicit LargeFeedServer(const std::string& body);
  std::string Url() const { return server_.Url("/feed.xml"); }

 private:
  HostServer server_;
};

// feedCount small RSS feeds, feed k on 127.0.0.(1 + k % hostCount), all on one port where the
// addresses allow it; every answer comes after delayMs. Counts requests at once, overall and
// per address.
class ManyHostServers {
 public:
  ManyHostServers(int feedCount, int hostCount, int delayMs, int itemsPerFeed);
  ~ManyHostServers();

  // Every feed's address, in feed order.
  const std::vector<std::string>& Urls() const { return urls_; }
  // "127.0.0.1-127.0.0.8, port 41234" or with ports listed when they differ.
  std::string Describe() const;
  void ResetPeaks();
  int PeakOverall() const { return overall_.Peak(); }
  int PeakPerHost() const;

 private:
  std::vector<std::unique_ptr<HostServer>> servers_;
  std::vector<std::unique_ptr<ConcurrencyGauge>> perHost_;
  ConcurrencyGauge overall_;
  std::vector<std::string> feeds_;
  std::vector<std::string> urls_;
};

// A small valid RSS 2.0 feed whose titles and links name the feed and the entry.
std::string SmallFeed(int feedNumber, int itemCount);
