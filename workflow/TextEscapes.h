// Texts from feeds, files and servers written where they must not break their surroundings: as
// JSON strings, and as lines on a terminal.
#pragma once

#include <string>
#include <string_view>

// text as a JSON string, quotes included. Quotes, backslashes and control characters are
// escaped (\n, \t, ... or \u00XX), everything else stays as it is, non-ASCII text as UTF-8. A
// byte that is not part of a valid UTF-8 sequence becomes U+FFFD, so the result is always valid
// UTF-8 and valid JSON.
std::string JsonString(std::string_view text);

// The same, appended to json: the bytes that need no escaping go in runs, not one by one.
void AppendJsonString(std::string& json, std::string_view text);

// text fit for one line of a terminal: control characters (C0, DEL and C1) are shown as \xNN or
// \u00NN instead of being sent to the terminal, and invalid UTF-8 becomes U+FFFD.
std::string DisplayText(std::string_view text);
