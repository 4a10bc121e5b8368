// A feed entry's markup as CommonMark, and texts as YAML values, for the Markdown files.
#pragma once

#include <string>
#include <string_view>

// html converted to CommonMark: paragraphs, headings, emphasis, links, images, lists, block
// quotes, inline code and code blocks; text of other elements stays as text, script, style and
// their kind go. Every character the feed wrote as text reads as that character, never as
// Markdown. Addresses are resolved against base and kept only when safe (as in HtmlSanitizer).
// Nesting past a fixed depth is written as plain text, so the time taken grows in step with the
// input. The result ends with one line break, or is empty.
std::string HtmlToMarkdown(std::string_view html, std::string_view base);

// text as a YAML double-quoted scalar, quotes included: backslash, quote, control characters,
// line breaks (U+0085, U+2028, U+2029 too) and non-characters are escaped, and a byte that is
// not valid UTF-8 becomes U+FFFD, so no text can end the value or the front matter.
std::string YamlQuoted(std::string_view text);
