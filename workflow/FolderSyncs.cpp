#include "FolderSyncs.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

FolderSyncs::~FolderSyncs() {
  for (const Held& held : held_) {
    if (held.fd >= 0) ::close(held.fd);
  }
}

void FolderSyncs::Add(const FolderHandle& folder) noexcept {
  struct stat info {};
  if (::fstat(folder.Descriptor(), &info) != 0) return;
  for (const Held& held : held_) {
    if (held.device == info.st_dev && held.inode == info.st_ino) return;
  }
  if (held_.size() >= kMaxHeld) SyncHeld();
  // The handle only names the folder; fsync needs the folder opened for reading.
  const int fd = ::openat(folder.Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  try {
    held_.push_back({info.st_dev, info.st_ino, fd, folder.Path()});
  } catch (...) {
    // Without memory to note it, the folder is synced now.
    ::fsync(fd);
    ::close(fd);
  }
}

void FolderSyncs::SyncHeld() noexcept {
  for (Held& held : held_) {
    // EINVAL: a file system that keeps nothing to sync.
    if (::fsync(held.fd) != 0 && errno != EINVAL && !failure_) {
      failure_ = std::error_code(errno, std::generic_category());
      failedPath_.swap(held.path);
    }
    ::close(held.fd);
  }
  held_.clear();
}

std::optional<FolderSyncs::Failure> FolderSyncs::SyncAll() noexcept {
  SyncHeld();
  if (!failure_) return std::nullopt;
  Failure failure{failure_, std::move(failedPath_)};
  failure_.clear();
  failedPath_.clear();
  return failure;
}
