#include "JsonFeed.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include <simdjson.h>

#include "FeedDates.h"

namespace dom = simdjson::dom;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

[[noreturn]] void Fail(const std::string& text) { throw ComponentError(ErrorCodes::kJsonFeed, text); }

const char* TypeName(dom::element_type type) {
  switch (type) {
    case dom::element_type::ARRAY: return "a list";
    case dom::element_type::OBJECT: return "an object";
    case dom::element_type::STRING: return "text";
    case dom::element_type::BOOL: return "true or false";
    case dom::element_type::NULL_VALUE: return "null";
    default: return "a number";
  }
}

// Names where a value is, for the reasons a feed fails with: "item 3's \"title\"".
std::string Where(const std::string& owner, std::string_view key) {
  return owner + "'s \"" + std::string(key) + "\"";
}

[[noreturn]] void WrongType(const std::string& where, dom::element value, const char* wanted) {
  Fail("The JSON Feed is not valid: " + where + " is " + TypeName(value.type()) + ", not " + wanted);
}

// The member key of object; null counts as absent, as it does in most feeds that write it.
std::optional<dom::element> Member(dom::object object, std::string_view key) {
  dom::element value;
  if (object.at_key(key).get(value) != simdjson::SUCCESS || value.is_null()) return std::nullopt;
  return value;
}

std::string_view TextOf(dom::element value, const std::string& where) {
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS) WrongType(where, value, "text");
  return text;
}

// The text of member key, empty when it is absent; a value that is not text fails the feed.
std::string Text(dom::object object, std::string_view key, const std::string& owner) {
  const std::optional<dom::element> value = Member(object, key);
  return value ? std::string(TextOf(*value, Where(owner, key))) : std::string();
}

dom::object ObjectOf(dom::element value, const std::string& where) {
  dom::object object;
  if (value.get_object().get(object) != simdjson::SUCCESS) WrongType(where, value, "an object");
  return object;
}

std::optional<dom::array> List(dom::object object, std::string_view key, const std::string& owner) {
  const std::optional<dom::element> value = Member(object, key);
  if (!value) return std::nullopt;
  dom::array array;
  if (value->get_array().get(array) != simdjson::SUCCESS) WrongType(Where(owner, key), *value, "a list");
  return array;
}

std::string NumberText(dom::element value) {
  int64_t whole = 0;
  uint64_t positive = 0;
  if (value.get_int64().get(whole) == simdjson::SUCCESS) return std::to_string(whole);
  if (value.get_uint64().get(positive) == simdjson::SUCCESS) return std::to_string(positive);
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, double(value)).ptr;
  return std::string(buffer, end);
}

// The identity: text, or a number written as text (the format asks readers to take numbers so).
std::string Identity(dom::object item, const std::string& owner) {
  const std::optional<dom::element> value = Member(item, "id");
  if (!value) return {};
  if (value->is_number()) return NumberText(*value);
  return std::string(TextOf(*value, Where(owner, "id")));
}

// The names of "authors" (1.1), else of "author" (1.0), joined by ", "; one without a name is
// known by its address. Empty when there are none.
std::string Authors(dom::object object, const std::string& owner) {
  std::string names;
  const auto add = [&](dom::element value, const std::string& where) {
    const dom::object author = ObjectOf(value, where);
    std::string name = Text(author, "name", where);
    if (name.empty()) name = Text(author, "url", where);
    if (name.empty()) return;
    if (!names.empty()) names += ", ";
    names += name;
  };
  if (const std::optional<dom::array> authors = List(object, "authors", owner)) {
    std::size_t index = 0;
    for (dom::element author : *authors) add(author, Where(owner, "authors") + " entry " + std::to_string(++index));
  }
  if (names.empty()) {
    if (const std::optional<dom::element> author = Member(object, "author")) add(*author, Where(owner, "author"));
  }
  return names;
}

uint64_t Length(dom::object attachment, const std::string& owner) {
  const std::optional<dom::element> value = Member(attachment, "size_in_bytes");
  if (!value) return 0;
  uint64_t length = 0;
  if (value->get_uint64().get(length) == simdjson::SUCCESS) return length;
  if (!value->is_number()) WrongType(Where(owner, "size_in_bytes"), *value, "a number");
  // A negative or fractional size makes no sense; an absurdly large one neither.
  const double size = double(*value);
  return size >= 1 && size < 1.8e19 ? static_cast<uint64_t>(size) : 0;
}

