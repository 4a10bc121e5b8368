// Small helpers of the parse-path benchmark: files, clocks, peak memory, child processes.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace BenchSupport {

// The whole file, sized exactly (no spare capacity). Throws std::runtime_error on failure.
std::string ReadFile(const std::string& path);
// Writes text to path, replacing it. Throws std::runtime_error on failure.
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// Seconds since an arbitrary start, monotonic.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The process's peak resident set so far, in KiB.
long PeakRssKb();

// Runs a shell command and returns what it wrote to standard output. Throws std::runtime_error
// when it cannot be started or exits with a failure.
std::string RunCommand(const std::string& command);

// Quotes a word for /bin/sh.
std::string ShellQuote(const std::string& word);

// The running program's own path.
std::string SelfPath();

double Minimum(const std::vector<double>& values);
double Median(std::vector<double> values);

}  // namespace BenchSupport
