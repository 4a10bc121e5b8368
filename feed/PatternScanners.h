// Hand-written scanners that give exactly RE2's replace-all result for the two fixed patterns,
// case-insensitive, replaced by empty text, at a fraction of the cost.
#pragma once

#include <string>
#include <string_view>

namespace PatternScanners {

// Patterns::kCleanDocument removed: every C0 control other than tab, LF and CR, every U+FFFE and
// every U+FFFF. Exact for any bytes, valid UTF-8 or not.
std::string CleanDocument(std::string_view text);

// Patterns::kStripHtml removed from valid UTF-8 text: every "<" with at least one more
// character up to the next ">". The result for invalid UTF-8 is unspecified.
std::string StripHtml(std::string_view text);

// The same two removals done in the text's own storage: nothing is allocated, and a text
// without matches is not copied at all.
void CleanDocumentInPlace(std::string& text);
// Any bytes may come in, and the removal is RE2's up to the first tag whose bytes between "<"
// and ">" are not valid UTF-8 (how RE2 reads those is its own affair). There the scan stops: the
// function returns where that "<" now stands, the text from there on is as it came, and the
// caller finishes it with RE2. npos when the whole text was done.
std::size_t StripHtmlInPlace(std::string& text);

}  // namespace PatternScanners
