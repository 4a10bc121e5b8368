// An output file that this program creates itself inside an open folder: the name must not be
// taken yet by anything (file, folder, hidden file, live or dangling link), and a link is never
// followed, so no existing file is ever truncated or written through.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

#include "FolderHandle.h"

class ExclusiveFile {
 public:
  enum class Outcome {
    kCreated,    // the file is new and open for writing
    kNameTaken,  // something already has that name; nothing was touched
    kFailed,     // anything else; Error() tells what
  };

  ExclusiveFile() = default;
  // Closes the file if it is still open, ignoring any failure; the file stays.
  ~ExclusiveFile();
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  // Creates name inside folder and keeps it open; closes a file opened before. name is one
  // plain name: an empty one or one with a "/" fails with EINVAL. The folder must stay open as
  // long as this object may Remove the file. Never throws.
  Outcome Create(const FolderHandle& folder, const std::string& name) noexcept;

  bool IsOpen() const { return fd_ >= 0; }
  // The failure of the last Create, or an empty error after success.
  std::error_code Error() const { return error_; }
  // The folder's path and the name of the last Create, joined by one "/".
  const std::string& Path() const { return path_; }

  // Writes all of bytes; throws std::system_error when no file is open or a write fails.
  void Write(std::string_view bytes);
  // Closes the file; nothing happens when none is open. Throws std::system_error when closing
  // reports a failure (the file is closed all the same).
  void Close();
  // Closes the file if it is open and removes the file the last Create made, for a file that
  // could not be written whole. A file that has since been replaced under its name is left
  // alone. Never throws.
  void Remove() noexcept;

 private:
  int fd_ = -1;
  // The folder the file was made in, borrowed from its FolderHandle, and what the file is.
  int folderFd_ = -1;
  std::string name_;
  bool identified_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::string path_;
  std::error_code error_;
};
