// UTF-8 as the program reads and writes it: only well-formed sequences count (shortest forms,
// no surrogates, nothing past U+10FFFF); an ill-formed stretch becomes one U+FFFD per maximal
// prefix of a sequence, as browsers and iconv replace it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Utf8 {

inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One step through text (not empty): the code point at its start and the bytes it takes; or,
// for an ill-formed start, valid false and the bytes of its maximal valid prefix (at least one),
// which stand for one U+FFFD.
struct Step {
  bool valid;
  char32_t codePoint;
  std::size_t bytes;
};
Step Next(std::string_view text);

// The bytes of the character at text[at]: its well-formed sequence, or 1 for a byte that starts
// none, so that any text can be walked a character at a time.
inline std::size_t CharLength(std::string_view text, std::size_t at) {
  const Step step = Next(text.substr(at));
  return step.valid ? step.bytes : 1;
}

// Whether every byte of text belongs to a well-formed sequence. ASCII goes sixteen bytes at a
// time.
bool IsValid(std::string_view text);

// Appends codePoint's sequence; a surrogate or a value past U+10FFFF appends U+FFFD.
void Append(std::string& out, char32_t codePoint);

// Appends text with every ill-formed stretch replaced as above.
void AppendSanitized(std::string_view text, std::string& out);
std::string Sanitized(std::string_view text);

// The longest start of text of at most bytes bytes that ends on a character boundary.
std::string_view CutToBytes(std::string_view text, std::size_t bytes);

}  // namespace Utf8
