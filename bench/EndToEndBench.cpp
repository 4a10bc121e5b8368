// The whole program as a user meets it: `feedwright --batch URLFILE --list` started as a process,
// against loopback servers in this process, timed from fork to exit.
//
//   (a) one large RSS 2.0 feed, against Debian's python3-feedparser parsing the same file as a
//       whole process, runs interleaved;
//   (b) the peak memory of those runs (ru_maxrss of each child) against 2.5 x the feed + 10 MiB;
//   (c) many small feeds on several loopback addresses, each answering after a delay: the
//       program's default against --jobs 1, and the two listings compared byte for byte.
//
// `end_to_end --help` lists the options; `end_to_end serve` only serves the feeds (for perf).

#include <sys/mman.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ChildSpawner.h"
#include "EndToEndServers.h"
#include "FeedGenerator.h"

extern char** environ;

namespace {

constexpr const char* kFeedparserScript =
    "import feedparser,sys; d=feedparser.parse(sys.argv[1]); print(len(d.entries))";
constexpr double kMiB = 1024.0 * 1024.0;
// The bars the figures are read against.
constexpr double kSpeedBar = 40;          // (a) feedparser / feedwright, medians
constexpr double kMemoryFactorBar = 2.5;  // (b) peak <= 2.5 x feed + 10 MiB
constexpr double kMemorySlackMiB = 10;
constexpr double kParallelBar = 6;  // (c) --jobs 1 / default, medians

const char* const kUsage =
    "Usage: end_to_end [OPTION...]        time the parts and print one table per part\n"
    "       end_to_end serve [OPTION...]  only serve the feeds and write the URL files,\n"
    "                                     until Ctrl-C (for perf or a manual run)\n"
    "Options:\n"
    "  --feedwright PATH  the program (default: this build's app/feedwright)\n"
    "  --python PATH      the Python with python3-feedparser (default /usr/bin/python3)\n"
    "  --parts LIST       any of a,b,c (default a,b,c); b alone runs no feedparser\n"
    "  --runs N           timed runs per side, after one untimed checking run (default 5)\n"
    "  --items N          entries in the large feed of (a) and (b) (default 10000)\n"
    "  --tunables TEXT    GLIBC_TUNABLES for a third side in (a) and (b)\n"
    "                     (default glibc.malloc.hugetlb=1; \"\" leaves the side out)\n"
    "  --feeds N          feeds in (c) (default 100)\n"
    "  --hosts N          loopback addresses in (c), 127.0.0.1 upwards (default 8)\n"
    "  --delay-ms N       how long each feed of (c) waits before answering (default 50)\n"
    "  --small-items N    entries per feed in (c) (default 10)\n"
    "  --jobs N           pass --jobs N to the default side of (c) (default: not passed)\n"
    "  --dir DIR          where feeds, URL files and outputs go (default: in the build)\n"
    "Exit status: 0 done (whatever the figures), 1 a run failed or the listings differ,\n"
    "2 bad usage.\n";

struct Options {
  bool serve = false;
  std::string feedwright;
  std::string python = "/usr/bin/python3";
  std::string dir;
  bool partA = true, partB = true, partC = true;
  int runs = 5;
  int items = 10000;
  std::string tunables = "glibc.malloc.hugetlb=1";
  int feeds = 100, hosts = 8, delayMs = 50, smallItems = 10;
  std::string jobs;
};

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int PositiveNumber(const std::string& flag, const std::string& text, int most) {
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < 1 || value > most) {
    throw UsageError(flag + " needs a whole number from 1 to " + std::to_string(most));
  }
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
#ifdef FEEDWRIGHT_E2E_PROGRAM
  options.feedwright = FEEDWRIGHT_E2E_PROGRAM;
#endif
  options.dir = FEEDWRIGHT_E2E_DIR;
  int first = 1;
  if (argc > 1 && std::string(argv[1]) == "serve") {
    options.serve = true;
    first = 2;
  }
  for (int index = first; index < argc; ++index) {
    const std::string flag = argv[index];
    if (flag == "--help" || flag == "-h") throw UsageError("");
    if (index + 1 >= argc) throw UsageError("unknown option or missing value: " + flag);
    const std::string value = argv[++index];
    if (flag == "--feedwright") {
      options.feedwright = value;
    } else if (flag == "--python") {
      options.python = value;
    } else if (flag == "--dir") {
      options.dir = value;
    } else if (flag == "--parts") {
      options.partA = value.find('a') != std::string::npos;
      options.partB = value.find('b') != std::string::npos;
      options.partC = value.find('c') != std::string::npos;
      const bool any = options.partA || options.partB || options.partC;
      if (value.find_first_not_of("abc, ") != std::string::npos || !any) {
        throw UsageError("--parts takes a list of a, b and c");
      }
    } else if (flag == "--runs") {
      options.runs = PositiveNumber(flag, value, 1000);
    } else if (flag == "--items") {
      options.items = PositiveNumber(flag, value, 10'000'000);
    } else if (flag == "--tunables") {
      options.tunables = value;
    } else if (flag == "--feeds") {
      options.feeds = PositiveNumber(flag, value, 100'000);
    } else if (flag == "--hosts") {
      options.hosts = PositiveNumber(flag, value, 254);
    } else if (flag == "--delay-ms") {
      options.delayMs = PositiveNumber(flag, value, 60'000);
    } else if (flag == "--small-items") {
      options.smallItems = PositiveNumber(flag, value, 100'000);
    } else if (flag == "--jobs") {
      options.jobs = std::to_string(PositiveNumber(flag, value, 1000));
    } else {
      throw UsageError("unknown option " + flag);
    }
  }
  if (options.feedwright.empty()) throw UsageError("--feedwright PATH is needed");
  return options;
}

// ---- figures ----

struct Spread {
  double median = 0, min = 0, max = 0;
};

Spread SpreadOf(const std::vector<double>& values) {
  if (values.empty()) return {};
  return {BenchSupport::Median(values), *std::min_element(values.begin(), values.end()),
          *std::max_element(values.begin(), values.end())};
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

// One way of doing the job, and what each of its timed runs gave.
struct Side {
  std::string label;
  bool reference = false;  // someone else's program, shown for comparison
  ChildRequest request;
  std::vector<ChildResult> runs;
  // (c): the most requests the servers had at once during one run, in all and on one address.
  int peakAtOnce = 0, peakPerHost = 0;

  template <class Field>
  std::vector<double> Each(Field field) const {
    std::vector<double> values;
    for (const ChildResult& run : runs) values.push_back(field(run));
    return values;
  }
  Spread Wall() const {
    return SpreadOf(Each([](const ChildResult& r) { return r.wallSeconds; }));
  }
  Spread PeakMiB() const {
    return SpreadOf(Each([](const ChildResult& r) { return r.usage.ru_maxrss * 1024.0 / kMiB; }));
  }
  double MedianUser() const {
    return SpreadOf(Each([](const ChildResult& r) { return Seconds(r.usage.ru_utime); })).median;
  }
  double MedianSystem() const {
    return SpreadOf(Each([](const ChildResult& r) { return Seconds(r.usage.ru_stime); })).median;
  }
  double MedianCpu() const {
    return SpreadOf(Each([](const ChildResult& r) {
             return Seconds(r.usage.ru_utime) + Seconds(r.usage.ru_stime);
           }))
        .median;
  }
  double MedianMinorFaults() const {
    return SpreadOf(Each([](const ChildResult& r) { return double(r.usage.ru_minflt); })).median;
  }
};

// Median of slow / fast, and the range of slow[i] / fast[i] over the interleaved rounds.
void PrintRatio(const char* what, const Side& slow, const Side& fast, double bar) {
  const double ratio = slow.Wall().median / fast.Wall().median;
  std::vector<double> pairs;
  for (std::size_t i = 0; i < std::min(slow.runs.size(), fast.runs.size()); ++i) {
    pairs.push_back(slow.runs[i].wallSeconds / fast.runs[i].wallSeconds);
  }
  const Spread spread = SpreadOf(pairs);
  std::printf("  %-50s %7.2f  (rounds %.2f-%.2f)  bar >= %.0f: %s\n", what, ratio, spread.min,
              spread.max, bar, ratio >= bar ? "meets the bar" : "misses the bar");
}

void PrintTimeHeader() {
  std::printf("  %-50s %8s %8s %8s %7s %7s %9s\n", "side", "median s", "min s", "max s", "user s",
              "sys s", "minflt");
}

void PrintTimeRow(const Side& side) {
  const Spread wall = side.Wall();
  std::printf("  %-50s %8.3f %8.3f %8.3f %7.3f %7.3f %9.0f\n", side.label.c_str(), wall.median,
              wall.min, wall.max, side.MedianUser(), side.MedianSystem(), side.MedianMinorFaults());
}

// ---- running ----

std::vector<std::string> BaseEnvironment() {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, "GLIBC_TUNABLES=", 15) != 0) env.push_back(*entry);
  }
  return env;
}

std::string Tail(const std::string& path) {
  std::string text;
  try {
    text = BenchSupport::ReadFile(path);
  } catch (const std::exception&) {
    return "(" + path + " unreadable)";
  }
  constexpr std::size_t kShown = 1500;
  return text.size() > kShown ? "..." + text.substr(text.size() - kShown) : text;
}

struct RunFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

ChildResult RunOk(ChildSpawner& spawner, const Side& side) {
  ChildResult result = spawner.Run(side.request);
  if (result.execErrno != 0) throw RunFailed(side.label + ": " + result.Describe());
  if (result.ExitCode() != 0) {
    throw RunFailed(side.label + ": " + result.Describe() + "; its standard error (" +
                    side.request.stderrPath + "):\n" + Tail(side.request.stderrPath));
  }
  return result;
}

// Milliseconds per MiB to touch fresh anonymous memory for the first time (64 MiB, one write
// per 4 KiB page, median of three). On these virtual machines it moves several-fold with the
// host's load, and the program's run moves with it: its minor faults x 4 KiB x this figure is
// roughly what its page faults cost.
double FreshMemoryMsPerMiB() {
  constexpr std::size_t kBytes = 64u << 20;
  std::vector<double> costs;
  for (int i = 0; i < 3; ++i) {
    void* memory =
        mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return 0;
    volatile char* bytes = static_cast<char*>(memory);
    const double start = BenchSupport::Now();
    for (std::size_t at = 0; at < kBytes; at += 4096) bytes[at] = 1;
    costs.push_back((BenchSupport::Now() - start) * 1000 / 64);
    munmap(memory, kBytes);
  }
  return BenchSupport::Median(costs);
}

// A line on standard error while the runs go on, which can take minutes.
void Progress(const char* what, int round, int rounds) {
  std::fprintf(stderr, "end_to_end: %s %d of %d\n", what, round + 1, rounds);
}

std::size_t CountLines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The first three fields of /proc/loadavg (1, 5 and 15 minutes).
std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(file >> one >> five >> fifteen)) return "?";
  return one + " " + five + " " + fifteen;
}

