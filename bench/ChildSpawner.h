// Starts programs for the end-to-end benchmark from a small helper process, and times each one.
//
// A child's ru_maxrss starts from the high-water mark of the address space it was forked from
// (the kernel carries it over fork and exec, and posix_spawn's vfork shares the parent's), so a
// child forked from the benchmark itself, which holds a 14 MB feed and its servers, would report
// at least the benchmark's own peak. The helper is forked before the benchmark has allocated
// anything and stays a few MiB small; it forks, execs, waits with wait4 and sends the figures back.
#pragma once

#include <sys/resource.h>

#include <string>
#include <vector>

struct ChildRequest {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::vector<std::string> env;   // the whole environment, "NAME=value"
  std::string stdoutPath;         // opened for writing, truncated ("/dev/null" is fine)
  std::string stderrPath;
};

struct ChildResult {
  double wallSeconds = 0;  // fork to wait4, on the monotonic clock
  int status = 0;          // as from wait4
  int execErrno = 0;       // non-zero when the program could not be started
  rusage usage{};          // the child's own, from wait4 (ru_maxrss in KiB)

  bool Exited() const;
  int ExitCode() const;          // -1 when the child did not exit normally
  std::string Describe() const;  // "exit status 1", "killed by signal 9", "cannot start: ..."
};

class ChildSpawner {
 public:
  // Forks the helper. Call it before any thread starts and before large allocations.
  // Throws std::runtime_error when it cannot.
  ChildSpawner();
  ~ChildSpawner();
  ChildSpawner(const ChildSpawner&) = delete;
  ChildSpawner& operator=(const ChildSpawner&) = delete;

  // Runs one program to its end. Throws std::runtime_error when the helper fails.
  ChildResult Run(const ChildRequest& request);

 private:
  int socket_ = -1;
  int helperPid_ = -1;
};
