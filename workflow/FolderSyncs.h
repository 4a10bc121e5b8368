// The folders a save has given names in, written to disk together at the end, so that the names
// survive a power cut without paying for one folder sync per file.
#pragma once

#include <optional>
#include <string>
#include <system_error>
#include <sys/types.h>
#include <vector>

#include "FolderHandle.h"

class FolderSyncs {
 public:
  // The most folders held open for their sync; past it they are synced and let go at once.
  static constexpr std::size_t kMaxHeld = 64;

  FolderSyncs() = default;
  // Lets the folders go without syncing them.
  ~FolderSyncs();
  FolderSyncs(const FolderSyncs&) = delete;
  FolderSyncs& operator=(const FolderSyncs&) = delete;

  // Notes folder for the next SyncAll; a folder already noted counts once. A folder this user
  // may not read cannot be synced and is passed over. When kMaxHeld folders are held, they are
  // synced first and a failure is kept for SyncAll. Never throws.
  void Add(const FolderHandle& folder) noexcept;
  // Syncs every folder noted and forgets them. The first failure since the last SyncAll, with
  // the folder's path; none when every sync worked (the others are synced all the same).
  struct Failure {
    std::error_code error;
    std::string path;
  };
  std::optional<Failure> SyncAll() noexcept;

 private:
  struct Held {
    dev_t device;
    ino_t inode;
    int fd;
    std::string path;
  };
  // Syncs and closes the folders held, keeping the first failure.
  void SyncHeld() noexcept;

  std::vector<Held> held_;
  std::error_code failure_;
  std::string failedPath_;
};
