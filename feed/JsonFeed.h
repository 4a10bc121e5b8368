// JSON Feed (versions 1.0 and 1.1, https://jsonfeed.org/): the fourth dialect, read from the
// decoded body into the same ParsedFeed the XML dialects give.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "FeedParser.h"

namespace JsonFeed {

// The dialect number ParsedFeed::feedType and FeedReader::FeedType give for a JSON Feed.
inline constexpr int32_t kFeedType = 4;
// The deepest nesting of arrays and objects read, as for the elements of an XML document.
inline constexpr std::size_t kMaxDepth = 1000;

// The body is a JSON object (its first byte after blank space and a byte-order mark is "{"), so
// it is never XML: it is read as a JSON Feed, or fails as one.
bool IsJsonObject(std::string_view text);

}  // namespace JsonFeed

// Reads one JSON Feed. Markup is stripped from descriptions through parser, as for the other
// dialects.
class JsonFeedReader {
 public:
  JsonFeedReader(FeedParser& parser, const FeedParseOptions& options) : parser_(parser), options_(options) {}

  // Reads text (the decoded body) into feed: loaded when it is valid JSON whose top-level
  // "version" names jsonfeed.org, parsed when every entry was read. A failure (invalid JSON, a
  // value of the wrong type, nesting past kMaxDepth, more entries than the ceiling) is recorded
  // in feed with its reason. Never throws. text keeps its content; its storage may grow.
  void Read(std::string& text, ParsedFeed& feed);

 private:
  FeedParser& parser_;
  const FeedParseOptions& options_;
};
