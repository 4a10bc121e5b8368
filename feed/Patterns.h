// The two fixed patterns the feed reader cleans text with.
#pragma once

namespace Patterns {

// The characters that XML 1.0 forbids: C0 controls other than tab, LF and CR, and U+FFFE,
// U+FFFF. Document type declarations are removed apart (MarkupScanners), because an internal
// subset with its brackets, quoted strings and comments is beyond a regular expression.
inline constexpr const char* kCleanDocument = R"([\x00-\x08\x0B\x0C\x0E-\x1F\x{FFFE}\x{FFFF}])";

// Markup tags: from "<" up to the first ">" after at least one character, across lines.
inline constexpr const char* kStripHtml = R"(<(.|\n)+?>)";

}  // namespace Patterns
