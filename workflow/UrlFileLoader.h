// Loads a text file of feed addresses into the URL list, one row per line.
#pragma once

#include <cstddef>
#include <string>

#include "DialogService.h"
#include "EventPump.h"
#include "UrlList.h"

// The longest row a file may give, in bytes; a longer line stops the load with an error.
inline constexpr std::size_t kMaxUrlFileRowBytes = 1024 * 1024;

// Appends the file's lines to list, each as soon as it has been read. A line ends at CR LF or
// at a lone CR; an LF inside a line also ends a row, so a file with LF-only line ends gives one
// row per line plus an empty row after a final LF. Blank lines give empty rows, nothing is
// trimmed, and a UTF-8 byte-order mark at the very start of the file is dropped. Events are
// processed before each line and before each LF-separated piece. A missing path shows
// "File not found" and adds nothing. A file that cannot be opened or read, or a row past
// kMaxUrlFileRowBytes, throws std::system_error; the rows added before stay.
void LoadUrlFile(UrlList& list, const std::string& path, DialogService& dialogs,
                 EventPump& events);