Side FeedwrightSide(const Options& options, std::string label, const std::string& urlFile,
                    const std::string& stem) {
  Side side;
  side.label = std::move(label);
  side.request.argv = {options.feedwright, "--batch", urlFile, "--list"};
  side.request.env = BaseEnvironment();
  side.request.stdoutPath = options.dir + "/" + stem + ".jsonl";
  side.request.stderrPath = options.dir + "/" + stem + ".err";
  return side;
}

// ---- (a) and (b) ----

void PrintSpeedTable(const Options& options, const std::vector<Side*>& ours, const Side& theirs,
                     std::size_t feedBytes, double faultCostBefore, double faultCostAfter) {
  std::printf(
      "\n(a) Whole process: feedwright --batch URLFILE --list >/dev/null, feed over loopback,\n"
      "    against python3-feedparser parsing the same file as a whole process\n"
      "    feed: %d entries, RSS 2.0, %zu bytes (%.2f MiB); runs per side: %d, interleaved;\n"
      "    GLIBC_TUNABLES unset but in the side named after it\n\n",
      options.items, feedBytes, feedBytes / kMiB, options.runs);
  PrintTimeHeader();
  for (const Side* side : ours) PrintTimeRow(*side);
  PrintTimeRow(theirs);
  const double faultMiB = ours.front()->MedianMinorFaults() * 4096 / kMiB;
  std::printf(
      "\n  fresh memory, first touch: %.2f ms/MiB before the runs, %.2f after; at that cost\n"
      "  feedwright's %.0f MiB of minor faults take about %.0f-%.0f ms of its run\n\n",
      faultCostBefore, faultCostAfter, faultMiB,
      faultMiB * std::min(faultCostBefore, faultCostAfter),
      faultMiB * std::max(faultCostBefore, faultCostAfter));
  for (const Side* side : ours) {
    PrintRatio(("feedparser / " + side->label).c_str(), theirs, *side, kSpeedBar);
  }
  // Processor time moves less than wall time when other work shares the machine.
  std::printf("  processor time (user + sys medians), feedparser / feedwright:");
  for (const Side* side : ours) {
    std::printf(" %.1f%s", theirs.MedianCpu() / side->MedianCpu(),
                side == ours.back() ? "\n" : ",");
  }
}

