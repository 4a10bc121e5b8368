// Text rules for the names and paths of output files and for the progress text of a retrieval
// run. Texts are UTF-8; "character" means one encoded character, and a byte that is not part of
// a valid sequence counts as a character of its own.
#pragma once

#include <cstddef>
#include <string>

// The characters an output file name may hold: A-Z, a-z, 0-9, the hyphen and the space.
inline constexpr const char* kFileNameChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789- ";

// The longest name stem, in characters, before the number and extension are added.
inline constexpr std::size_t kMaxStemChars = 200;

// folder and name joined by exactly one "/", however many the folder text ends with ("/" alone
// stays the root); name alone when folder is empty.
std::string JoinPath(const std::string& folder, const std::string& name);

// The text after the last backslash of path, or the whole path when it holds none.
std::string GetFileName(const std::string& path);

// The characters of text, in order, that occur in charSet (keep true) or that do not (keep
// false). Matching is exact and case-sensitive.
std::string FilterChars(const std::string& text, const std::string& charSet, bool keep);

// text reduced to the characters of kFileNameChars.
std::string CleanFileName(const std::string& text);

// The first kMaxStemChars characters of text, or all of it when it is shorter.
std::string ShortenName(const std::string& text);
