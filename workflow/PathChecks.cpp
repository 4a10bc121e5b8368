#include "PathChecks.h"

#include <sys/stat.h>

#include <cstdlib>

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ExpandHome(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (path.rfind("~/", 0) != 0 || !home || !*home) return path;
  std::string expanded = home;
  if (expanded.back() != '/') expanded += '/';
  return expanded + path.substr(2);
}
