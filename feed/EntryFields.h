// Reads everything one entry says of itself (link, title, description, identity, dates, author,
// full content, categories, enclosures) in one pass over its children, and what a feed says of
// itself.
#pragma once

#include <string>
#include <vector>

#include "FeedItem.h"

class XmlDocument;
class XmlNode;

// The dialects whose entries read differently.
enum class EntryDialect { kRss, kRdf, kAtom };

// One entry's fields as read; the caller strips the description's markup when it must.
struct EntryFields {
  std::string link;
  std::string title;
  // As found, markup kept.
  std::string description;
  std::string id;
  // RFC 3339 text in UTC, empty when the feed gives no date this reads.
  std::string published;
  std::string updated;
  std::string author;
  // The full body as HTML, or the description as found when the entry has no other.
  std::string content;
  std::vector<std::string> categories;
  std::vector<FeedEnclosure> enclosures;
};

// The fields of entry. Every child is visited once, and each grandchild at most once (an Atom
// author's name, a Media RSS group's files), so the work is in proportion to the entry's size.
// A field the entry lacks, or gives in a form that makes no sense, is left empty.
EntryFields ReadEntryFields(const XmlNode& entry, EntryDialect dialect);

// The feed's own title and link; empty where it gives none.
FeedChannel ReadChannel(const XmlDocument& document, EntryDialect dialect);

// The feed's links to its other pages: Atom link elements with rel "prev-archive" or "next" among
// the children of an RSS channel (under any prefix bound to the Atom namespace) or of an Atom
// feed; the first of each counts.
FeedPaging ReadPaging(const XmlDocument& document, EntryDialect dialect);
