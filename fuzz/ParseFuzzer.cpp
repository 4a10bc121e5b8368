// Feeds arbitrary bytes through ParseFeed, the engine's whole text path: body decoding, document
// cleaning, XML loading, dialect detection, field extraction and markup stripping.
//
// The first byte picks the dialect passed as lType (low two bits), the response's Content-Type
// (next three bits) and whether the entry ceiling is 2 (next bit); the rest is the response body.
// Seeds start with '@' for "detect, no Content-Type, the standard ceiling".
//
// Aborts when an item field is not valid UTF-8, when the parse keeps more items than its
// ceiling, or when the dialect comes back out of range.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "FeedParser.h"
#include "TextDecoder.h"
#include "Utf8.h"

namespace {

constexpr const char* kContentTypes[8] = {
    "",
    "text/xml",
    "application/rss+xml; charset=utf-8",
    "application/atom+xml; charset=ISO-8859-1",
    "text/xml; charset=windows-1252",
    "text/html; charset=utf-16",
    "application/xml; charset=\"UTF-16BE\"",
    "text/xml; charset=no-such-charset",
};

// Reads every field so that a bad value cannot hide unread; every item field must be UTF-8.
std::size_t Touch(const ParsedFeed& feed, std::size_t maxEntries) {
  std::size_t total = feed.errorText.size();
  if (feed.items.size() > maxEntries) __builtin_trap();
  for (const auto& item : feed.items) {
    for (const std::string* field : {&item->URL(), &item->Title(), &item->Description()}) {
      if (!Utf8::IsValid(*field)) __builtin_trap();
      total += field->size();
    }
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view contentType = kContentTypes[(selector >> 2) & 7];

  FeedParseOptions options;
  options.contentType = contentType;
  options.lType = selector & 3;
  if (selector & 0x20) options.maxEntries = 2;

  volatile std::size_t sink = 0;
  for (bool allowHtml : {false, true}) {
    options.bAllowHTML = allowHtml;
    const ParsedFeed feed = ParseFeed(std::string(body), options);
    if (feed.feedType < 0 || feed.feedType > 4) __builtin_trap();
    sink = sink + Touch(feed, options.maxEntries);
  }
  return 0;
}
