// Times the feed engine's parse path, ParseFeed (decode, clean, load, extract items, strip
// markup), on generated feeds, against two references measured in the same run: the floor of reading the file and
// parsing it with pugixml alone, and Python's feedparser on the same file. Peak memory is taken
// per feed in a fresh child process.
//
//   parse_path_bench [run] [--sizes 100,1000] [--dialects rss,atom] [--feedparser-max N]
//                    [--seconds S] [--dir DIR] [--python PATH] [--no-memory]
//   parse_path_bench generate [--sizes ...] [--dialects ...] [--dir DIR]
//   parse_path_bench phases FILE        time each step of the path on its own
//   parse_path_bench times FILE --dialects D --sizes N   (child) the interleaved timings
//   parse_path_bench repeat FILE [N]    N reads of one feed and nothing else, for a profiler
//   parse_path_bench repeat-floor FILE [N]  the same for the floor
//   parse_path_bench peak FILE          (child) one ParseFeed, then the peak RSS in KiB
//   parse_path_bench peak-floor FILE    (child) read + pugixml, then the peak RSS in KiB
//   parse_path_bench peak-baseline      (child) start only, then the peak RSS in KiB
//   parse_path_bench entry-bomb FILE N  write an RSS feed of N empty items (for peak)

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <malloc.h>

#include <pugixml.hpp>
#include <simdjson.h>

#include "BenchSupport.h"
#include "ErrorCodes.h"
#include "FeedGenerator.h"
#include "FeedParser.h"
#include "PhaseTimer.h"
#include "XmlDocument.h"

using namespace BenchSupport;

