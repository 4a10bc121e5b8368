// Downloads the enclosures of a saved entry (its episode, images, documents) into the folder
// beside the entry's file, each streamed into a file of its own that gets its name only once it
// is whole and on disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DownloadPool.h"
#include "HttpOptions.h"

class Clock;
class FeedItem;
class FolderHandle;
class FolderSyncs;

// What became of one enclosure.
struct EnclosureOutcome {
  std::string url;
  // Where it was saved; "" when it was not.
  std::string path;
  uint64_t bytes = 0;
  // Why it was not saved; "" when it was.
  std::string failure;
};

// How far the download of one enclosure has got.
struct EnclosureProgress {
  int64_t row = 0;
  std::string url;
  uint64_t bytes = 0;
  // The length the feed gives, 0 when it gives none.
  uint64_t expected = 0;
  double bytesPerSecond = 0;
};

// "12.3 MiB of 40.0 MiB, 85.2 MiB/s"; without " of ..." when the length is not known.
std::string ProgressText(const EnclosureProgress& progress);

// The extension an enclosure's file gets, without the dot: the one its address's path ends in,
// else the usual one of its media type, else "bin". Only letters and digits, at most 10 of them,
// in lower case.
std::string EnclosureExtension(std::string_view url, std::string_view type);

// The name of try number (from 0) for an enclosure of the entry whose file name, its extension
// left out, is stem: "stem.ext", then "stem-2.ext", "stem-3.ext", ...; the stem is cut on a
// character boundary so that the name fits kMaxComponentBytes.
std::string EnclosureName(std::string_view stem, std::string_view extension, int number);

class EnclosureSaver {
 public:
  static constexpr uint64_t kDefaultMaxBytes = 2ull * 1024 * 1024 * 1024;

  // Downloads under the feeds' connection and idle time-outs and per-host limit, with a
  // ceiling of maxBytes per enclosure. Each gets the feeds' whole-download deadline for every
  // feed ceiling's worth of maxBytes (32 minutes for 2 GiB at the defaults), so that a large
  // file that keeps arriving is not cut off while a server that drips still is.
  EnclosureSaver(const HttpOptions& feeds, DownloadLimits limits, uint64_t maxBytes, const Clock& clock);
  ~EnclosureSaver();
  EnclosureSaver(const EnclosureSaver&) = delete;
  EnclosureSaver& operator=(const EnclosureSaver&) = delete;

  // Called about five times a second while an enclosure downloads.
  void OnProgress(std::function<void(const EnclosureProgress&)> observer) { progress_ = std::move(observer); }
  // Called with each entry's outcomes once its enclosures are done.
  void OnSaved(std::function<void(int64_t row, const std::vector<EnclosureOutcome>&)> observer) {
    saved_ = std::move(observer);
  }
  // Called while a download waits, as often as every 25 ms; false abandons the download (the
  // window's events, a stop asked for).
  void SetWaitHook(std::function<bool()> hook) { waitHook_ = std::move(hook); }

  // Saves every enclosure of entry (row's, read from the feed at base, which a relative address
  // is resolved against) into folder, named from stem; the folder is noted in syncs when a file
  // got a name there. A failure is the outcome of its enclosure only; nothing in the folder is
  // ever replaced. Never throws but for memory.
  std::vector<EnclosureOutcome> SaveAll(int64_t row, const FeedItem& entry, const std::string& base,
                                        const FolderHandle& folder, const std::string& stem, FolderSyncs& syncs);

 private:
  class FileSink;
  EnclosureOutcome SaveOne(int64_t row, const std::string& url, const std::string& type, uint64_t expected,
                           const FolderHandle& folder, const std::string& stem, FolderSyncs& syncs);

  HttpOptions options_;
  DownloadLimits limits_;
  uint64_t maxBytes_;
  std::chrono::milliseconds deadline_;
  const Clock& clock_;
  std::unique_ptr<DownloadPool> pool_;
  std::function<void(const EnclosureProgress&)> progress_;
  std::function<bool()> waitHook_;
  std::function<void(int64_t, const std::vector<EnclosureOutcome>&)> saved_;
};
