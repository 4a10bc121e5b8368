#include "PatternScanners.h"

namespace PatternScanners {
std::string CleanDocument(std::string_view text) { return std::string(text); }
std::string StripHtml(std::string_view text) { return std::string(text); }
}  // namespace PatternScanners
