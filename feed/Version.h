// The program's name, version and home page, as sent in the User-Agent header and shown by --version.
#pragma once

namespace Version {
inline constexpr const char* kProgramName = "Feedwright";
inline constexpr const char* kVersion = "0.1.0";
inline constexpr const char* kHomePage = "https://www.feedwright.example/";
}  // namespace Version
