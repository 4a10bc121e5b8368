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

void FolderSyncs::Add(const FolderHandle& folder) {
  struct stat info {};
  if (::fstat(folder.Descriptor(), &info) != 0) return;
  for (const Held& held : held_) {
    if (held.device == info.st_dev && held.inode == info.st_ino) return;
  }
  if (held_.size() >= kMaxHeld) SyncAll();
  // The handle only names the folder; fsync needs the folder opened for reading.
  const int fd = ::openat(folder.Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  try {
    held_.push_back({info.st_dev, info.st_ino, fd, folder.Path()});
  } catch (...) {
    ::close(fd);
    throw;
  }
}

void FolderSyncs::SyncAll() {
  std::error_code first;
  std::string firstPath;
  for (Held& held : held_) {
    // EINVAL: a file system that keeps nothing to sync.
    if (::fsync(held.fd) != 0 && errno != EINVAL && !first) {
      first = std::error_code(errno, std::generic_category());
      firstPath = held.path;
    }
    ::close(held.fd);
    held.fd = -1;
  }
  held_.clear();
  if (first) throw std::system_error(first, firstPath);
}
