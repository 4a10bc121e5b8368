#include "ExclusiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

ExclusiveFile::~ExclusiveFile() {
  if (fd_ >= 0) ::close(fd_);
}

ExclusiveFile::Outcome ExclusiveFile::Create(const std::string& path) noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  error_.clear();
  try {
    path_ = path;
  } catch (...) {
    error_ = std::make_error_code(std::errc::not_enough_memory);
    return Outcome::kFailed;
  }
  // O_EXCL fails with EEXIST for anything at the name, a link included, wherever it points.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd_ >= 0) return Outcome::kCreated;
  error_ = std::error_code(errno, std::generic_category());
  return error_ == std::errc::file_exists ? Outcome::kNameTaken : Outcome::kFailed;
}

void ExclusiveFile::Write(std::string_view bytes) {
  if (fd_ < 0) throw std::system_error(EBADF, std::generic_category(), path_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), path_);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void ExclusiveFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  // On Linux the descriptor is gone even when close reports a failure, so it is never retried.
  if (::close(fd) != 0) throw std::system_error(errno, std::generic_category(), path_);
}
