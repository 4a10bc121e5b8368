#include "FolderHandle.h"

#include "FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

std::error_code FolderHandle::OpenInside(const FolderHandle& parent, const std::string& name) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  path_ = JoinPath(parent.Path(), name);
  if (name.empty() || name.find('/') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  if (::mkdirat(parent.Descriptor(), name.c_str(), 0777) != 0 && errno != EEXIST) {
    return {errno, std::generic_category()};
  }
  // With O_NOFOLLOW a link at the name opens as the link itself, which O_DIRECTORY refuses.
  fd_ = ::openat(parent.Descriptor(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ < 0) return {errno, std::generic_category()};
  return {};
}
