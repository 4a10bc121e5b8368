#include "EndToEndServers.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace {

// More workers than the program will ever open connections to one address at once, so no
// request waits for a worker and every answer takes the set delay.
constexpr std::size_t kWorkersPerServer = 16;

// Counts one request in a gauge for as long as it lives.
class GaugeEntry {
 public:
  explicit GaugeEntry(ConcurrencyGauge& gauge) : gauge_(gauge) { gauge_.Enter(); }
  ~GaugeEntry() { gauge_.Leave(); }
  GaugeEntry(const GaugeEntry&) = delete;
  GaugeEntry& operator=(const GaugeEntry&) = delete;

 private:
  ConcurrencyGauge& gauge_;
};

}  // namespace

void ConcurrencyGauge::Enter() {
  const int value = ++now_;
  int peak = peak_.load();
  while (value > peak && !peak_.compare_exchange_weak(peak, value)) {
  }
}

HostServer::HostServer(std::string address) : address_(std::move(address)) {
  server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkersPerServer); };
  // cpp-httplib writes an answer's head and body in two writes. With Nagle's algorithm on, the
  // body then waits for the client to acknowledge the head, which a client that has just sent
  // its next request on the same connection delays by 40 ms: a stall of the server, not of the
  // client. Web servers send without that wait (nginx's tcp_nodelay is on by default).
  server_.set_tcp_nodelay(true);
}

void HostServer::Bind(int port) {
  if (port > 0 && server_.bind_to_port(address_, port)) {
    port_ = port;
    return;
  }
  port_ = server_.bind_to_any_port(address_);
  if (port_ <= 0) throw std::runtime_error("cannot bind a server to " + address_);
}

void HostServer::Start() {
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // stop() does nothing to a server that is not running yet; the socket already listens, so
  // connections made before this just queue.
  for (int i = 0; i < 5000 && !server_.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void HostServer::Stop() {
  if (thread_.joinable()) {
    server_.stop();
    thread_.join();
  }
}

std::string HostServer::Url(const std::string& path) const {
  return "http://" + address_ + ":" + std::to_string(port_) + path;
}

LargeFeedServer::LargeFeedServer(const std::string& body) : server_("127.0.0.1") {
  // Served from the one string, so the server copies nothing per request.
  server_.Http().Get("/feed.xml", [&body](const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(
        body.size(), "application/rss+xml",
        [&body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(body.data() + offset, length);
        });
  });
  server_.Bind(0);
  server_.Start();
}

std::string SmallFeed(int feedNumber, int itemCount) {
  const std::string feed = std::to_string(feedNumber);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
  out += "<title>Feed " + feed + "</title>\n<link>https://example.com/" + feed + "/</link>\n";
  out += "<description>Small feed " + feed + "</description>\n";
  for (int item = 1; item <= itemCount; ++item) {
    const std::string entry = std::to_string(item);
    out += "<item><title>Feed " + feed + ", entry " + entry + "</title>";
    out += "<link>https://example.com/" + feed + "/" + entry + "?a=1&amp;b=2</link>";
    out += "<description>&lt;p&gt;Entry " + entry + " of feed " + feed +
           " &amp;mdash; caf\xC3\xA9.&lt;/p&gt;</description></item>\n";
  }
  return out + "</channel>\n</rss>\n";
}

ManyHostServers::ManyHostServers(int feedCount, int hostCount, int delayMs, int itemsPerFeed) {
  for (int host = 0; host < hostCount; ++host) {
    servers_.push_back(std::make_unique<HostServer>("127.0.0." + std::to_string(host + 1)));
    perHost_.push_back(std::make_unique<ConcurrencyGauge>());
  }
  for (int feed = 0; feed < feedCount; ++feed) feeds_.push_back(SmallFeed(feed + 1, itemsPerFeed));
  for (int host = 0; host < hostCount; ++host) {
    ConcurrencyGauge* gauge = perHost_[static_cast<std::size_t>(host)].get();
    servers_[static_cast<std::size_t>(host)]->Http().Get(
        R"(/feed-(\d+)\.xml)",
        [this, gauge, delayMs](const httplib::Request& request, httplib::Response& response) {
          const GaugeEntry hostEntry(*gauge), overallEntry(overall_);
          std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
          const std::size_t number = std::stoul(request.matches[1].str());
          if (number >= 1 && number <= feeds_.size()) {
            response.set_content(feeds_[number - 1], "application/rss+xml");
          } else {
            response.status = 404;
          }
        });
  }
  // One port for every address where it is free, as real hosts all answer on port 80.
  int port = 0;
  for (auto& server : servers_) {
    server->Bind(port);
    if (port == 0) port = server->Port();
    server->Start();
  }
  for (int feed = 0; feed < feedCount; ++feed) {
    const HostServer& server = *servers_[static_cast<std::size_t>(feed % hostCount)];
    urls_.push_back(server.Url("/feed-" + std::to_string(feed + 1) + ".xml"));
  }
}

ManyHostServers::~ManyHostServers() {
  for (auto& server : servers_) server->Stop();
}

std::string ManyHostServers::Describe() const {
  std::string text = servers_.front()->Address();
  if (servers_.size() > 1) text += "-" + servers_.back()->Address();
  bool onePort = true;
  for (const auto& server : servers_) onePort = onePort && server->Port() == servers_[0]->Port();
  if (onePort) return text + ", port " + std::to_string(servers_[0]->Port());
  text += ", ports";
  for (const auto& server : servers_) {
    text += ' ';
    text += std::to_string(server->Port());
  }
  return text;
}

void ManyHostServers::ResetPeaks() {
  overall_.Reset();
  for (auto& gauge : perHost_) gauge->Reset();
}

int ManyHostServers::PeakPerHost() const {
  int peak = 0;
  for (const auto& gauge : perHost_) peak = std::max(peak, gauge->Peak());
  return peak;
}
