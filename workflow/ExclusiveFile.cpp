#include "ExclusiveFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "FileNames.h"

namespace {

// A hidden name for a file that is not complete yet.
std::string TemporaryName() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static thread_local std::mt19937_64 random{std::random_device{}()};
  std::string name = ".feedwright-";
  for (int i = 0; i < 12; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

ExclusiveFile::~ExclusiveFile() { Drop(); }

void ExclusiveFile::Drop() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlinkat(folderFd_, temporary_.c_str(), 0);
  temporary_.clear();
}

bool ExclusiveFile::Fail() noexcept {
  error_ = std::error_code(errno, std::generic_category());
  return false;
}

bool ExclusiveFile::Create(const FolderHandle& folder) noexcept {
  Drop();
  identified_ = false;
  error_.clear();
  name_.clear();
  namedFolderFd_ = -1;
  folderFd_ = folder.Descriptor();
  try {
    path_ = JoinPath(folder.Path(), "");
  } catch (...) {
    error_ = std::make_error_code(std::errc::not_enough_memory);
    return false;
  }
  fd_ = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0) return true;
  // A file system without anonymous files answers EOPNOTSUPP (or EISDIR on kernels that read
  // the flag as O_DIRECTORY); anything else is the folder's own failure.
  if (errno != EOPNOTSUPP && errno != EISDIR) return Fail();
  try {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = TemporaryName();
      fd_ = ::openat(folderFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        temporary_ = std::move(name);
        return true;
      }
      if (errno != EEXIST) break;
    }
  } catch (...) {
    errno = ENOMEM;
  }
  return Fail();
}

bool ExclusiveFile::Write(std::string_view bytes) noexcept {
  error_.clear();
  if (fd_ < 0) {
    error_ = std::make_error_code(std::errc::bad_file_descriptor);
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void ExclusiveFile::StartSync() noexcept {
  if (fd_ >= 0) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool ExclusiveFile::Sync() noexcept {
  error_.clear();
  if (fd_ < 0) {
    error_ = std::make_error_code(std::errc::bad_file_descriptor);
    return false;
  }
  // EINVAL: a file system that keeps nothing to sync.
  return ::fdatasync(fd_) == 0 || errno == EINVAL || Fail();
}

ExclusiveFile::Outcome ExclusiveFile::Name(const FolderHandle& folder, const std::string& name) noexcept {
  error_.clear();
  const int into = folder.Descriptor();
  int result = -1;
  if (name.empty() || name.find('/') != std::string::npos) {
    errno = EINVAL;
  } else if (fd_ < 0 || !name_.empty()) {
    errno = EBADF;
  } else if (!temporary_.empty()) {
    result = ::renameat2(folderFd_, temporary_.c_str(), into, name.c_str(), RENAME_NOREPLACE);
    // A file system without RENAME_NOREPLACE: a hard link fails on a taken name just the same.
    if (result != 0 && errno == EINVAL) {
      result = ::linkat(folderFd_, temporary_.c_str(), into, name.c_str(), 0);
      if (result == 0) ::unlinkat(folderFd_, temporary_.c_str(), 0);
    }
    if (result == 0) temporary_.clear();
  } else {
    // AT_EMPTY_PATH would need a privilege; the descriptor's entry in /proc needs none.
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd_);
    result = ::linkat(AT_FDCWD, path, into, name.c_str(), AT_SYMLINK_FOLLOW);
  }
  if (result != 0) {
    Fail();
    return error_ == std::errc::file_exists ? Outcome::kNameTaken : Outcome::kFailed;
  }
  namedFolderFd_ = into;
  struct stat info {};
  identified_ = ::fstat(fd_, &info) == 0;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  try {
    name_ = name;
    path_ = JoinPath(folder.Path(), name);
  } catch (...) {
    identified_ = false;
  }
  return Outcome::kNamed;
}

bool ExclusiveFile::Close() noexcept {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  // On Linux the descriptor is gone even when close reports a failure, so it is never retried.
  return ::close(fd) == 0 || Fail();
}

void ExclusiveFile::Remove() noexcept {
  Drop();
  if (!identified_) return;
  identified_ = false;
  // Only while the name still holds the file made here: whoever put something else there
  // keeps it.
  struct stat info {};
  if (::fstatat(namedFolderFd_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (info.st_dev != device_ || info.st_ino != inode_) return;
  ::unlinkat(namedFolderFd_, name_.c_str(), 0);
}
