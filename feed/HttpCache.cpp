#include "HttpCache.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBodyMagic = "feedwright-cache 1\n";
constexpr std::string_view kWaitMagic = "feedwright-wait 1\n";
// A kept file's header ends within this many bytes, or the file is not one of ours.
constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
// A temporary file this old was left by a process that died while writing it.
constexpr std::chrono::hours kStaleTemporary{1};

// FNV-1a, 64 bits: enough to tell a damaged or cut body from the one that was written, and to
// spread addresses over file names.
uint64_t Hash64(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

// A header value on one line: a line break would end it early and shift every field after it.
std::string OneLine(const std::string& text) {
  std::string line = text;
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return line;
}

// The fields of a kept file's header, "name=value" a line, up to the blank line.
struct KeptHeader {
  std::string url;
  std::string etag;
  std::string lastModified;
  std::string contentType;
  std::string reason;
  uint64_t length = 0;
  uint64_t checksum = 0;
  // Where the body starts in the file.
  std::size_t bodyOffset = 0;
};

std::optional<uint64_t> Number(std::string_view text, int base) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<KeptHeader> ParseHeader(std::string_view text) {
  if (text.substr(0, kBodyMagic.size()) != kBodyMagic) return std::nullopt;
  const std::size_t end = text.find("\n\n");
  if (end == std::string_view::npos) return std::nullopt;
  KeptHeader header;
  header.bodyOffset = end + 2;
  std::string_view fields = text.substr(kBodyMagic.size(), end + 1 - kBodyMagic.size());
  bool haveLength = false;
  bool haveChecksum = false;
  while (!fields.empty()) {
    const std::size_t lineEnd = fields.find('\n');
    const std::string_view line = fields.substr(0, lineEnd);
    fields.remove_prefix(lineEnd + 1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    if (name == "url") header.url = value;
    else if (name == "etag") header.etag = value;
    else if (name == "last-modified") header.lastModified = value;
    else if (name == "content-type") header.contentType = value;
    else if (name == "reason") header.reason = value;
    else if (name == "length" || name == "checksum") {
      const std::optional<uint64_t> number = Number(value, name == "length" ? 10 : 16);
      if (!number) return std::nullopt;
      (name == "length" ? header.length : header.checksum) = *number;
      (name == "length" ? haveLength : haveChecksum) = true;
    }
  }
  if (!haveLength || !haveChecksum) return std::nullopt;
  return header;
}

// The first bytes of a file, up to max; "" when it cannot be read.
std::string ReadPrefix(const std::string& path, std::size_t max) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(max, '\0');
  in.read(text.data(), static_cast<std::streamsize>(max));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::optional<KeptHeader> ReadHeader(const std::string& path, const std::string& url) {
  std::optional<KeptHeader> header = ParseHeader(ReadPrefix(path, kMaxHeaderBytes));
  // Another address with the same hash keeps its own answer there.
  if (!header || header->url != url) return std::nullopt;
  return header;
}

void MarkUsed(const std::string& path, Clock::WallTime now) {
  std::error_code ignored;
  fs::last_write_time(path, fs::file_time_type::clock::from_sys(now), ignored);
}

}  // namespace

std::vector<std::string> CacheValidators::RequestHeaders() const {
  std::vector<std::string> headers;
  if (!etag.empty()) headers.push_back("If-None-Match: " + etag);
  if (!lastModified.empty()) headers.push_back("If-Modified-Since: " + lastModified);
  return headers;
}

HttpCache::HttpCache(std::string folder, const Clock& clock, uint64_t maxBytes, bool keepBodies)
    : folder_(std::move(folder)), clock_(clock), maxBytes_(maxBytes), keepBodies_(keepBodies) {}

std::string HttpCache::UserFolder() {
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  // The base directory rules ask for an absolute path; a relative one is ignored.
  if (cacheHome && cacheHome[0] == '/') return std::string(cacheHome) + "/feedwright";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/feedwright";
  return {};
}

std::string HttpCache::PathFor(const std::string& url, const char* extension) const {
  return folder_ + "/" + Hex(Hash64(url)) + extension;
}

std::optional<CacheValidators> HttpCache::Validators(const std::string& url) const {
  if (!keepBodies_ || folder_.empty()) return std::nullopt;
  const std::optional<KeptHeader> header = ReadHeader(PathFor(url, ".body"), url);
  if (!header || (header->etag.empty() && header->lastModified.empty())) return std::nullopt;
  return CacheValidators{header->etag, header->lastModified};
}

std::optional<HttpResponse> HttpCache::Load(const std::string& url) const {
  if (!keepBodies_ || folder_.empty()) return std::nullopt;
  const std::string path = PathFor(url, ".body");
  const std::optional<KeptHeader> header = ReadHeader(path, url);
  // No answer larger than the whole cache was kept: such a file is not one of ours.
  if (!header || header->length > maxBytes_) return std::nullopt;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  // A body cut short, or one with bytes after it, is not the one that was written.
  if (size < 0 || static_cast<uint64_t>(size) != header->bodyOffset + header->length) return std::nullopt;
  HttpResponse response;
  try {
    response.body.resize(static_cast<std::size_t>(header->length));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  in.seekg(static_cast<std::streamoff>(header->bodyOffset));
  in.read(response.body.data(), static_cast<std::streamsize>(header->length));
  if (static_cast<uint64_t>(in.gcount()) != header->length || Hash64(response.body) != header->checksum) {
    return std::nullopt;
  }
  response.status = 200;
  response.reason = header->reason;
  response.contentType = header->contentType;
  response.etag = header->etag;
  response.lastModified = header->lastModified;
  response.fromCache = true;
  MarkUsed(path, clock_.WallNow());
  return response;
}

bool HttpCache::Store(const std::string& url, const HttpResponse& response) {
  if (!keepBodies_ || folder_.empty() || response.status != 200) return false;
  if (response.etag.empty() && response.lastModified.empty()) return false;
  // One answer larger than the whole cache would only push every other one out.
  if (response.body.size() > maxBytes_) return false;
  std::string contents(kBodyMagic);
  contents += "url=" + OneLine(url) + "\n";
  contents += "etag=" + OneLine(response.etag) + "\n";
  contents += "last-modified=" + OneLine(response.lastModified) + "\n";
  contents += "content-type=" + OneLine(response.contentType) + "\n";
  contents += "reason=" + OneLine(response.reason) + "\n";
  contents += "length=" + std::to_string(response.body.size()) + "\n";
  contents += "checksum=" + Hex(Hash64(response.body)) + "\n\n";
  if (contents.size() > kMaxHeaderBytes) return false;
  const std::string path = PathFor(url, ".body");
  // Written in two parts, so that a large body is not copied behind its header first.
  if (!WriteReplacing(path, contents, response.body)) return false;
  MarkUsed(path, clock_.WallNow());
  if (!knownBytes_) Evict();
  *knownBytes_ += contents.size() + response.body.size();
  if (*knownBytes_ > maxBytes_) Evict();
  return true;
}

bool HttpCache::WriteReplacing(const std::string& path, std::string_view head, std::string_view body) const {
  std::error_code error;
  fs::create_directories(fs::path(folder_).parent_path(), error);
  // What feeds a user reads is their own business: the folder is theirs alone.
  if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) return false;
  static std::atomic<uint64_t> counter{0};
  const std::string temporary =
      path + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, error);
      return false;
    }
  }
  // A reader sees either the old file or the new one whole, never a part of either.
  fs::rename(temporary, path, error);
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

