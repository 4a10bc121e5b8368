// The validating cache measured: feedwright --batch run three times as a process over many feeds
// on eight loopback addresses whose servers answer 304 to a valid If-None-Match. Reports the
// bytes the servers sent in each run (status line, headers and body), the rows listed, and the
// time; then one entry is added to every feed and the third run shows what a changed feed costs.
//
//   cache_bench [--feeds 100] [--hosts 8] [--items 20] [--dir DIR]
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "EndToEndServers.h"

namespace fs = std::filesystem;
using BenchSupport::ShellQuote;

namespace {

struct Options {
  int feeds = 100;
  int hosts = 8;
  int items = 20;
  std::string dir = FEEDWRIGHT_CACHE_BENCH_DIR;
};

// The feeds and what their servers sent: feed k on 127.0.0.(1 + k % hosts).
class Feeds {
 public:
  Feeds(const Options& options) : options_(options), entries_(static_cast<std::size_t>(options.feeds)) {
    for (int host = 0; host < options.hosts; ++host) {
      auto server = std::make_unique<HostServer>("127.0.0." + std::to_string(host + 1));
      server->Http().Get("/feed(\\d+).rss", [this](const httplib::Request& request, httplib::Response& response) {
        Answer(std::stoi(request.matches[1].str()), request, response);
      });
      server->Http().set_logger([this](const httplib::Request&, const httplib::Response& response) {
        std::size_t bytes = 17 + response.reason.size() + response.body.size();
        for (const auto& [name, value] : response.headers) bytes += name.size() + value.size() + 4;
        sent_ += bytes;
      });
      server->Bind(servers_.empty() ? 0 : servers_.front()->Port());
      server->Start();
      servers_.push_back(std::move(server));
    }
    for (int k = 0; k < options.feeds; ++k) {
      entries_[static_cast<std::size_t>(k)] = options.items;
      urls_ += servers_[static_cast<std::size_t>(k % options.hosts)]->Url("/feed" + std::to_string(k) + ".rss") + "\n";
    }
  }

  void AddEntryToEach() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (int& count : entries_) ++count;
  }
  uint64_t TakeSent() { return sent_.exchange(0); }
  int TakeNotModified() { return notModified_.exchange(0); }
  const std::string& Urls() const { return urls_; }

 private:
  void Answer(int k, const httplib::Request& request, httplib::Response& response) {
    int count = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      count = entries_.at(static_cast<std::size_t>(k));
    }
    const std::string tag = "\"" + std::to_string(k) + "-" + std::to_string(count) + "\"";
    response.set_header("ETag", tag);
    if (request.get_header_value("If-None-Match") == tag) {
      ++notModified_;
      response.status = 304;
      return;
    }
    std::string body = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed " + std::to_string(k) +
                       "</title>";
    for (int n = count - 1; n >= 0; --n) {
      body += "<item><title>Entry " + std::to_string(n) + " of feed " + std::to_string(k) +
              "</title><link>http://feeds.example/" + std::to_string(k) + "/" + std::to_string(n) +
              "</link><guid>feed" + std::to_string(k) + "-" + std::to_string(n) + "</guid><description>" +
              std::string(300, static_cast<char>('a' + n % 26)) + "</description></item>";
    }
    response.set_content(body + "</channel></rss>", "application/rss+xml");
  }

  const Options& options_;
  std::vector<std::unique_ptr<HostServer>> servers_;
  std::mutex mutex_;
  std::vector<int> entries_;
  std::string urls_;
  std::atomic<uint64_t> sent_{0};
  std::atomic<int> notModified_{0};
};

struct RunResult {
  std::string listing;
  uint64_t bytes = 0;
  int notModified = 0;
  double seconds = 0;
};

// The run lists, or with action " --out DIR --only-new" saves only what is new.
RunResult Run(Feeds& feeds, const Options& options, const std::string& urlFile, const std::string& action = " --list") {
  const std::string command = "XDG_CACHE_HOME=" + ShellQuote(options.dir + "/cache") +
                              " XDG_DATA_HOME=" + ShellQuote(options.dir + "/data") + " " +
                              ShellQuote(FEEDWRIGHT_CACHE_BENCH_PROGRAM) + " --batch " + ShellQuote(urlFile) + action +
                              " 2>" + ShellQuote(options.dir + "/stderr");
  RunResult result;
  const double start = BenchSupport::Now();
  result.listing = BenchSupport::RunCommand(command);
  result.seconds = BenchSupport::Now() - start;
  result.bytes = feeds.TakeSent();
  result.notModified = feeds.TakeNotModified();
  return result;
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void Print(const char* name, const RunResult& run) {
  std::printf("%-28s %10llu bytes  %6zu rows  %4d answered 304  %.3f s\n", name,
              static_cast<unsigned long long>(run.bytes), Lines(run.listing), run.notModified, run.seconds);
}

}  // namespace

int main(int argc, char* argv[]) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--feeds") options.feeds = std::stoi(value);
    else if (name == "--hosts") options.hosts = std::stoi(value);
    else if (name == "--items") options.items = std::stoi(value);
    else if (name == "--dir") options.dir = value;
    else {
      std::cerr << "unknown option " << name << '\n';
      return 2;
    }
  }
  std::error_code ignored;
  fs::remove_all(options.dir, ignored);
  fs::create_directories(options.dir);
  Feeds feeds(options);
  const std::string urlFile = options.dir + "/urls.txt";
  BenchSupport::WriteFile(urlFile, feeds.Urls());

  std::printf("%d feeds of %d entries on %d loopback addresses\n", options.feeds, options.items, options.hosts);
  const RunResult first = Run(feeds, options, urlFile);
  Print("first run (empty cache)", first);
  const RunResult second = Run(feeds, options, urlFile);
  Print("second run (unchanged)", second);
  // Saving only what is new into one folder: everything, then nothing, then the new entries.
  const std::string out = options.dir + "/out", onlyNew = " --out " + ShellQuote(out) + " --only-new";
  fs::create_directories(out);
  const auto files = [&] { return std::distance(fs::directory_iterator(out), fs::directory_iterator()); };
  Run(feeds, options, urlFile, onlyNew);
  const auto firstSave = files();
  Run(feeds, options, urlFile, onlyNew);
  const auto repeatSave = files() - firstSave;
  feeds.AddEntryToEach();
  const RunResult third = Run(feeds, options, urlFile);
  Print("third run (1 new entry each)", third);
  Run(feeds, options, urlFile, onlyNew);
  const auto newSave = files() - firstSave - repeatSave;
  std::printf("--only-new: first save %td files, repeat %td files (wanted 0), after 1 new entry each %td (wanted %d)\n",
              firstSave, repeatSave, newSave, options.feeds);

  const double share = first.bytes ? 100.0 * static_cast<double>(second.bytes) / static_cast<double>(first.bytes) : 0;
  std::printf("second run received %.2f %% of the first's bytes (wanted at most 5 %%)\n", share);
  std::printf("rows of the second run identical to the first's: %s\n", second.listing == first.listing ? "yes" : "NO");
  std::printf("rows added by the third run: %zd (wanted %d)\n",
              static_cast<std::ptrdiff_t>(Lines(third.listing)) - static_cast<std::ptrdiff_t>(Lines(first.listing)),
              options.feeds);
  const bool good = share <= 5.0 && second.listing == first.listing && repeatSave == 0 && newSave == options.feeds;
  return good ? 0 : 1;
}