bool NamesJsonFeed(std::string_view version) {
  for (std::string_view prefix : {"https://jsonfeed.org/version/", "http://jsonfeed.org/version/"}) {
    if (version.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

}  // namespace

bool JsonFeed::IsJsonObject(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at < text.size() && text[at] == '{';
}

void JsonFeedReader::Read(std::string& text, ParsedFeed& feed) {
  feed.loaded = false;
  feed.parsed = false;
  feed.feedType = 0;
  const bool completed = RecordFailure(
      [&] {
        // The parser reads past the end in wide steps: give it room in the text's own storage
        // rather than a copy of a body that may be 64 MiB.
        const std::size_t size = text.size();
        text.append(simdjson::SIMDJSON_PADDING, ' ');
        dom::parser parser;
        dom::element root;
        simdjson::error_code error = parser.allocate(size, JsonFeed::kMaxDepth);
        if (error == simdjson::SUCCESS) error = parser.parse(text.data(), size, false).get(root);
        text.resize(size);
        if (error == simdjson::DEPTH_ERROR) {
          throw ComponentError(ErrorCodes::kTooDeep, "The JSON Feed nests lists and objects more than " +
                                                         std::to_string(JsonFeed::kMaxDepth) + " levels deep");
        }
        if (error != simdjson::SUCCESS) Fail(std::string("The response is not valid JSON: ") + simdjson::error_message(error));
        dom::object top;
        std::string_view version;
        if (root.get_object().get(top) != simdjson::SUCCESS || !Member(top, "version") ||
            Member(top, "version")->get_string().get(version) != simdjson::SUCCESS || !NamesJsonFeed(version)) {
          Fail("The response is JSON but not a JSON Feed: it has no \"version\" naming jsonfeed.org");
        }
        feed.loaded = true;
        feed.feedType = options_.lType != 0 ? options_.lType : JsonFeed::kFeedType;
        if (feed.feedType != JsonFeed::kFeedType) return;

        const std::string owner = "the feed";
        auto channel = std::make_shared<FeedChannel>();
        channel->title = Text(top, "title", owner);
        channel->link = Text(top, "home_page_url", owner);
        const std::string feedAuthors = Authors(top, owner);
        const std::optional<dom::array> items = List(top, "items", owner);
        if (!items) Fail("The JSON Feed is not valid: it has no \"items\" list");

        const std::size_t maxEntries = options_.maxEntries;
        std::size_t index = 0;
        for (dom::element value : *items) {
          if (index == maxEntries) {
            throw ComponentError(ErrorCodes::kTooManyEntries,
                                 "The feed has more than " + WithThousands(maxEntries) + " entries; only the first " +
                                     WithThousands(maxEntries) + " were read");
          }
          const std::string where = "item " + std::to_string(++index);
          const dom::object entry = ObjectOf(value, where);
          auto item = std::make_shared<FeedItem>();
          item->url_ = Text(entry, "url", where);
          if (item->url_.empty()) item->url_ = Text(entry, "external_url", where);
          item->title_ = Text(entry, "title", where);
          item->id_ = Identity(entry, where);
          item->published_ = FeedDates::ToRfc3339(Text(entry, "date_published", where));
          item->updated_ = FeedDates::ToRfc3339(Text(entry, "date_modified", where));
          item->author_ = Authors(entry, where);
          if (item->author_.empty()) item->author_ = feedAuthors;
          // The fullest body there is: HTML, else plain text, else the summary (plain text too).
          std::string html = Text(entry, "content_html", where);
          const bool isHtml = !html.empty();
          item->content_ = isHtml ? std::move(html) : Text(entry, "content_text", where);
          if (item->content_.empty()) item->content_ = Text(entry, "summary", where);
          // Only HTML has tags to strip: plain text keeps its "<" and ">" as written.
          item->description_ = isHtml && !options_.bAllowHTML ? parser_.StripHTML(std::string(item->content_))
                                                              : item->content_;
          item->description_.shrink_to_fit();
          if (const std::optional<dom::array> tags = List(entry, "tags", where)) {
            for (dom::element tag : *tags) item->categories_.emplace_back(TextOf(tag, Where(where, "tags") + " entry"));
          }
          if (const std::optional<dom::array> attachments = List(entry, "attachments", where)) {
            std::size_t number = 0;
            for (dom::element attachment : *attachments) {
              const std::string at = Where(where, "attachments") + " entry " + std::to_string(++number);
              const dom::object file = ObjectOf(attachment, at);
              FeedEnclosure enclosure{Text(file, "url", at), Text(file, "mime_type", at), Length(file, at)};
              // An attachment without an address names nothing to fetch.
              if (!enclosure.url.empty()) item->enclosures_.push_back(std::move(enclosure));
            }
          }
          item->channel_ = channel;
          feed.items.push_back(std::move(item));
        }
        feed.parsed = true;
      },
      [&](int32_t code, const std::string& message) {
        feed.errorCode = code;
        feed.errorText = message;
      });
  // A feed that does not read whole gives no entries, apart from the first ones of a feed past
  // the entry ceiling, which are all good.
  if (!completed && feed.errorCode != ErrorCodes::kTooManyEntries) feed.items.clear();
}
