// Loads a file of feed addresses into the URL list: an OPML subscription list by its outlines,
// any other file one row per line.
#pragma once

#include <cstddef>
#include <string>

#include "DialogService.h"
#include "EventPump.h"
#include "UrlList.h"

// The longest row a file may give, in bytes; a longer line stops the load with a message.
inline constexpr std::size_t kMaxUrlFileRowBytes = 1024 * 1024;
// The most rows one file may give; the load stops there with a message, and the rows stay.
inline constexpr std::size_t kMaxUrlFileRows = 100000;
// An OPML file is read whole before it is parsed; a larger one is refused with a message.
inline constexpr std::size_t kMaxOpmlFileBytes = 64 * 1024 * 1024;
// How far into a file its prolog may reach for the file to be taken as OPML.
inline constexpr std::size_t kMaxOpmlPrologBytes = 1024 * 1024;

enum class UrlFileLoad {
  kLoaded,       // the file's rows were appended (possibly none)
  kNotFound,     // "File not found" was shown; nothing was added
  kBrokenOpml,   // the file starts like OPML but does not parse; a message said so, nothing added
  kTooLarge,     // an address past kMaxUrlFileRowBytes or an OPML file past kMaxOpmlFileBytes;
                 // a message said so
  kTooManyRows,  // the file holds more than kMaxUrlFileRows rows; the first ones were appended
                 // and a message said the load stopped
};

// A missing path shows "File not found" and adds nothing. Input that is too much for the list
// stops the load with a plain message saying why, never with a failure.
//
// An OPML document (its first element is <opml ...>, after a byte-order mark, white space, the
// XML declaration, comments and a document type declaration): appends the xmlUrl of every
// outline that has one, in document order, nested outlines included, processing events before
// each. One that does not parse shows a message saying what is wrong and where, and adds
// nothing; so does one past kMaxOpmlFileBytes, or with an address past kMaxUrlFileRowBytes
// among its first kMaxUrlFileRows. Past kMaxUrlFileRows addresses, the first ones are appended
// and a message says the load stopped.
//
// Every other file: appends the file's lines, each as soon as it has been read. A line ends at
// CR LF, at a lone CR or at a lone LF; the end of the last line adds no row, whichever it is.
// Blank lines give empty rows, nothing is trimmed, and a UTF-8 byte-order mark at the very start
// of the file is dropped. Events are processed before each line. A line past
// kMaxUrlFileRowBytes, or a line after the first kMaxUrlFileRows, stops the load with a message;
// the rows added before stay. A file that cannot be opened or read throws std::system_error; the
// rows added before stay.
UrlFileLoad LoadUrlFile(UrlList& list, const std::string& path, DialogService& dialogs,
                        EventPump& events);
