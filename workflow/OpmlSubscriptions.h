// Subscription lists exported by other feed programs: OPML documents, whose outlines carry the
// feed addresses in their xmlUrl attributes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class OpmlStart {
  kOpml,       // the first element is <opml ...>: the file is meant as an OPML document
  kNotOpml,    // anything else: the file is a list of lines
  kUndecided,  // the bytes so far end inside the prolog; look at more of the file
};

// Whether a file that begins with head is an OPML document. Looks past a byte-order mark
// (UTF-8, or UTF-16 and UTF-32 by their marks), white space, the XML declaration, processing
// instructions, comments and a document type declaration to the first element. whole says that
// head is the entire file, so it never answers kUndecided.
OpmlStart SniffOpml(std::string_view head, bool whole);

struct OpmlAddresses {
  // False when the document does not parse or its root element is not opml.
  bool parsed = false;
  // The xmlUrl of every outline element that has a non-empty one, in document order, nested
  // outlines included; the values exactly as written, after XML unescaping.
  std::vector<std::string> addresses;
  // What is wrong with a document that did not parse, with its line: "... at line 3".
  std::string error;
};

// Reads the addresses of an OPML document, at most maxAddresses of them (the first ones). The
// bytes are decoded like a feed (byte-order mark, the XML declaration's encoding, UTF-8, else
// windows-1252); entities are never expanded beyond XML's own five and character references.
OpmlAddresses ReadOpmlAddresses(std::string_view bytes, std::size_t maxAddresses);