namespace {

// The floor parses with the reader's own options.
constexpr unsigned kFloorParseOptions = XmlDocument::kParseOptions;

struct Options {
  std::string mode = "run";
  std::string file;
  std::string dir = FEEDWRIGHT_BENCH_FEED_DIR;
  std::string python = "/usr/bin/python3";
  std::string script = FEEDWRIGHT_FEEDPARSER_SCRIPT;
  std::vector<std::size_t> sizes = {100, 1000, 10000, 100000};
  std::vector<FeedDialect> dialects = {FeedDialect::kRss, FeedDialect::kRdf, FeedDialect::kAtom};
  std::size_t feedparserMax = 10000;
  double seconds = 1.0;  // time budget per method and feed
  int repetitions = 20;  // for repeat
  bool memory = true;
  bool warmAllocator = true;  // keep freed memory in the process while timing
};

struct Row {
  FeedDialect dialect;
  std::size_t items = 0;
  std::size_t bytes = 0;
  int repetitions = 0;
  double floorBest = 0, oursBest = 0, floorMedian = 0, oursMedian = 0;
  double feedparser = -1;  // seconds; negative when not run
  long peakKb = -1, floorPeakKb = -1;
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> words;
  std::stringstream stream(text);
  std::string word;
  while (std::getline(stream, word, ',')) {
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

FeedDialect ParseDialect(const std::string& name) {
  for (FeedDialect dialect : {FeedDialect::kRss, FeedDialect::kRdf, FeedDialect::kAtom, FeedDialect::kJson}) {
    if (name == DialectName(dialect)) return dialect;
  }
  throw std::runtime_error("unknown dialect " + name + " (rss, rdf, atom or json)");
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  int index = 1;
  if (index < argc && argv[index][0] != '-') options.mode = argv[index++];
  const bool repeat = options.mode == "repeat" || options.mode == "repeat-floor" ||
                     options.mode == "entry-bomb";
  if ((options.mode == "phases" || options.mode == "times" || repeat || options.mode == "peak" ||
       options.mode == "peak-floor") &&
      index < argc) {
    options.file = argv[index++];
    if (repeat && index < argc && argv[index][0] != '-') {
      options.repetitions = std::stoi(argv[index++]);
    }
  }
  for (; index < argc; ++index) {
    std::string flag = argv[index];
    auto value = [&]() -> std::string {
      if (index + 1 >= argc) throw std::runtime_error(flag + " needs a value");
      return argv[++index];
    };
    if (flag == "--sizes") {
      options.sizes.clear();
      for (const std::string& word : SplitList(value())) options.sizes.push_back(std::stoul(word));
    } else if (flag == "--dialects") {
      options.dialects.clear();
      for (const std::string& word : SplitList(value())) {
        options.dialects.push_back(ParseDialect(word));
      }
    } else if (flag == "--feedparser-max") {
      options.feedparserMax = std::stoul(value());
    } else if (flag == "--seconds") {
      options.seconds = std::stod(value());
    } else if (flag == "--dir") {
      options.dir = value();
    } else if (flag == "--python") {
      options.python = value();
    } else if (flag == "--no-memory") {
      options.memory = false;
    } else if (flag == "--cold-allocator") {
      options.warmAllocator = false;
    } else {
      throw std::runtime_error("unknown argument " + flag);
    }
  }
  return options;
}

std::string FeedPath(const Options& options, FeedDialect dialect, std::size_t items) {
  return options.dir + "/" + DialectName(dialect) + "-" + std::to_string(items) +
         (dialect == FeedDialect::kJson ? ".json" : ".xml");
}

std::string EnsureFeed(const Options& options, FeedDialect dialect, std::size_t items) {
  std::string path = FeedPath(options, dialect, items);
  if (!FileExists(path)) {
    RunCommand("mkdir -p " + ShellQuote(options.dir));
    WriteFile(path, GenerateFeed(dialect, items));
  }
  return path;
}

int32_t ExpectedFeedType(FeedDialect dialect) {
  return dialect == FeedDialect::kRss ? 1 : dialect == FeedDialect::kRdf ? 2 : dialect == FeedDialect::kAtom ? 3 : 4;
}

// Read the file and parse it with pugixml alone, document torn down included.
double TimeFloor(const std::string& path) {
  double start = Now();
  // A JSON Feed's floor is simdjson's DOM parse alone, as the reader makes it.
  if (path.size() > 5 && path.compare(path.size() - 5, 5, ".json") == 0) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(ReadFile(path)).get(root) != simdjson::SUCCESS) throw std::runtime_error("simdjson refused " + path);
    return Now() - start;
  }
  {
    std::string text = ReadFile(path);
    pugi::xml_document document;
    pugi::xml_parse_result result =
        document.load_buffer(text.data(), text.size(), kFloorParseOptions, pugi::encoding_utf8);
    if (!result || !document.document_element()) {
      throw std::runtime_error("pugixml refused " + path);
    }
  }
  return Now() - start;
}

// Read the file and parse it as a retrieval run's reader does (decoding included), keeping the
// result in last as the reader keeps its items: each call also releases the items of the call
// before.
double TimeOurs(ParsedFeed& last, const std::string& path, const Row& row) {
  double start = Now();
  last = ParseFeed(ReadFile(path));
  double elapsed = Now() - start;
  if (!last.parsed || last.feedType != ExpectedFeedType(row.dialect) || last.items.size() != row.items) {
    throw std::runtime_error("the parser did not read " + path + ": " + last.errorText);
  }
  return elapsed;
}

void MeasureTimes(const Options& options, const std::string& path, Row& row) {
  ParsedFeed last;
  TimeFloor(path);  // warm the page cache and the allocator
  TimeOurs(last, path, row);
  std::vector<double> floorTimes, ourTimes;
  double spent = 0;
  // Interleaved, so that a burst of load on the shared machine hits both alike.
  while (floorTimes.size() < 5 || (spent < 2 * options.seconds && floorTimes.size() < 200)) {
    floorTimes.push_back(TimeFloor(path));
    ourTimes.push_back(TimeOurs(last, path, row));
    spent += floorTimes.back() + ourTimes.back();
  }
  row.repetitions = static_cast<int>(floorTimes.size());
  row.floorBest = Minimum(floorTimes);
  row.oursBest = Minimum(ourTimes);
  row.floorMedian = Median(floorTimes);
  row.oursMedian = Median(ourTimes);
}

// This machine is a virtual machine where touching a page the process has just given back costs
// up to tens of microseconds, and how much it costs swings with the host's state: by default,
// glibc gives a large freed heap back after each read, so both timings would mostly measure
// page faults. Keeping freed memory in the process measures the parsing itself, for the floor
// and for the reader alike; --cold-allocator measures with glibc's defaults.
void KeepFreedMemory() {
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

// Each feed is timed in a fresh process: the allocator's state after one feed (how much of the
// heap it keeps, where its thresholds stand) otherwise changes the page faults of the next.
void ChildTimes(const Options& options, const std::string& path, Row& row) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", options.seconds);
  const std::string command = ShellQuote(SelfPath()) + " times " + ShellQuote(path) +
                              " --dialects " + DialectName(row.dialect) + " --sizes " +
                              std::to_string(row.items) + " --seconds " + seconds +
                              (options.warmAllocator ? "" : " --cold-allocator");
  std::stringstream output(RunCommand(command));
  output >> row.floorBest >> row.oursBest >> row.floorMedian >> row.oursMedian >> row.repetitions;
  if (!output) throw std::runtime_error("no timings from: " + command);
}

int Times(const Options& options) {
  if (options.dialects.size() != 1 || options.sizes.size() != 1) {
    throw std::runtime_error("times needs one dialect and one size");
  }
  if (options.warmAllocator) KeepFreedMemory();
  Row row{options.dialects.front()};
  row.items = options.sizes.front();
  MeasureTimes(options, options.file, row);
  std::printf("%.9f %.9f %.9f %.9f %d\n", row.floorBest, row.oursBest, row.floorMedian,
              row.oursMedian, row.repetitions);
  return 0;
}

double MeasureFeedparser(const Options& options, const std::string& path, std::size_t items) {
  int repetitions = items <= 1000 ? 3 : 1;
  std::string output = RunCommand(ShellQuote(options.python) + " " + ShellQuote(options.script) +
                                  " " + std::to_string(repetitions) + " " + ShellQuote(path));
  std::stringstream line(output);
  std::string file;
  double seconds = -1;
  std::size_t entries = 0;
  std::getline(line, file, '\t');
  line >> seconds >> entries;
  if (entries != items) {
    throw std::runtime_error("feedparser found " + std::to_string(entries) + " entries in " + path);
  }
  return seconds;
}

long ChildPeakKb(const std::string& mode, const std::string& path) {
  std::string command = ShellQuote(SelfPath()) + " " + mode;
  if (!path.empty()) {
    command += ' ';
    command += ShellQuote(path);
  }
  return std::stol(RunCommand(command));
}

double Megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

void PrintHeader(bool memory) {
  std::printf("| dialect | items | MiB | floor ms | ours ms | ours MiB/s | µs/item | ours/floor"
              " | feedparser s | feedparser/ours |");
  if (memory) std::printf(" floor peak MiB | our peak MiB | bar MiB | peak/size |");
  std::printf("\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|");
  if (memory) std::printf("---:|---:|---:|---:|");
  std::printf("\n");
}

void PrintRow(const Row& row, long baselineKb) {
  const double mb = Megabytes(static_cast<double>(row.bytes));
  std::printf("| %s | %zu | %.2f | %.3f | %.3f | %.0f | %.2f | %.2f (%.2f) |",
              DialectName(row.dialect), row.items, mb, row.floorBest * 1e3, row.oursBest * 1e3,
              mb / row.oursBest, row.oursBest / static_cast<double>(row.items) * 1e6,
              row.oursBest / row.floorBest, row.oursMedian / row.floorMedian);
  if (row.feedparser >= 0) {
    std::printf(" %.3f | %.0f |", row.feedparser, row.feedparser / row.oursBest);
  } else {
    std::printf(" - | - |");
  }
  if (row.peakKb >= 0) {
    const double net = (row.peakKb - baselineKb) / 1024.0;
    const double bar = 2.5 * mb + 10;
    std::printf(" %.1f | %.1f%s | %.1f | %.2f |", (row.floorPeakKb - baselineKb) / 1024.0, net,
                net <= bar ? "" : " (over)", bar, net / mb);
  }
  std::printf("\n");
  std::fflush(stdout);
}

int Run(const Options& options) {
  const long baselineKb = options.memory ? ChildPeakKb("peak-baseline", "") : 0;
  std::printf("Times: best of the interleaved repetitions; in brackets the ratio of the"
              " medians.\n");
  if (options.memory) {
    std::printf("Peak RSS: one read per feed in a fresh process, minus the %.1f MiB of a process"
                " that only starts; bar = 2.5 x size + 10 MiB.\n",
                baselineKb / 1024.0);
  }
  std::printf("\n");
  PrintHeader(options.memory);
  for (FeedDialect dialect : options.dialects) {
    for (std::size_t items : options.sizes) {
      Row row{dialect};
      row.items = items;
      const std::string path = EnsureFeed(options, dialect, items);
      row.bytes = ReadFile(path).size();
      ChildTimes(options, path, row);
      if (items <= options.feedparserMax) row.feedparser = MeasureFeedparser(options, path, items);
      if (options.memory) {
        row.peakKb = ChildPeakKb("peak", path);
        row.floorPeakKb = ChildPeakKb("peak-floor", path);
      }
      PrintRow(row, baselineKb);
    }
  }
  return 0;
}

int Generate(const Options& options) {
  for (FeedDialect dialect : options.dialects) {
    for (std::size_t items : options.sizes) {
      std::printf("%s\n", EnsureFeed(options, dialect, items).c_str());
    }
  }
  return 0;
}

int Repeat(const Options& options) {
  if (options.warmAllocator) KeepFreedMemory();
  const std::string text = ReadFile(options.file);
  ParsedFeed last;
  double start = Now();
  for (int run = 0; run < options.repetitions; ++run) {
    last = ParseFeed(text);
    if (!last.parsed) {
      throw std::runtime_error("the parser did not read " + options.file + ": " + last.errorText);
    }
  }
  std::printf("%d reads, %.3f ms each\n", options.repetitions,
              (Now() - start) / options.repetitions * 1e3);
  return 0;
}

int RepeatFloor(const Options& options) {
  if (options.warmAllocator) KeepFreedMemory();
  double start = Now();
  for (int run = 0; run < options.repetitions; ++run) TimeFloor(options.file);
  std::printf("%d floor reads, %.3f ms each\n", options.repetitions,
              (Now() - start) / options.repetitions * 1e3);
  return 0;
}

int Peak(const Options& options) {
  const ParsedFeed feed = ParseFeed(ReadFile(options.file));
  if (!feed.parsed) {
    // A feed past the entry ceiling still counts: its first entries were read.
    if (feed.errorCode != ErrorCodes::kTooManyEntries) {
      throw std::runtime_error("the parser did not read " + options.file + ": " + feed.errorText);
    }
    std::fprintf(stderr, "%s\n", feed.errorText.c_str());
  }
  std::printf("%ld\n", PeakRssKb());
  return 0;
}

// An RSS feed of count empty items: what a small compressed response can unpack into.
int WriteEntryBomb(const Options& options) {
  std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>";
  feed.reserve(feed.size() + static_cast<std::size_t>(options.repetitions) * 7 + 16);
  for (int i = 0; i < options.repetitions; ++i) feed += "<item/>";
  feed += "</channel></rss>";
  WriteFile(options.file, feed);
  std::printf("%s: %zu bytes, %d entries\n", options.file.c_str(), feed.size(),
              options.repetitions);
  return 0;
}

int PeakFloor(const Options& options) {
  std::string text = ReadFile(options.file);
  pugi::xml_document document;
  if (!document.load_buffer(text.data(), text.size(), kFloorParseOptions, pugi::encoding_utf8)) {
    throw std::runtime_error("pugixml refused " + options.file);
  }
  std::printf("%ld\n", PeakRssKb());
  return 0;
}

int PeakBaseline() {
  std::printf("%ld\n", PeakRssKb());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Options options = ParseOptions(argc, argv);
    if (options.mode == "run") return Run(options);
    if (options.mode == "generate") return Generate(options);
    if (options.mode == "peak-baseline") return PeakBaseline();
    if (options.file.empty()) throw std::runtime_error(options.mode + " needs a feed file");
    if (options.mode == "phases") return TimePhases(ReadFile(options.file));
    if (options.mode == "times") return Times(options);
    if (options.mode == "repeat") return Repeat(options);
    if (options.mode == "repeat-floor") return RepeatFloor(options);
    if (options.mode == "peak") return Peak(options);
    if (options.mode == "peak-floor") return PeakFloor(options);
    if (options.mode == "entry-bomb") return WriteEntryBomb(options);
    throw std::runtime_error("unknown mode " + options.mode);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "parse_path_bench: %s\n", error.what());
    return 1;
  }
}
