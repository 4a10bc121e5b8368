#include "EnclosureSaver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <utility>

#include "BodySink.h"
#include "Clock.h"
#include "Component.h"
#include "ErrorGuard.h"
#include "ExclusiveFile.h"
#include "FeedItem.h"
#include "FolderHandle.h"
#include "FolderSyncs.h"
#include "NameTemplate.h"
#include "Utf8.h"
#include "WebAddress.h"

namespace {

constexpr std::size_t kMaxExtensionChars = 10;
// Names tried per enclosure before it fails: "stem.ext" to "stem-1000.ext".
constexpr int kMaxNameTries = 1000;
constexpr std::chrono::milliseconds kProgressInterval{200};

// text in lower case when it is 1 to kMaxExtensionChars ASCII letters and digits, else "".
std::string ExtensionChars(std::string_view text) {
  if (text.empty() || text.size() > kMaxExtensionChars) return {};
  std::string lower;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80 || !std::isalnum(static_cast<unsigned char>(c))) return {};
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

// The last segment of the address's path, query and fragment left out.
std::string_view LastPathSegment(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) {
    url.remove_prefix(scheme + 3);
    const std::size_t path = url.find_first_of("/?#");
    url.remove_prefix(path == std::string_view::npos ? url.size() : path);
  }
  url = url.substr(0, url.find_first_of("?#"));
  const std::size_t slash = url.rfind('/');
  return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

std::string ExtensionOfType(std::string_view type) {
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {"audio/mpeg", "mp3"},        {"audio/mp3", "mp3"},        {"audio/mp4", "m4a"},
      {"audio/x-m4a", "m4a"},       {"audio/aac", "aac"},        {"audio/ogg", "ogg"},
      {"audio/opus", "opus"},       {"audio/flac", "flac"},      {"audio/wav", "wav"},
      {"audio/x-wav", "wav"},       {"video/mp4", "mp4"},        {"video/x-m4v", "m4v"},
      {"video/webm", "webm"},       {"video/quicktime", "mov"},  {"video/ogg", "ogv"},
      {"image/jpeg", "jpg"},        {"image/png", "png"},        {"image/gif", "gif"},
      {"image/webp", "webp"},       {"image/svg+xml", "svg"},    {"application/pdf", "pdf"},
      {"application/epub+zip", "epub"}, {"application/zip", "zip"}, {"text/plain", "txt"},
  };
  std::string plain;
  for (const char c : type.substr(0, type.find(';'))) {
    if (c != ' ' && c != '\t') plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const auto& [name, extension] : kTypes) {
    if (plain == name) return std::string(extension);
  }
  return {};
}

// bytes as "12.3 MiB".
std::string ShownBytes(double bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (bytes >= 1024 && unit + 1 < std::size(kUnits)) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

}  // namespace

std::string ProgressText(const EnclosureProgress& progress) {
  std::string text = ShownBytes(static_cast<double>(progress.bytes));
  if (progress.expected > 0) text += " of " + ShownBytes(static_cast<double>(progress.expected));
  return text + ", " + ShownBytes(progress.bytesPerSecond) + "/s";
}

// A file being downloaded into: every byte written as it arrives, none held.
class EnclosureSaver::FileSink : public BodySink {
 public:
  explicit FileSink(ExclusiveFile& file) : file_(file) {}
  bool Take(std::string_view bytes) noexcept override {
    if (!file_.Write(bytes)) return false;
    bytes_ += bytes.size();
    // The disk starts on what has arrived while the rest arrives, so that the sync before the
    // name waits for the last few megabytes rather than the whole file.
    if (bytes_ - startedSync_ >= kSyncStepBytes) {
      file_.StartSync();
      startedSync_ = bytes_;
    }
    return true;
  }
  std::string Failure() const override { return FailureText(file_.Error(), file_.Path()); }
  uint64_t Bytes() const { return bytes_; }

 private:
  static constexpr uint64_t kSyncStepBytes = 8u << 20;

  ExclusiveFile& file_;
  uint64_t bytes_ = 0;
  uint64_t startedSync_ = 0;
};

std::string EnclosureExtension(std::string_view url, std::string_view type) {
  const std::string_view segment = LastPathSegment(url);
  const std::size_t dot = segment.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    if (std::string extension = ExtensionChars(segment.substr(dot + 1)); !extension.empty()) return extension;
  }
  if (std::string extension = ExtensionOfType(type); !extension.empty()) return extension;
  return "bin";
}

