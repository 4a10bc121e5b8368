// A folder held open by a descriptor, so that files are made in the folder that was checked even
// when its path is renamed, replaced by a link or removed in the meantime.
#pragma once

#include <string>
#include <system_error>

class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // Opens path as a folder, following links as the user's path does; closes a folder opened
  // before. False when path is empty, missing, not a folder or cannot be reached, as for
  // FolderExists. Needs no permission to read the folder's names.
  bool Open(const std::string& path);

  // Opens the subfolder name of parent, making it first when it does not exist; a link in its
  // place is never followed. Closes a folder opened before. The error when it fails: ENOTDIR or
  // ELOOP when something other than a folder has the name.
  std::error_code OpenInside(const FolderHandle& parent, const std::string& name);

  bool IsOpen() const { return fd_ >= 0; }
  // The descriptor for the *at calls; -1 when no folder is open.
  int Descriptor() const { return fd_; }
  // The path given to the last Open, for messages.
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};
