// The program started with options: one whole job without a window. The URL file is loaded,
// every feed read and the results saved or listed by the same code the window's buttons run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "HttpOptions.h"

// Exit statuses of the batch mode.
inline constexpr int kBatchSuccess = 0;
// A feed failed, or a file could not be written; everything else was still done.
inline constexpr int kBatchFailed = 1;
// A save stopped by SIGINT or SIGTERM ends with 128 and the signal's number, after the summary.
// Bad usage, or a URL file that cannot be used (missing, unreadable, broken OPML); nothing was
// read or written.
inline constexpr int kBatchUsage = 2;

// What the batch mode takes from where it runs rather than from its options.
struct BatchSurroundings {
  // Where answers are kept between runs and servers' waits remembered; "" keeps nothing.
  std::string cacheFolder;
  // Standard error is a terminal: the per-feed progress lines are written only then.
  bool errIsTerminal = false;
  // Where the record of the files saved is kept; "" records nothing.
  std::string dataFolder;
};

// Runs the job that args (the options, the program name left out) ask for and returns the exit
// status. The listing and the answers of --help and --version go to out; progress, messages and
// the summary go to err. http sets the time-outs and limits of the downloads; --timeout replaces
// its deadline.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const HttpOptions& http = {}, const BatchSurroundings& surroundings = {});
