#include "UrlFileLoader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "AppInfo.h"
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

void LoadUrlFile(UrlList& list, const std::string& path, DialogService& dialogs,
                 EventPump& events) {
  if (!FileExists(path)) {
    dialogs.ShowMessage("File not found", AppInfo::kProductName, DialogService::Icon::None);
    return;
  }
  InputFile file(path);
  RowSplitter splitter(list, events, path);
  std::string buffer(kChunkBytes, '\0');
  for (;;) {
    const std::size_t got = file.Read(buffer.data(), buffer.size());
    if (got == 0) break;
    for (std::size_t at = 0; at < got; ++at) splitter.Feed(buffer[at]);
  }
  splitter.Finish();
}
