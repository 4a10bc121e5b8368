// An output file that this program creates itself: the name must not be taken yet by anything
// (file, folder, hidden file, live or dangling link), and a link is never followed, so no
// existing file is ever truncated or written through.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

class ExclusiveFile {
 public:
  enum class Outcome {
    kCreated,    // the file is new and open for writing
    kNameTaken,  // something already has that name; nothing was touched
    kFailed,     // anything else; Error() tells what
  };

  ExclusiveFile() = default;
  // Closes the file if it is still open, ignoring any failure.
  ~ExclusiveFile();
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  // Creates path and keeps it open; closes a file opened before. Never throws.
  Outcome Create(const std::string& path) noexcept;

  bool IsOpen() const { return fd_ >= 0; }
  // The failure of the last Create, or an empty error after success.
  std::error_code Error() const { return error_; }
  // The path given to the last Create.
  const std::string& Path() const { return path_; }

  // Writes all of bytes; throws std::system_error when no file is open or a write fails.
  void Write(std::string_view bytes);
  // Closes the file; nothing happens when none is open. Throws std::system_error when closing
  // reports a failure (the file is closed all the same).
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
  std::error_code error_;
};
