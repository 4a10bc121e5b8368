#include "UrlFileLoader.h"

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

// Turns the file's bytes into rows as they arrive.
class RowSplitter {
 public:
  RowSplitter(UrlList& list, EventPump& events, const std::string& path)
      : list_(list), events_(events), path_(path) {}

  void Feed(char c) {
    if (!markDecided_) {
      if (c == kByteOrderMark[markMatched_]) {
        if (++markMatched_ == kByteOrderMarkLength) markDecided_ = true;
        return;
      }
      ReleaseMarkPrefix();
    }
    Take(c);
  }

  void Finish() {
    if (!markDecided_) ReleaseMarkPrefix();
    if (lineStarted_) EndLine();
  }

 private:
  // Bytes that began like a byte-order mark but turned out not to be one are ordinary text.
  void ReleaseMarkPrefix() {
    markDecided_ = true;
    for (std::size_t at = 0; at < markMatched_; ++at) Take(kByteOrderMark[at]);
  }

  void Take(char c) {
    if (afterCr_) {
      afterCr_ = false;
      if (c == '\n') return;  // the LF of a CR LF that already ended its line
    }
    if (!lineStarted_) {
      events_.ProcessEvents();
      lineStarted_ = true;
    }
    if (c == '\r') {
      EndLine();
      afterCr_ = true;
    } else if (c == '\n') {
      events_.ProcessEvents();
      list_.Append(text_);
      text_.clear();
    } else {
      if (text_.size() >= kMaxUrlFileRowBytes) ThrowErrno(EFBIG, path_);
      text_ += c;
    }
  }

  void EndLine() {
    list_.Append(text_);
    text_.clear();
    lineStarted_ = false;
  }

  UrlList& list_;
  EventPump& events_;
  const std::string& path_;
  std::string text_;
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

// The rest of an OPML file after head, parsed; every address is checked before the first row is
// appended, so a file that fails adds nothing.
UrlFileLoad LoadOpml(UrlList& list, InputFile& file, std::string bytes, bool ended,
                     const std::string& path, DialogService& dialogs, EventPump& events) {
  while (!ended) {
    if (bytes.size() > kMaxOpmlFileBytes) ThrowErrno(EFBIG, path);
    ended = !ReadChunk(file, bytes);
  }
  if (bytes.size() > kMaxOpmlFileBytes) ThrowErrno(EFBIG, path);
  const OpmlAddresses opml = ReadOpmlAddresses(bytes);
  if (!opml.parsed) {
    ShowPlainMessage(dialogs, "The file looks like an OPML subscription list but cannot be read: " +
                             opml.error + ". No addresses were added.");
    return UrlFileLoad::kBrokenOpml;
  }
  for (const std::string& address : opml.addresses) {
    if (address.size() > kMaxUrlFileRowBytes) ThrowErrno(EFBIG, path);
  }
  for (const std::string& address : opml.addresses) {
    events.ProcessEvents();
    list.Append(address);
  }
  return UrlFileLoad::kLoaded;
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
    return LoadOpml(list, file, std::move(head), ended, path, dialogs, events);
  }

  RowSplitter splitter(list, events, path);
  for (const char c : head) splitter.Feed(c);
  if (!ended) {
    std::string buffer(kChunkBytes, '\0');
    for (;;) {
      const std::size_t got = file.Read(buffer.data(), buffer.size());
      if (got == 0) break;
      for (std::size_t at = 0; at < got; ++at) splitter.Feed(buffer[at]);
    }
  }
  splitter.Finish();
  return UrlFileLoad::kLoaded;
}