void PrintMemoryTable(const std::vector<const Side*>& sides, std::size_t feedBytes) {
  const double barMiB = kMemoryFactorBar * feedBytes / kMiB + kMemorySlackMiB;
  std::printf(
      "\n(b) Peak memory: ru_maxrss of each child (from wait4), against %.1f x the feed + "
      "%.0f MiB = %.1f MiB\n\n",
      kMemoryFactorBar, kMemorySlackMiB, barMiB);
  std::printf("  %-50s %10s %8s %8s %7s  %s\n", "side", "median MiB", "min MiB", "max MiB",
              "x feed", "bar");
  for (const Side* side : sides) {
    const Spread peak = side->PeakMiB();
    std::printf("  %-50s %10.1f %8.1f %8.1f %7.2f  %s\n", side->label.c_str(), peak.median,
                peak.min, peak.max, peak.median * kMiB / feedBytes,
                side->reference      ? "(for comparison)"
                : peak.max <= barMiB ? "meets the bar"
                                     : "misses the bar");
  }
}

// The large feed of (a) and (b): generated, written to a file for feedparser, served, and listed
// in a URL file for feedwright.
struct LargeFeed {
  explicit LargeFeed(const Options& options)
      : body(GenerateFeed(FeedDialect::kRss, static_cast<std::size_t>(options.items))),
        path(options.dir + "/rss-" + std::to_string(options.items) + ".xml"),
        server(body),
        urlFile(options.dir + "/large-feed-urls.txt") {
    BenchSupport::WriteFile(path, body);
    BenchSupport::WriteFile(urlFile, server.Url());
  }

