// Loads a file of feed addresses into the URL list: an OPML subscription list by its outlines,
// any other file one row per line.
#pragma once

#include <cstddef>
#include <string>

#include "DialogService.h"
#include "EventPump.h"
#include "UrlList.h"

// The longest row a file may give, in bytes; a longer line stops the load with an error.
inline constexpr std::size_t kMaxUrlFileRowBytes = 1024 * 1024;
// An OPML file is read whole before it is parsed; a larger one stops the load with an error.
inline constexpr std::size_t kMaxOpmlFileBytes = 64 * 1024 * 1024;
// How far into a file its prolog may reach for the file to be taken as OPML.
inline constexpr std::size_t kMaxOpmlPrologBytes = 1024 * 1024;

enum class UrlFileLoad {
  kLoaded,      // the file's rows were appended (possibly none)
  kNotFound,    // "File not found" was shown; nothing was added
  kBrokenOpml,  // the file starts like OPML but does not parse; a message said so, nothing added
};

// A missing path shows "File not found" and adds nothing.
//
// An OPML document (its first element is <opml ...>, after a byte-order mark, white space, the
// XML declaration, comments and a document type declaration): appends the xmlUrl of every
// outline that has one, in document order, nested outlines included, processing events before
// each. One that does not parse shows a message saying what is wrong and where, and adds
// nothing. One past kMaxOpmlFileBytes, or with an address past kMaxUrlFileRowBytes, throws
// std::system_error before any row is added.
//
// Every other file: appends the file's lines, each as soon as it has been read. A line ends at
// CR LF or at a lone CR; an LF inside a line also ends a row, so a file with LF-only line ends
// gives one row per line plus an empty row after a final LF. Blank lines give empty rows,
// nothing is trimmed, and a UTF-8 byte-order mark at the very start of the file is dropped.
// Events are processed before each line and before each LF-separated piece. A file that cannot
// be opened or read, or a row past kMaxUrlFileRowBytes, throws std::system_error; the rows
// added before stay.
UrlFileLoad LoadUrlFile(UrlList& list, const std::string& path, DialogService& dialogs,
                        EventPump& events);
