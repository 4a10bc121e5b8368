#include "UrlFileLoader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "OpmlSubscriptions.h"
#include "PathChecks.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkLength = 3;
constexpr std::size_t kChunkBytes = 64 * 1024;

[[noreturn]] void ThrowErrno(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), path);
}

// Owns the descriptor of the file being loaded, so that it is closed however the load ends.
class InputFile {
 public:
  explicit InputFile(const std::string& path) : path_(path) {
    // Non-blocking, so that a named pipe cannot hang the window before it is refused below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) ThrowErrno(errno, path);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowErrno(errno, path);
    if (S_ISDIR(info.st_mode)) ThrowErrno(EISDIR, path);
    // A device or pipe can stream without end; only a regular file has one.
    if (!S_ISREG(info.st_mode)) ThrowErrno(EINVAL, path);
  }
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to size bytes; 0 at the end of the file.
  std::size_t Read(char* buffer, std::size_t size) {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) ThrowErrno(errno, path_);
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// The plain messages of a load that stops because the file asks too much of the list.
static_assert(kMaxUrlFileRows == 100000 && kMaxUrlFileRowBytes == 1024 * 1024 &&
                  kMaxOpmlFileBytes == 64 * 1024 * 1024,
              "the messages below name the limits");
constexpr const char* kTooManyLines =
    "The file has more than 100,000 lines. The load stopped after the first 100,000.";
constexpr const char* kTooManyOutlines =
    "The file lists more than 100,000 feed addresses. The load stopped after the first 100,000.";
constexpr const char* kLongOutline =
    "An address in the file is longer than 1 MiB. No addresses were added.";
constexpr const char* kLargeOpml =
    "The file is larger than 64 MiB, more than an OPML subscription list may be. No addresses "
    "were added.";

std::string LongLine(std::size_t line) {
  return "An address in the file is longer than 1 MiB, on line " + std::to_string(line) +
         ". The load stopped before that line.";
}

// Turns the file's bytes into rows as they arrive, until a limit stops it.
class RowSplitter {
 public:
  RowSplitter(UrlList& list, EventPump& events) : list_(list), events_(events) {}

  // Takes the next byte of the file; false once a limit has stopped the load.
  bool Feed(char c) {
    if (!markDecided_) {
      if (c == kByteOrderMark[markMatched_]) {
        if (++markMatched_ == kByteOrderMarkLength) markDecided_ = true;
        return true;
      }
      if (!ReleaseMarkPrefix()) return false;
    }
    return Take(c);
  }

  // After the last byte: appends the last line when it has no line end.
  void Finish() {
    if (!markDecided_ && !ReleaseMarkPrefix()) return;
    if (lineStarted_) EndLine();
  }

  // kLoaded, or the limit that stopped the load.
  UrlFileLoad Outcome() const { return outcome_; }
  // The number of the line being read, from 1.
  std::size_t Line() const { return rows_ + 1; }

 private:
  // Bytes that began like a byte-order mark but turned out not to be one are ordinary text.
  bool ReleaseMarkPrefix() {
    markDecided_ = true;
    for (std::size_t at = 0; at < markMatched_; ++at) {
      if (!Take(kByteOrderMark[at])) return false;
    }
    return true;
  }

  bool Take(char c) {
    if (afterCr_) {
      afterCr_ = false;
      if (c == '\n') return true;  // the LF of a CR LF that already ended its line
    }
    if (!lineStarted_) {
      if (rows_ == kMaxUrlFileRows) return Stop(UrlFileLoad::kTooManyRows);
      events_.ProcessEvents();
      lineStarted_ = true;
    }
    if (c == '\r' || c == '\n') {
      EndLine();
      afterCr_ = c == '\r';
    } else {
      if (text_.size() >= kMaxUrlFileRowBytes) return Stop(UrlFileLoad::kTooLarge);
      text_ += c;
    }
    return true;
  }

  bool Stop(UrlFileLoad outcome) {
    outcome_ = outcome;
    return false;
  }

  void EndLine() {
    list_.Append(text_);
    ++rows_;
    text_.clear();
    lineStarted_ = false;
  }

