#include "FolderHandle.h"

#include <fcntl.h>
#include <unistd.h>

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderHandle::Open(const std::string& path) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  path_ = path;
  if (path.empty()) return false;
  // O_PATH: the handle only names the folder; creating files in it still needs the folder's
  // write permission, checked by each openat.
  fd_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0;
}
