// Changes to a document's text before it is parsed that need to know where its markup is: which
// "<!DOCTYPE" opens a declaration, and which "&#" starts a reference the parser will decode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace MarkupScanners {

// Removes every document type declaration: "<!DOCTYPE" (ASCII letters in any case) up to the ">"
// that closes it, internal subset included. Inside it brackets nest, and quoted strings,
// comments and processing instructions are stepped over, so a ">" in any of them closes
// nothing. Only a declaration that stands where markup may start goes: one inside a comment, a
// CDATA section, a processing instruction, a tag or another declaration is text. A declaration
// that is never closed stays as it is, and so does everything after it.
void RemoveDoctypeDeclarations(std::string& text);

// Whether a document type declaration opens at text[at]: "<!DOCTYPE", ASCII letters in any case.
bool StartsDoctype(std::string_view text, std::size_t at);

// Just past the ">" that closes the declaration opening at text[at] (StartsDoctype holds there),
// read as RemoveDoctypeDeclarations reads it; npos when the text ends first.
std::size_t DoctypeEnd(std::string_view text, std::size_t at);

// Replaces with U+FFFD every character reference ("&#" decimal digits ";" or "&#x" hex digits
// ";") in text or in an attribute value that names a character XML 1.0 does not allow: NUL,
// C0 controls other than tab, LF and CR, surrogates, U+FFFE, U+FFFF and anything past U+10FFFF,
// however many digits it takes. The parser would otherwise write those into the values as they
// are: invalid UTF-8, or a NUL that cuts the value short. References inside comments, CDATA
// sections, processing instructions and declarations are text and stay. The text only shrinks:
// a reference takes at least four bytes, U+FFFD three.
void ReplaceForbiddenCharacterReferences(std::string& text);

}  // namespace MarkupScanners