  const std::string body;
  const std::string path;
  LargeFeedServer server;
  const std::string urlFile;
};

void RunLargeFeed(ChildSpawner& spawner, const Options& options) {
  const LargeFeed feed(options);

  Side ours = FeedwrightSide(options, "feedwright", feed.urlFile, "large-feed");
  Side tuned =
      FeedwrightSide(options, "feedwright, " + options.tunables, feed.urlFile, "large-feed-tuned");
  tuned.request.env.push_back("GLIBC_TUNABLES=" + options.tunables);
  Side theirs;
  theirs.label = "python3-feedparser";
  theirs.reference = true;
  theirs.request.argv = {options.python, "-c", kFeedparserScript, feed.path};
  theirs.request.env = BaseEnvironment();
  theirs.request.stdoutPath = options.dir + "/feedparser.out";
  theirs.request.stderrPath = options.dir + "/feedparser.err";

  std::vector<Side*> sides = {&ours};
  if (!options.tunables.empty()) sides.push_back(&tuned);
  if (options.partA) sides.push_back(&theirs);

  // One untimed run per side checks the output (and warms the caches); the timed ones write the
  // listing to /dev/null, as the user would who only wants it parsed.
  for (Side* side : sides) {
    RunOk(spawner, *side);
    const std::string output = BenchSupport::ReadFile(side->request.stdoutPath);
    const std::size_t got = side == &theirs ? std::stoul("0" + output) : CountLines(output);
    if (got != static_cast<std::size_t>(options.items)) {
      throw RunFailed(side->label + " gave " + std::to_string(got) + " entries, not " +
                      std::to_string(options.items));
    }
    if (side != &theirs) side->request.stdoutPath = "/dev/null";
  }
  const double faultCostBefore = FreshMemoryMsPerMiB();
  for (int round = 0; round < options.runs; ++round) {
    Progress("(a, b) round", round, options.runs);
    for (Side* side : sides) side->runs.push_back(RunOk(spawner, *side));
  }
  const double faultCostAfter = FreshMemoryMsPerMiB();

  std::vector<Side*> ourSides(sides.begin(), sides.end() - (options.partA ? 1 : 0));
  if (options.partA) {
    PrintSpeedTable(options, ourSides, theirs, feed.body.size(), faultCostBefore, faultCostAfter);
  }
  if (options.partB) {
    // What the program holds before it reads anything: its libraries, loaded and relocated.
    Side startup =
        FeedwrightSide(options, "feedwright --version (start-up alone)", feed.urlFile, "version");
    startup.reference = true;
    startup.request.argv = {options.feedwright, "--version"};
    for (int round = 0; round < options.runs; ++round)
      startup.runs.push_back(RunOk(spawner, startup));
    std::vector<const Side*> memorySides(sides.begin(), sides.end());
    memorySides.push_back(&startup);
    PrintMemoryTable(memorySides, feed.body.size());
  }
}

