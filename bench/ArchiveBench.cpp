// The archive walk measured: one feed of --pages pages on a loopback server, each linking to the
// one before it with prev-archive, read by the batch mode in this process with --list --archive.
// Reports the time of each walk, the rows listed, the requests the server answered and the
// process's peak resident memory.
//
//   archive_bench [--pages 100] [--items 20] [--runs 3]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "BatchMode.h"
#include "LoopbackServer.h"

namespace {

// Page n (1 is the feed's own) with its entries, linking to page n + 1 while there is one.
std::string Page(int n, int pages, int items) {
  std::string body = "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">"
                     "<channel><title>Archive</title><link>http://example.org/</link>";
  if (n < pages) body += "<atom:link rel=\"prev-archive\" href=\"/page" + std::to_string(n + 1) + ".rss\"/>";
  for (int k = 0; k < items; ++k) {
    const std::string id = std::to_string(n) + "-" + std::to_string(k);
    body += "<item><title>Entry " + id + "</title><link>http://example.org/" + id + "</link><description>Entry " +
            id + " of page " + std::to_string(n) + ", with a few words to read.</description></item>";
  }
  return body + "</channel></rss>";
}

int Option(const std::vector<std::string>& args, const std::string& name, int fallback) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == name) return std::atoi(args[i + 1].c_str());
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int pages = Option(args, "--pages", 100), items = Option(args, "--items", 20), runs = Option(args, "--runs", 3);
  std::vector<std::string> bodies;
  for (int n = 1; n <= pages; ++n) bodies.push_back(Page(n, pages, items));
  std::atomic<int> requests{0};
  LoopbackServer server;
  server.Http().Get(R"(/page(\d+)\.rss)", [&](const httplib::Request& request, httplib::Response& response) {
    ++requests;
    const std::size_t n = std::stoul(request.matches[1]);
    if (n < 1 || n > bodies.size()) {
      response.status = 404;
      return;
    }
    response.set_content(bodies[n - 1], "application/rss+xml");
  });
  server.Start();
  const std::string urls = (std::filesystem::temp_directory_path() / "archive-bench-urls.txt").string();
  std::ofstream(urls) << server.Url("/page1.rss") << '\n';

  for (int run = 1; run <= runs; ++run) {
    requests = 0;
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = RunBatch({"--batch", urls, "--list", "--archive", "--no-cache"}, out, err);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::string listing = out.str();
    const long rows = static_cast<long>(std::count(listing.begin(), listing.end(), '\n'));
    std::printf("run %d: %d pages, %ld rows, %d requests, exit %d, %.3f s\n", run, pages, rows, requests.load(), status,
                took.count());
    if (status != 0) std::cerr << err.str();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::filesystem::remove(urls);
  return 0;
}
