#include "ExclusiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileNames.h"

ExclusiveFile::~ExclusiveFile() {
  if (fd_ >= 0) ::close(fd_);
}

ExclusiveFile::Outcome ExclusiveFile::Create(const FolderHandle& folder,
                                             const std::string& name) noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  error_.clear();
  identified_ = false;
  folderFd_ = folder.Descriptor();
  try {
    name_ = name;
    path_ = JoinPath(folder.Path(), name);
  } catch (...) {
    error_ = std::make_error_code(std::errc::not_enough_memory);
    return Outcome::kFailed;
  }
  if (name.empty() || name.find('/') != std::string::npos) {
    error_ = std::make_error_code(std::errc::invalid_argument);
    return Outcome::kFailed;
  }
  // O_EXCL fails with EEXIST for anything at the name, a link included, wherever it points.
  fd_ = ::openat(folderFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                 0666);
  if (fd_ < 0) {
    error_ = std::error_code(errno, std::generic_category());
    return error_ == std::errc::file_exists ? Outcome::kNameTaken : Outcome::kFailed;
  }
  struct stat info {};
  if (::fstat(fd_, &info) == 0) {
    identified_ = true;
    device_ = info.st_dev;
    inode_ = info.st_ino;
  }
  return Outcome::kCreated;
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

void ExclusiveFile::Remove() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!identified_) return;
  identified_ = false;
  // Only while the name still holds the file made here: whoever put something else there
  // keeps it.
  struct stat info {};
  if (::fstatat(folderFd_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (info.st_dev != device_ || info.st_ino != inode_) return;
  ::unlinkat(folderFd_, name_.c_str(), 0);
}