// ---- (c) ----

// "" when equal, else where they part.
std::string FirstDifference(const std::string& expected, const std::string& got) {
  if (expected == got) return {};
  const auto mismatch = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
  const std::size_t at = static_cast<std::size_t>(mismatch.first - expected.begin());
  return "first difference on line " + std::to_string(CountLines(expected.substr(0, at)) + 1) +
         " (" + std::to_string(CountLines(got)) + " lines, " +
         std::to_string(CountLines(expected)) + " expected)";
}

// What (c) found beside the times.
struct ListingCheck {
  std::size_t rows = 0;
  int compared = 0;
  std::string difference;  // the first, "" when every listing matched
  std::string note;
};

void PrintParallelTable(const Options& options, const ManyHostServers& servers, const Side& fast,
                        const Side& slow, const ListingCheck& check) {
  // What the program allows at once by default: 8 feeds, at most 4 on one host.
  const int atOnce = std::min(
      {options.jobs.empty() ? 8 : std::stoi(options.jobs), options.hosts * 4, options.feeds});
  std::printf(
      "\n(c) %d feeds on %d loopback address%s (%s), each answering after %d ms with %d "
      "entries\n    runs per side: %d, interleaved\n\n",
      options.feeds, options.hosts, options.hosts == 1 ? "" : "es", servers.Describe().c_str(),
      options.delayMs, options.smallItems, options.runs);
  std::printf("  %-50s %8s %8s %8s %7s %7s  %s\n", "side", "median s", "min s", "max s", "user s",
              "sys s", "most requests at once (all / one host)");
  for (const Side* side : {&fast, &slow}) {
    const Spread wall = side->Wall();
    std::printf("  %-50s %8.3f %8.3f %8.3f %7.3f %7.3f  %d / %d\n", side->label.c_str(),
                wall.median, wall.min, wall.max, side->MedianUser(), side->MedianSystem(),
                side->peakAtOnce, side->peakPerHost);
  }
  const auto waits = [&](int atOnceCount) {
    return ((options.feeds + atOnceCount - 1) / atOnceCount) * options.delayMs / 1000.0;
  };
  std::printf(
      "\n  the servers' delays alone: %.3f s one at a time, %.3f s with %d at once "
      "(ratio %.2f)\n",
      waits(1), waits(atOnce), atOnce, waits(1) / waits(atOnce));
  PrintRatio((slow.label + " / " + fast.label).c_str(), slow, fast, kParallelBar);
  std::printf(
      "  rows: %zu per run; %d listings compared byte for byte with the first of %s: %s\n",
      check.rows, check.compared, slow.label.c_str(),
      check.difference.empty() ? "all the same" : ("DIFFERENT, " + check.difference).c_str());
  if (!check.note.empty()) std::printf("  note: %s\n", check.note.c_str());
}

// The first run of the --jobs 1 side. Until the program knows --jobs it refuses it as bad usage;
// then both sides run without it, and the note says so.
std::string FirstRunOfJobsOne(ChildSpawner& spawner, Side& slow, Side& fast) {
  const ChildResult first = spawner.Run(slow.request);
  const std::string errors = Tail(slow.request.stderrPath);
  if (first.ExitCode() == 2 && errors.find("--jobs") != std::string::npos) {
    slow.label = "feedwright (--jobs 1 refused)";
    slow.request.argv.resize(4);
    fast.label = "feedwright (default)";
    fast.request.argv.resize(4);
    RunOk(spawner, slow);
    return "feedwright refused --jobs (\"" + errors.substr(0, errors.find('\n')) +
           "\"): both sides ran without it.";
  }
  if (first.ExitCode() != 0) RunOk(spawner, slow);  // throws with the child's standard error
  return {};
}

