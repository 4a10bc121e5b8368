// An output file that this program creates itself inside an open folder. It is written under no
// name and given its name only once it is complete and on disk, so that an interrupted save never
// leaves a partial file under a real name. The name must not be taken yet by anything (file,
// folder, hidden file, live or dangling link): nothing is ever replaced, truncated or written
// through.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

#include "FolderHandle.h"

class ExclusiveFile {
 public:
  enum class Outcome {
    kNamed,      // the file now has the name
    kNameTaken,  // something already has that name; nothing was touched, the file stays unnamed
    kFailed,     // anything else; Error() tells what
  };

  ExclusiveFile() = default;
  // Closes the file; a file that never got its name is gone with it, a named one stays.
  ~ExclusiveFile();
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  // Makes a new file without a name inside folder and keeps it open for writing: an anonymous
  // file (O_TMPFILE) where the file system offers one, else one under a hidden temporary name
  // (".feedwright-" and random letters). Drops a file made before that has no name yet. False,
  // with Error(), when the folder takes no file. The folder must stay open as long as this
  // object lives. Never throws.
  bool Create(const FolderHandle& folder) noexcept;

  bool IsOpen() const { return fd_ >= 0; }
  // The failure of the last call, or an empty error after success.
  std::error_code Error() const { return error_; }
  // The folder's path joined with the file's name; before Name, the folder's path and "/".
  const std::string& Path() const { return path_; }

  // Writes all of bytes; false, with Error(), when no file is open or a write fails. Never throws.
  bool Write(std::string_view bytes) noexcept;
  // Starts writing the data to disk without waiting for it, so that a later Sync of many files
  // in a row waits about once. Never throws.
  void StartSync() noexcept;
  // Waits until the data is on disk; false, with Error(), when it cannot be written there.
  bool Sync() noexcept;
  // Gives the file the name inside folder, which must be on the same mount as the folder of
  // Create; never replaces anything there. Never throws.
  Outcome Name(const FolderHandle& folder, const std::string& name) noexcept;
  // Closes the file; true when none is open. False, with Error(), when closing reports a
  // failure (the file is closed all the same). Never throws.
  bool Close() noexcept;
  // Closes the file if it is open and removes it: an unnamed file is dropped, a named one is
  // removed only while its name still holds this file. Never throws.
  void Remove() noexcept;

 private:
  // Keeps errno as the error; false.
  bool Fail() noexcept;
  // Closes the descriptor and removes the temporary name, if any.
  void Drop() noexcept;

  int fd_ = -1;
  // The folder of Create, borrowed from its FolderHandle.
  int folderFd_ = -1;
  // The hidden temporary name inside that folder, when it refused an anonymous file.
  std::string temporary_;
  // Where Name put the file and what the file is, for Remove.
  int namedFolderFd_ = -1;
  std::string name_;
  bool identified_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::string path_;
  std::error_code error_;
};
