#include "FeedParser.h"

#include <array>
#include <limits>
#include <memory>

#include "EntryFields.h"
#include "JsonFeed.h"
#include "MarkupScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"
#include "TextDecoder.h"
#include "XmlDocument.h"

namespace {

// Names are matched as written, prefix included: "rdf:RDF" must be spelt that way in the feed.
// Each path is evaluated on the whole document, and is also the query that detects the dialect.
constexpr std::array<const char*, 3> kEntryPaths = {
    "/rss/channel/item",
    // RSS 1.0 puts its items beside the channel, not inside it.
    "/rdf:RDF/item",
    "/feed/entry",
};

void SetLastError(ParsedFeed& feed, int32_t code, const std::string& text) {
  feed.errorCode = code;
  feed.errorText = text;
}

}  // namespace

std::string WithThousands(std::size_t count) {
  const std::string digits = std::to_string(count);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}


ParsedFeed ParseFeed(std::string body, const FeedParseOptions& options) {
  ParsedFeed feed;
  RecordFailure(
      [&] {
        Re2RegExp regex;
        regex.IgnoreCase(true);
        regex.Global(true);
        FeedParser parser(regex, options);
        std::string text = DecodeOwnedBody(std::move(body), options.contentType);
        if (JsonFeed::IsJsonObject(text)) return JsonFeedReader(parser, options).Read(text, feed);
        XmlDocument document;
        // Entries past the ceiling are not even parsed: a small body can unpack to millions.
        document.EntryCeiling(FeedParser::EntryPaths(), options.maxEntries);
        document.LoadXML(parser.CleanDocument(std::move(text)));
        if (!document.XML().empty()) parser.ParseItems(document, feed);
      },
      [&](int32_t code, const std::string& text) { SetLastError(feed, code, text); });
  return feed;
}

std::vector<std::string> FeedParser::EntryPaths() {
  std::vector<std::string> paths;
  for (const char* path : kEntryPaths) paths.emplace_back(path);
  return paths;
}

void FeedParser::ParseItems(XmlDocument& document, ParsedFeed& feed) {
  feed.loaded = true;
  feed.parsed = false;
  const auto record = [&](int32_t code, const std::string& text) { SetLastError(feed, code, text); };
  RecordFailure([&] {
    int32_t lType = options_.lType;
    if (lType == 0) {
      for (std::size_t index = 0; index < kEntryPaths.size(); ++index) {
        if (!document.SelectSingleNode(kEntryPaths[index]).IsNull()) {
          lType = static_cast<int32_t>(index) + 1;
          break;
        }
      }
    }
    feed.feedType = lType;
    if (lType < 1 || lType > static_cast<int32_t>(kEntryPaths.size())) return;
    const auto dialect = static_cast<EntryDialect>(lType - 1);
    // Read before the entries, which are discarded as they are read.
    const auto channel = std::make_shared<const FeedChannel>(ReadChannel(document, dialect));
    feed.paging = ReadPaging(document, dialect);

    // One entry past the ceiling tells that there are more; the rest is never listed.
    const std::size_t maxEntries = options_.maxEntries;
    const bool unlimited = maxEntries == std::numeric_limits<std::size_t>::max();
    std::vector<XmlNode> entries =
        document.SelectNodes(kEntryPaths[static_cast<std::size_t>(lType) - 1], unlimited ? maxEntries : maxEntries + 1);
    const bool tooMany = entries.size() > maxEntries;
    if (tooMany) entries.resize(maxEntries);
    for (const XmlNode& entry : entries) {
      feed.items.push_back(MakeItem(ReadEntryFields(entry, dialect), channel));
      // Read once: the next entries' texts take the memory its nodes leave, so a large feed's
      // tree and its texts are not held side by side.
      document.Discard(entry);
    }
    if (tooMany) {
      SetLastError(feed, ErrorCodes::kTooManyEntries,
                   "The feed has more than " + WithThousands(maxEntries) + " entries; only the first " +
                       WithThousands(maxEntries) + " were read");
      return;
    }
    feed.parsed = true;
  }, record);
}

std::shared_ptr<const FeedItem> FeedParser::MakeItem(EntryFields&& fields,
                                                     const std::shared_ptr<const FeedChannel>& channel) {
  auto item = std::make_shared<FeedItem>();
  item->url_ = std::move(fields.link);
  item->title_ = std::move(fields.title);
  item->description_ = std::move(fields.description);
  if (!options_.bAllowHTML) {
    item->description_ = StripHTML(std::move(item->description_));
    // The stripped text keeps the room its tags took; the list keeps every
    // description for as long as it lives, so give that room back.
    item->description_.shrink_to_fit();
  }
  item->id_ = std::move(fields.id);
  item->published_ = std::move(fields.published);
  item->updated_ = std::move(fields.updated);
  item->author_ = std::move(fields.author);
  item->content_ = std::move(fields.content);
  item->categories_ = std::move(fields.categories);
  item->enclosures_ = std::move(fields.enclosures);
  item->channel_ = channel;
  return item;
}

std::string FeedParser::StripHTML(std::string&& sString) {
  regex_.Pattern(Patterns::kStripHtml);
  return regex_.Replace(std::move(sString), "");
}

std::string FeedParser::CleanDocument(std::string text) {
  regex_.Pattern(Patterns::kCleanDocument);
  std::string cleaned = regex_.Replace(std::move(text), "");
  // After the characters, so that the declarations found are the ones the parser would see.
  // Entities defined in an internal subset go with it and are never expanded.
  MarkupScanners::RemoveDoctypeDeclarations(cleaned);
  return cleaned;
}
