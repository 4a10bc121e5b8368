#include "ChildSpawner.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace {

// A request travels as a count of strings, then each as its length and bytes:
// stdout path, stderr path, number of arguments, the arguments, the environment.
constexpr uint32_t kMaxFields = 1u << 20;
constexpr uint32_t kMaxFieldBytes = 1u << 24;

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// False at end of file or on an error.
bool ReadAll(int fd, void* data, std::size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool SendFields(int fd, const std::vector<std::string>& fields) {
  std::string message;
  const auto appendNumber = [&](uint32_t number) {
    message.append(reinterpret_cast<const char*>(&number), sizeof number);
  };
  appendNumber(static_cast<uint32_t>(fields.size()));
  for (const std::string& field : fields) {
    appendNumber(static_cast<uint32_t>(field.size()));
    message += field;
  }
  return WriteAll(fd, message.data(), message.size());
}

bool ReceiveFields(int fd, std::vector<std::string>& fields) {
  uint32_t count = 0;
  if (!ReadAll(fd, &count, sizeof count) || count > kMaxFields) return false;
  fields.assign(count, std::string());
  for (std::string& field : fields) {
    uint32_t size = 0;
    if (!ReadAll(fd, &size, sizeof size) || size > kMaxFieldBytes) return false;
    field.resize(size);
    if (size > 0 && !ReadAll(fd, field.data(), size)) return false;
  }
  return true;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// In the forked child: standard streams in place, then the program. Only async-signal-safe calls.
[[noreturn]] void ExecChild(const char* out, const char* err, char* const* argv, char* const* envp,
                            int errorPipe) {
  const auto fail = [errorPipe] {
    const int error = errno;
    WriteAll(errorPipe, &error, sizeof error);
    _exit(127);
  };
  const int in = open("/dev/null", O_RDONLY);
  if (in < 0 || dup2(in, 0) < 0) fail();
  const int outFd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (outFd < 0 || dup2(outFd, 1) < 0) fail();
  const int errFd = open(err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (errFd < 0 || dup2(errFd, 2) < 0) fail();
  if (in > 2) close(in);
  if (outFd > 2) close(outFd);
  if (errFd > 2) close(errFd);
  execve(argv[0], argv, envp);
  fail();
  _exit(127);
}

ChildResult RunOne(std::vector<std::string>& fields) {
  ChildResult result;
  const std::size_t argc = std::stoul(fields.at(2));
  std::vector<char*> argv, envp;
  for (std::size_t index = 3; index < fields.size(); ++index) {
    (index < 3 + argc ? argv : envp).push_back(fields[index].data());
  }
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) {
    result.execErrno = errno;
    return result;
  }
  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(errorPipe[0]);
    ExecChild(fields[0].c_str(), fields[1].c_str(), argv.data(), envp.data(), errorPipe[1]);
  }
  close(errorPipe[1]);
  if (pid < 0) {
    result.execErrno = errno;
    close(errorPipe[0]);
    return result;
  }
  // The pipe closes on a successful exec; before that, a failing child writes its errno.
  int childErrno = 0;
  if (ReadAll(errorPipe[0], &childErrno, sizeof childErrno)) result.execErrno = childErrno;
  close(errorPipe[0]);
  while (wait4(pid, &result.status, 0, &result.usage) < 0 && errno == EINTR) {
  }
  result.wallSeconds = Now() - start;
  return result;
}

[[noreturn]] void HelperMain(int socket) {
  std::vector<std::string> fields;
  while (ReceiveFields(socket, fields)) {
    ChildResult result;
    try {
      result = RunOne(fields);
    } catch (const std::exception&) {
      result.execErrno = EINVAL;
    }
    if (!WriteAll(socket, &result, sizeof result)) break;
  }
  _exit(0);
}

}  // namespace

bool ChildResult::Exited() const { return execErrno == 0 && WIFEXITED(status); }

int ChildResult::ExitCode() const { return Exited() ? WEXITSTATUS(status) : -1; }

std::string ChildResult::Describe() const {
  if (execErrno != 0) return std::string("cannot start: ") + std::strerror(execErrno);
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "ended with wait status " + std::to_string(status);
}

ChildSpawner::ChildSpawner() {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    close(sockets[0]);
    // Ctrl-C reaches the whole process group; the helper ends when the benchmark closes its end.
    signal(SIGINT, SIG_DFL);
    HelperMain(sockets[1]);
  }
  close(sockets[1]);
  socket_ = sockets[0];
  helperPid_ = pid;
}

ChildSpawner::~ChildSpawner() {
  close(socket_);
  int status = 0;
  while (waitpid(helperPid_, &status, 0) < 0 && errno == EINTR) {
  }
}

ChildResult ChildSpawner::Run(const ChildRequest& request) {
  std::vector<std::string> fields = {request.stdoutPath, request.stderrPath,
                                     std::to_string(request.argv.size())};
  fields.insert(fields.end(), request.argv.begin(), request.argv.end());
  fields.insert(fields.end(), request.env.begin(), request.env.end());
  ChildResult result;
  if (request.argv.empty() || !SendFields(socket_, fields) ||
      !ReadAll(socket_, &result, sizeof result)) {
    throw std::runtime_error("the helper that starts the programs has gone");
  }
  return result;
}
