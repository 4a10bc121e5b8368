// A folder in which creating a file fails even for root, for tests of failed writes.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TempFolder.h"

// A read-only folder inside scratch when the tests run as an ordinary user, otherwise a sysfs
// folder, which never takes new files; its path followed by "/". Empty when neither refuses.
inline std::string UnwritableFolder(const TempFolder& scratch) {
  namespace fs = std::filesystem;
  const fs::path readOnly = scratch.Path() / "read-only";
  fs::create_directory(readOnly);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  for (const fs::path& candidate : {readOnly, fs::path("/sys/kernel")}) {
    const fs::path probe = candidate / "probe-for-workflow-test";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return candidate.string() + "/";
    ::close(fd);
    fs::remove(probe);
  }
  return {};
}
