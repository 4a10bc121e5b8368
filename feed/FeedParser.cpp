#include "FeedParser.h"

#include <array>
#include <limits>
#include <memory>

#include "JsonFeed.h"
#include "MarkupScanners.h"
#include "Patterns.h"
#include "Re2RegExp.h"
#include "TextDecoder.h"
#include "XmlDocument.h"

namespace {

struct Dialect {
  const char* entryPath;  // evaluated on the whole document; also the detection query
  const char* titlePath;  // the field paths are relative to one entry
  const char* descriptionPath;
  const char* linkPath;
  const char* descriptionFallback = nullptr;  // read when the entry has no descriptionPath
};

// Names are matched as written, prefix included: "rdf:RDF" must be spelt that way in the feed.
constexpr std::array<Dialect, 3> kDialects = {{
    {"/rss/channel/item", "title", "description", "link"},
    // RSS 1.0 puts its items beside the channel, not inside it.
    {"/rdf:RDF/item", "title", "description", "link"},
    // Atom: a link without rel is an alternate link, and an entry without content keeps its
    // text in summary.
    {"/feed/entry", "title", "content", "link[@rel='alternate' or not(@rel)]/@href", "summary"},
}};

// The path of the entry's description: the first child the dialect's name finds, else its
// fallback. Each is one pass over the entry's children; a union whose predicate looks for the
// first name again ("content|summary[not(../content)]") rescans them for every candidate.
const std::string& DescriptionPath(const XmlNode& entry, const std::string& path,
                                   const std::string& fallback) {
  if (fallback.empty() || !entry.SelectSingleNode(path).IsNull()) return path;
  return fallback;
}

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
  for (const Dialect& dialect : kDialects) paths.emplace_back(dialect.entryPath);
  return paths;
}

void FeedParser::ParseItems(XmlDocument& document, ParsedFeed& feed) {
  feed.loaded = true;
  feed.parsed = false;
  const auto record = [&](int32_t code, const std::string& text) { SetLastError(feed, code, text); };
  RecordFailure([&] {
    int32_t lType = options_.lType;
    if (lType == 0) {
      for (std::size_t index = 0; index < kDialects.size(); ++index) {
        if (!document.SelectSingleNode(kDialects[index].entryPath).IsNull()) {
          lType = static_cast<int32_t>(index) + 1;
          break;
        }
      }
    }
    feed.feedType = lType;
    if (lType < 1 || lType > static_cast<int32_t>(kDialects.size())) return;
    const Dialect& dialect = kDialects[static_cast<std::size_t>(lType) - 1];

    // The field paths as text once, not once for every field of every entry.
    const std::string linkPath = dialect.linkPath;
    const std::string titlePath = dialect.titlePath;
    const std::string descriptionPath = dialect.descriptionPath;
    const std::string descriptionFallback = dialect.descriptionFallback ? dialect.descriptionFallback : "";
    // One entry past the ceiling tells that there are more; the rest is never listed.
    const std::size_t maxEntries = options_.maxEntries;
    const bool unlimited = maxEntries == std::numeric_limits<std::size_t>::max();
    std::vector<XmlNode> entries =
        document.SelectNodes(dialect.entryPath, unlimited ? maxEntries : maxEntries + 1);
    const bool tooMany = entries.size() > maxEntries;
    if (tooMany) entries.resize(maxEntries);
    for (const XmlNode& entry : entries) {
      auto item = std::make_shared<FeedItem>();
      item->url_ = GetNodeText(entry, linkPath, feed);
      item->title_ = GetNodeText(entry, titlePath, feed);
      item->description_ =
          GetNodeText(entry, DescriptionPath(entry, descriptionPath, descriptionFallback), feed);
      if (!options_.bAllowHTML) {
        item->description_ = StripHTML(std::move(item->description_));
        // The stripped text keeps the room its tags took; the list keeps every
        // description for as long as it lives, so give that room back.
        item->description_.shrink_to_fit();
      }
      feed.items.push_back(std::move(item));
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

std::string FeedParser::GetNodeText(const XmlNode& entry, const std::string& path, ParsedFeed& feed) {
  std::string text;
  RecordFailure([&] { text = entry.SelectSingleNode(path).NodeTypedValue(); },
                [&](int32_t code, const std::string& message) { SetLastError(feed, code, message); });
  return text;
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
