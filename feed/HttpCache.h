// What the program keeps between runs about the feeds it downloads: the last full answer of each
// address with its validators, so that the next request can ask "only if changed", and the waits
// that servers asked for. One file per address in one folder; every file is written under a new
// name and renamed into place, and read only when its length and checksum match, so that two
// instances at once and a process killed while writing never leave a body that is read wrong.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "HttpResponse.h"

// The validators kept with an answer, sent back as If-None-Match and If-Modified-Since.
struct CacheValidators {
  std::string etag;
  std::string lastModified;

  // The request header lines that ask for the answer only if it changed.
  std::vector<std::string> RequestHeaders() const;
};

class HttpCache {
 public:
  // At most this much is kept in all; the least recently used answers leave first.
  static constexpr uint64_t kDefaultMaxBytes = 256ull * 1024 * 1024;
  // A server asking for a longer wait is left alone this long at most, so that a wrong header
  // cannot stop a feed for good.
  static constexpr std::chrono::hours kLongestWait{24 * 7};

  // A cache in folder (made when first written), reading the date from clock, which must
  // outlive it. With keepBodies false no answer is kept or used; the waits still are.
  explicit HttpCache(std::string folder, const Clock& clock = Clock::Steady(), uint64_t maxBytes = kDefaultMaxBytes,
                     bool keepBodies = true);

  // $XDG_CACHE_HOME/feedwright, else ~/.cache/feedwright; "" when neither can be told.
  static std::string UserFolder();

  const std::string& Folder() const { return folder_; }

  // The validators kept for url; nothing when no answer is kept (or bodies are not kept).
  std::optional<CacheValidators> Validators(const std::string& url) const;
  // The kept answer of url, as a 200 with fromCache set, marked as just used; nothing when it
  // is missing, unreadable, or its length or checksum does not match.
  std::optional<HttpResponse> Load(const std::string& url) const;
  // Keeps a 200 answer of url that carries an ETag or a Last-Modified; false when it is not kept
  // (no validator, bodies not kept, or the folder cannot be written). Then the least recently
  // used answers leave until the whole fits.
  bool Store(const std::string& url, const HttpResponse& response);

  // Remembers that the server of url asked not to be asked again for seconds.
  void RememberWait(const std::string& url, std::chrono::seconds seconds);
  // How long the server of url still asked to be left alone; nothing when it did not, or the
  // wait is over.
  std::optional<std::chrono::seconds> WaitLeft(const std::string& url) const;

 private:
  std::string PathFor(const std::string& url, const char* extension) const;
  // Writes head and body as the file at path, under a new name renamed into place; false when
  // the folder cannot be made or written.
  bool WriteReplacing(const std::string& path, std::string_view head, std::string_view body = {}) const;
  void Evict();

  std::string folder_;
  const Clock& clock_;
  uint64_t maxBytes_;
  bool keepBodies_;
  // The bytes the folder's answers took at the last count; nothing before the first.
  std::optional<uint64_t> knownBytes_;
};

// The wait a Retry-After value asks for: whole seconds, or an HTTP date counted from now;
// nothing for a value that is neither. A date in the past asks for no wait.
std::optional<std::chrono::seconds> ParseRetryAfter(const std::string& value, Clock::WallTime now);
