// Turns a response body into UTF-8 text, choosing the encoding from the bytes and the headers.
#pragma once

#include <string>
#include <string_view>

// Decodes body into UTF-8: a byte-order mark first; else the charset of the Content-Type header;
// else the encoding of the XML declaration; else UTF-8 when the bytes are valid UTF-8; else
// windows-1252. A charset iconv does not know passes to the next rule; ISO-8859-1, ASCII and
// their other labels are read as windows-1252, as browsers read them. Invalid sequences become
// U+FFFD. The result is always valid UTF-8; nothing is dropped silently.
std::string DecodeBody(std::string_view body, std::string_view contentType);

// As DecodeBody, but takes the body over: text that is already valid UTF-8 is handed back without
// a copy, which matters for bodies of tens of megabytes.
std::string DecodeOwnedBody(std::string body, std::string_view contentType);

