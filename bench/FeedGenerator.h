// Builds large, deterministic RSS 2.0, RSS 1.0 (RDF), Atom and JSON Feed feeds for timing the parse path.
#pragma once

#include <cstddef>
#include <string>

enum class FeedDialect { kRss, kRdf, kAtom, kJson };

// "rss", "rdf", "atom" or "json": used in file names and the report.
const char* DialectName(FeedDialect dialect);

// A feed of the dialect with itemCount entries. Every entry has a title (some with non-ASCII
// letters and typographic marks), a link, and about 1 KB of HTML written with character
// entities (&lt;p&gt;..., &amp;, &#8217;) as its description or Atom html content; an id, dates,
// an author and categories; RSS entries another 1 KB as content:encoded, and every tenth entry an
// enclosure. The same arguments always give the same bytes; a JSON Feed holds the same entries
// as the RSS 2.0 feed of its size, each text unescaped once and written as a JSON string.
std::string GenerateFeed(FeedDialect dialect, std::size_t itemCount);