void HttpCache::Evict() {
  struct Kept {
    fs::path path;
    fs::file_time_type used;
    uint64_t size;
  };
  std::vector<Kept> kept;
  uint64_t total = 0;
  std::error_code error;
  const auto staleBefore = fs::file_time_type::clock::from_sys(clock_.WallNow()) - kStaleTemporary;
  for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    std::error_code entryError;
    const fs::file_time_type used = it->last_write_time(entryError);
    if (entryError) continue;
    if (path.extension() == ".tmp") {
      if (used < staleBefore) fs::remove(path, entryError);
      continue;
    }
    if (path.extension() != ".body") continue;
    const uint64_t size = it->file_size(entryError);
    if (entryError) continue;
    kept.push_back({path, used, size});
    total += size;
  }
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.used < b.used; });
  for (const Kept& oldest : kept) {
    if (total <= maxBytes_) break;
    std::error_code removeError;
    if (fs::remove(oldest.path, removeError)) total -= oldest.size;
  }
  knownBytes_ = total;
}

void HttpCache::RememberWait(const std::string& url, std::chrono::seconds seconds) {
  if (folder_.empty()) return;
  seconds = std::min<std::chrono::seconds>(seconds, kLongestWait);
  const auto until = std::chrono::duration_cast<std::chrono::seconds>(
      (clock_.WallNow() + seconds).time_since_epoch());
  std::string contents(kWaitMagic);
  contents += OneLine(url) + "\n" + std::to_string(until.count()) + "\n";
  WriteReplacing(PathFor(url, ".wait"), contents);
}

std::optional<std::chrono::seconds> HttpCache::WaitLeft(const std::string& url) const {
  if (folder_.empty()) return std::nullopt;
  const std::string text = ReadPrefix(PathFor(url, ".wait"), kMaxHeaderBytes);
  const std::string expected = std::string(kWaitMagic) + OneLine(url) + "\n";
  if (text.substr(0, expected.size()) != expected || text.back() != '\n') return std::nullopt;
  const std::string_view rest = std::string_view(text).substr(expected.size(), text.size() - expected.size() - 1);
  const std::optional<uint64_t> until = Number(rest, 10);
  if (!until) return std::nullopt;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(clock_.WallNow().time_since_epoch());
  const auto left = std::chrono::seconds(static_cast<int64_t>(*until)) - now;
  if (left <= std::chrono::seconds(0)) {
    // A wait that is over is of no more use; without this, one file per such address would stay.
    std::error_code ignored;
    fs::remove(PathFor(url, ".wait"), ignored);
    return std::nullopt;
  }
  return std::min<std::chrono::seconds>(left, kLongestWait);
}

std::optional<std::chrono::seconds> ParseRetryAfter(const std::string& value, Clock::WallTime now) {
  if (const std::optional<uint64_t> seconds = Number(value, 10)) {
    return std::chrono::seconds(static_cast<int64_t>(std::min<uint64_t>(*seconds, INT32_MAX)));
  }
  // libcurl reads every date form HTTP allows.
  const time_t date = curl_getdate(value.c_str(), nullptr);
  if (date == -1) return std::nullopt;
  const auto left = std::chrono::system_clock::from_time_t(date) - now;
  return std::max(std::chrono::seconds(0), std::chrono::duration_cast<std::chrono::seconds>(left));
}
