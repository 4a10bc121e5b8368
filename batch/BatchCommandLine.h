// The options of the batch mode: what the program is asked to do when started with options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "NameTemplate.h"
#include "OutputFormats.h"

struct BatchCommand {
  enum class Action {
    kHelp,        // --help: print the usage
    kVersion,     // --version: print the program's name and version
    kSaveFiles,   // --batch URLFILE --out DIR
    kList,        // --batch URLFILE --list [--only-new --out DIR]
    kCatchUp,     // --batch URLFILE --out DIR --catch-up
    kUsageError,  // anything else; error says what is wrong
  };

  Action action = Action::kUsageError;
  std::string urlFile;
  std::string outFolder;
  // --jobs N: feeds downloaded at once; nothing when not given.
  std::optional<int> jobs;
  // --max-rows N: the most results rows the run keeps; nothing when not given.
  std::optional<int> maxRows;
  // --timeout SECONDS: the time every download has to complete; nothing when not given.
  std::optional<int> timeoutSeconds;
  // --format: what each file holds; --name: the file-name template, as given.
  OutputFormat format = OutputFormat::kText;
  std::string nameTemplate = NameTemplate::kDefault;
  // --no-cache: every feed downloaded whole, and nothing kept for the next run.
  bool noCache = false;
  // --archive: each feed's archive is walked too; --archive-pages N: at most N pages a feed
  // (nothing when not given: ArchiveWalk::kDefaultMaxPages).
  bool archive = false;
  std::optional<int> archivePages;
  // --quiet: only failures on standard error.
  bool quiet = false;
  // --only-new: only the entries not yet saved into the --out folder are saved or listed.
  bool onlyNew = false;
  // --catch-up: every current entry recorded as saved into the --out folder; nothing written.
  bool catchUp = false;
  // --enclosures: each saved entry's enclosures downloaded beside its file.
  bool enclosures = false;
  // --enclosure-max-bytes N: the largest enclosure downloaded; nothing when not given.
  std::optional<uint64_t> enclosureMaxBytes;
  std::string error;
};

// The largest --max-rows: ten times the default, since every row is held in memory.
inline constexpr int kMaxRowsLimit = 10'000'000;
// The ranges --jobs and --timeout accept.
inline constexpr int kMaxJobs = 64;
inline constexpr int kMaxTimeoutSeconds = 86400;
// The largest --enclosure-max-bytes: 1 TiB.
inline constexpr uint64_t kMaxEnclosureBytes = 1ull << 40;

// Reads the options, the program name left out. Options may come in any order, each at most
// once; a value follows its option as the next argument or after "=" ("--out=DIR"). A value
// given as the next argument may not start with "-", so that a forgotten value is not taken
// from the option behind it. --help and --version answer at once, whatever follows.
BatchCommand ParseBatchCommand(const std::vector<std::string>& args);

// The text of --help.
std::string BatchUsage();