  UrlList& list_;
  EventPump& events_;
  std::string text_;
  std::size_t rows_ = 0;
  UrlFileLoad outcome_ = UrlFileLoad::kLoaded;
  bool lineStarted_ = false;
  bool afterCr_ = false;
  bool markDecided_ = false;
  std::size_t markMatched_ = 0;
};

}  // namespace

namespace {

// Appends up to one chunk of the file to bytes; false at the end of the file.
bool ReadChunk(InputFile& file, std::string& bytes) {
  const std::size_t before = bytes.size();
  bytes.resize(before + kChunkBytes);
  const std::size_t got = file.Read(bytes.data() + before, kChunkBytes);
  bytes.resize(before + got);
  return got != 0;
}

// The rest of an OPML file after head, parsed; every address that would be appended is checked
// before the first one is, so a file refused for a long address adds nothing.
UrlFileLoad LoadOpml(UrlList& list, InputFile& file, std::string bytes, bool ended,
                     DialogService& dialogs, EventPump& events) {
  while (!ended && bytes.size() <= kMaxOpmlFileBytes) ended = !ReadChunk(file, bytes);
  if (bytes.size() > kMaxOpmlFileBytes) {
    ShowPlainMessage(dialogs, kLargeOpml);
    return UrlFileLoad::kTooLarge;
  }
  // One address more than a list takes tells that there are more.
  const OpmlAddresses opml = ReadOpmlAddresses(bytes, kMaxUrlFileRows + 1);
  if (!opml.parsed) {
    ShowPlainMessage(dialogs, "The file looks like an OPML subscription list but cannot be read: " +
                             opml.error + ". No addresses were added.");
    return UrlFileLoad::kBrokenOpml;
  }
  const std::size_t count = std::min(opml.addresses.size(), kMaxUrlFileRows);
  for (std::size_t at = 0; at < count; ++at) {
    if (opml.addresses[at].size() > kMaxUrlFileRowBytes) {
      ShowPlainMessage(dialogs, kLongOutline);
      return UrlFileLoad::kTooLarge;
    }
  }
  for (std::size_t at = 0; at < count; ++at) {
    events.ProcessEvents();
    list.Append(opml.addresses[at]);
  }
  if (opml.addresses.size() == count) return UrlFileLoad::kLoaded;
  ShowPlainMessage(dialogs, kTooManyOutlines);
  return UrlFileLoad::kTooManyRows;
}

}  // namespace

UrlFileLoad LoadUrlFile(UrlList& list, const std::string& path, DialogService& dialogs,
                        EventPump& events) {
  if (!FileExists(path)) {
    ShowPlainMessage(dialogs, "File not found");
    return UrlFileLoad::kNotFound;
  }
  InputFile file(path);
  // Enough of the file to tell an OPML document from a list of lines.
  std::string head;
  bool ended = false;
  OpmlStart start = OpmlStart::kUndecided;
  while (start == OpmlStart::kUndecided) {
    ended = !ReadChunk(file, head);
    start = SniffOpml(head, ended || head.size() >= kMaxOpmlPrologBytes);
  }
  if (start == OpmlStart::kOpml) {
    return LoadOpml(list, file, std::move(head), ended, dialogs, events);
  }

  RowSplitter splitter(list, events);
  bool going = true;
  for (std::size_t at = 0; going && at < head.size(); ++at) going = splitter.Feed(head[at]);
  if (going && !ended) {
    std::string buffer(kChunkBytes, '\0');
    while (going) {
      const std::size_t got = file.Read(buffer.data(), buffer.size());
      if (got == 0) break;
      for (std::size_t at = 0; going && at < got; ++at) going = splitter.Feed(buffer[at]);
    }
  }
  if (going) splitter.Finish();
  switch (splitter.Outcome()) {
    case UrlFileLoad::kTooManyRows:
      ShowPlainMessage(dialogs, kTooManyLines);
      break;
    case UrlFileLoad::kTooLarge:
      ShowPlainMessage(dialogs, LongLine(splitter.Line()));
      break;
    default:
      break;
  }
  return splitter.Outcome();
}
