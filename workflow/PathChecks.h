// Existence tests for paths that never report a failure themselves.
#pragma once

#include <string>

// True when the last-modified time of the path can be read (a file, a folder, or a link to
// either); false for an empty text, a missing path or any other failure.
bool FileExists(const std::string& path);

// True when the path names a folder (or a link to one); false when it names anything else or
// cannot be examined at all.
bool FolderExists(const std::string& path);

// The path with a leading "~/" replaced by the home folder ($HOME); any other path as it is.
std::string ExpandHome(const std::string& path);