void WriteUrlFile(const std::string& path, const std::vector<std::string>& urls) {
  std::string text;
  for (const std::string& url : urls) text += (text.empty() ? "" : "\n") + url;
  BenchSupport::WriteFile(path, text);
}

bool RunManyHosts(ChildSpawner& spawner, const Options& options) {
  ManyHostServers servers(options.feeds, options.hosts, options.delayMs, options.smallItems);
  const std::string urlFile = options.dir + "/many-hosts-urls.txt";
  WriteUrlFile(urlFile, servers.Urls());

  Side fast = FeedwrightSide(options, "feedwright (default)", urlFile, "many-hosts-default");
  if (!options.jobs.empty()) {
    fast.label = "feedwright --jobs " + options.jobs;
    fast.request.argv.insert(fast.request.argv.end(), {"--jobs", options.jobs});
  }
  Side slow = FeedwrightSide(options, "feedwright --jobs 1", urlFile, "many-hosts-jobs1");
  slow.request.argv.insert(slow.request.argv.end(), {"--jobs", "1"});

  ListingCheck check;
  check.note = FirstRunOfJobsOne(spawner, slow, fast);
  const std::string expected = BenchSupport::ReadFile(slow.request.stdoutPath);
  check.rows = static_cast<std::size_t>(options.feeds) * options.smallItems;
  if (CountLines(expected) != check.rows) {
    throw RunFailed(slow.label + " listed " + std::to_string(CountLines(expected)) + " rows, not " +
                    std::to_string(check.rows));
  }
  const auto compare = [&](const Side& side) {
    ++check.compared;
    const std::string where =
        FirstDifference(expected, BenchSupport::ReadFile(side.request.stdoutPath));
    if (check.difference.empty() && !where.empty()) check.difference = side.label + ": " + where;
  };
  RunOk(spawner, fast);
  compare(fast);
  for (int round = 0; round < options.runs; ++round) {
    Progress("(c) round", round, options.runs);
    for (Side* side : {&fast, &slow}) {
      servers.ResetPeaks();
      side->runs.push_back(RunOk(spawner, *side));
      side->peakAtOnce = std::max(side->peakAtOnce, servers.PeakOverall());
      side->peakPerHost = std::max(side->peakPerHost, servers.PeakPerHost());
      compare(*side);
    }
  }
  PrintParallelTable(options, servers, fast, slow, check);
  return check.difference.empty();
}

// ---- serve ----

int Serve(const Options& options) {
  // Blocked here, before any server thread exists, so that sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const LargeFeed large(options);
  ManyHostServers many(options.feeds, options.hosts, options.delayMs, options.smallItems);
  const std::string manyUrls = options.dir + "/many-hosts-urls.txt";
  WriteUrlFile(manyUrls, many.Urls());

  std::printf("large feed: %s (%zu bytes, also in %s)\n  URL file: %s\n", large.server.Url().c_str(),
              large.body.size(), large.path.c_str(), large.urlFile.c_str());
  std::printf("%d small feeds on %s\n  URL file: %s\nserving until Ctrl-C or SIGTERM\n",
              options.feeds, many.Describe().c_str(), manyUrls.c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError& error) {
    if (*error.what()) std::fprintf(stderr, "end_to_end: %s\n", error.what());
    std::fputs(kUsage, *error.what() ? stderr : stdout);
    return *error.what() ? 2 : 0;
  }
  try {
    std::filesystem::create_directories(options.dir);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (options.serve) return Serve(options);
    // Forked first, while this process is still small: see ChildSpawner.h.
    ChildSpawner spawner;
    std::printf("feedwright: %s\nload average at the start: %s\n", options.feedwright.c_str(),
                LoadAverage().c_str());
    bool same = true;
    if (options.partA || options.partB) RunLargeFeed(spawner, options);
    if (options.partC) same = RunManyHosts(spawner, options);
    std::printf("\nload average at the end: %s\n", LoadAverage().c_str());
    return same ? 0 : 1;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "end_to_end: %s\n", error.what());
    return 1;
  }
}
