// Enclosure download throughput over loopback: `feedwright --batch URLFILE --out DIR
// --enclosures` started as a process, saving one feed whose one entry carries a large enclosure,
// against `curl -o` of the same file, and against curl followed by an fdatasync of what it wrote
// (our file is synced before it gets its name). Runs alternate so that load on the machine hits
// each alike; every file written is removed after its run.
//
//   enclosure_bench [--mib 512] [--runs 3] [--dir DIR]
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <httplib.h>

#include "BenchSupport.h"

namespace fs = std::filesystem;
using BenchSupport::ShellQuote;

namespace {

struct Options {
  std::size_t mib = 512;
  int runs = 3;
  std::string dir = FEEDWRIGHT_ENCLOSURE_BENCH_DIR;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--mib") options.mib = std::stoul(value);
    else if (name == "--runs") options.runs = std::stoi(value);
    else if (name == "--dir") options.dir = value;
    else throw std::runtime_error("unknown option " + name);
  }
  return options;
}

// Seconds the shell command took; throws when it fails.
double Timed(const std::string& command) {
  const double start = BenchSupport::Now();
  const int status = std::system(command.c_str());
  const double seconds = BenchSupport::Now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("failed: " + command);
  return seconds;
}

void Expect(const fs::path& file, std::uintmax_t bytes) {
  if (!fs::exists(file) || fs::file_size(file) != bytes) throw std::runtime_error("not whole: " + file.string());
}

}  // namespace

int main(int argc, char** argv) try {
  const Options options = ParseOptions(argc, argv);
  const std::size_t bytes = options.mib << 20;
  // The body is made a block at a time as it goes out, so the server holds 1 MiB, not the file.
  const std::string block(1 << 20, 'e');
  httplib::Server server;
  server.Get("/big.mp3", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(bytes, "audio/mpeg", [&](size_t offset, size_t length, httplib::DataSink& sink) {
      return sink.write(block.data(), std::min(length, block.size() - offset % block.size()));
    });
  });
  int port = 0;
  server.Get("/pod.rss", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content("<rss version='2.0'><channel><item><title>Big</title><enclosure url='http://127.0.0.1:" +
                             std::to_string(port) + "/big.mp3' type='audio/mpeg'/></item></channel></rss>",
                         "application/rss+xml");
  });
  port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  const fs::path dir = options.dir, out = dir / "out", scratch = dir / "scratch";
  fs::create_directories(dir);
  const std::string urls = (dir / "urls.txt").string();
  BenchSupport::WriteFile(urls, "http://127.0.0.1:" + std::to_string(port) + "/pod.rss\n");
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.mp3";
  const std::string ours = ShellQuote(FEEDWRIGHT_ENCLOSURE_BENCH_PROGRAM) + " --batch " + ShellQuote(urls) +
                           " --out " + ShellQuote(out.string()) + " --enclosures --no-cache --quiet";
  const fs::path curled = scratch / "big.mp3";
  const std::string curl = "curl -s -o " + ShellQuote(curled.string()) + " " + ShellQuote(url);
  const std::string sync = " && sync --data " + ShellQuote(curled.string());
  std::vector<double> oursSeconds, curlSeconds, curlSyncSeconds;
  // The largest resident set of any child so far, read before curl has run: the program's own.
  long oursPeakKb = 0;
  for (int run = 0; run < options.runs; ++run) {
    for (const fs::path& folder : {out, scratch}) {
      fs::remove_all(folder);
      fs::create_directories(folder);
    }
    // The record of saved entries is kept in the bench's folder, not the user's.
    oursSeconds.push_back(Timed("XDG_DATA_HOME=" + ShellQuote(dir.string()) + " " + ours));
    Expect(out / ("http127001" + std::to_string(port) + "podrss1.mp3"), bytes);
    if (run == 0) {
      rusage usage{};
      getrusage(RUSAGE_CHILDREN, &usage);
      oursPeakKb = usage.ru_maxrss;
    }
    fs::remove_all(out);
    curlSeconds.push_back(Timed(curl));
    Expect(curled, bytes);
    fs::remove(curled);
    curlSyncSeconds.push_back(Timed(curl + sync));
    Expect(curled, bytes);
    fs::remove_all(scratch);
  }
  server.stop();
  serving.join();
  fs::remove_all(dir);

  const double mb = static_cast<double>(bytes) / 1e6;
  const auto report = [&](const char* name, const std::vector<double>& seconds) {
    std::printf("%-22s best %7.3f s  %8.1f MB/s   median %7.3f s  %8.1f MB/s\n", name,
                BenchSupport::Minimum(seconds), mb / BenchSupport::Minimum(seconds), BenchSupport::Median(seconds),
                mb / BenchSupport::Median(seconds));
  };
  std::printf("%zu MiB enclosure over loopback, %d runs alternated\n", options.mib, options.runs);
  report("feedwright (whole run)", oursSeconds);
  std::printf("%-22s peak resident set %.1f MiB\n", "", static_cast<double>(oursPeakKb) / 1024);
  report("curl -o", curlSeconds);
  report("curl -o + fdatasync", curlSyncSeconds);
  std::printf("ratio ours/curl (median): %.2f; ours/(curl + fdatasync): %.2f\n",
              BenchSupport::Median(oursSeconds) / BenchSupport::Median(curlSeconds),
              BenchSupport::Median(oursSeconds) / BenchSupport::Median(curlSyncSeconds));
  return 0;
} catch (const std::exception& error) {
  std::cerr << "enclosure_bench: " << error.what() << '\n';
  return 1;
}
