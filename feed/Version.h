// The program's name and version, as sent in the User-Agent header and shown by --version.
#pragma once

namespace Version {
inline constexpr const char* kProgramName = "Feedwright";
inline constexpr const char* kVersion = "0.1.0";
}  // namespace Version