std::string EnclosureName(std::string_view stem, std::string_view extension, int number) {
  const std::string suffix = (number > 0 ? "-" + std::to_string(number + 1) : std::string()) + "." +
                             std::string(extension);
  return std::string(Utf8::CutToBytes(stem, kMaxComponentBytes - std::min(kMaxComponentBytes, suffix.size()))) +
         suffix;
}

EnclosureSaver::EnclosureSaver(const HttpOptions& feeds, DownloadLimits limits, uint64_t maxBytes,
                               const Clock& clock)
    : options_(feeds), limits_(limits), maxBytes_(maxBytes), clock_(clock) {
  const uint64_t feedCeiling = std::max<uint64_t>(1, feeds.maxBodyBytes);
  const uint64_t shares = std::max<uint64_t>(1, (maxBytes + feedCeiling - 1) / feedCeiling);
  deadline_ = feeds.deadline * static_cast<int64_t>(shares);
}

EnclosureSaver::~EnclosureSaver() = default;

std::vector<EnclosureOutcome> EnclosureSaver::SaveAll(int64_t row, const FeedItem& entry, const std::string& base,
                                                      const FolderHandle& folder, const std::string& stem,
                                                      FolderSyncs& syncs) {
  std::vector<EnclosureOutcome> outcomes;
  for (const FeedEnclosure& enclosure : entry.Enclosures()) {
    // An address that resolves to no web address is tried as given, and fails saying why.
    const std::string resolved = ResolvedWebAddress(enclosure.url, base);
    const std::string& url = resolved.empty() ? enclosure.url : resolved;
    outcomes.push_back(SaveOne(row, url, enclosure.type, enclosure.length, folder, stem, syncs));
  }
  if (saved_) saved_(row, outcomes);
  return outcomes;
}

EnclosureOutcome EnclosureSaver::SaveOne(int64_t row, const std::string& url, const std::string& type,
                                         uint64_t expected, const FolderHandle& folder, const std::string& stem,
                                         FolderSyncs& syncs) {
  EnclosureOutcome outcome;
  outcome.url = url;
  // The file is written under no name; a download that fails leaves nothing behind.
  ExclusiveFile file;
  if (!file.Create(folder)) {
    outcome.failure = FailureText(file.Error(), file.Path());
    return outcome;
  }
  FileSink sink(file);
  const Clock::TimePoint started = clock_.Now();
  Clock::TimePoint lastShown = started;
  auto hook = [&] {
    const Clock::TimePoint now = clock_.Now();
    if (progress_ && now - lastShown >= kProgressInterval) {
      lastShown = now;
      const double seconds = std::chrono::duration<double>(now - started).count();
      progress_({row, url, sink.Bytes(), expected, seconds > 0 ? static_cast<double>(sink.Bytes()) / seconds : 0});
    }
    return !waitHook_ || waitHook_();
  };
  try {
    if (!pool_) pool_ = std::make_unique<DownloadPool>(options_, limits_, clock_);
    pool_->FetchInto(url, sink, static_cast<std::size_t>(maxBytes_), deadline_, hook);
  } catch (const ComponentError& error) {
    outcome.failure = error.what();
    return outcome;
  }
  if (!file.Sync()) {
    outcome.failure = FailureText(file.Error(), file.Path());
    return outcome;
  }
  const std::string extension = EnclosureExtension(url, type);
  ExclusiveFile::Outcome named = ExclusiveFile::Outcome::kNameTaken;
  for (int number = 0; number < kMaxNameTries && named == ExclusiveFile::Outcome::kNameTaken; ++number) {
    named = file.Name(folder, EnclosureName(stem, extension, number));
  }
  if (named != ExclusiveFile::Outcome::kNamed) {
    outcome.failure = named == ExclusiveFile::Outcome::kNameTaken
                          ? "Every name from " + EnclosureName(stem, extension, 0) + " on is taken in " + folder.Path()
                          : FailureText(file.Error(), file.Path());
    return outcome;
  }
  if (!file.Close()) {
    outcome.failure = FailureText(file.Error(), file.Path());
    file.Remove();
    return outcome;
  }
  syncs.Add(folder);
  outcome.path = file.Path();
  outcome.bytes = sink.Bytes();
  return outcome;
}
