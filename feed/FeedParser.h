// The parse part of the feed engine: a body in, the dialect and entries out. No HTTP and no
// registry, so a body from anywhere (a response, a file, a kept copy) reads the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "ErrorCodes.h"
#include "FeedItem.h"

struct EntryFields;
class RegExp;
class XmlDocument;
class XmlNode;

// How one body is read.
struct FeedParseOptions {
  // The response's Content-Type; its charset decides the decoding when the body has no
  // byte-order mark.
  std::string contentType;
  // 0 detects the dialect; 1 (RSS), 2 (RDF) or 3 (Atom) forces it.
  int32_t lType = 0;
  // Keep markup in descriptions instead of stripping it.
  bool bAllowHTML = false;
  // A feed with more entries gives its first maxEntries and fails with kTooManyEntries.
  std::size_t maxEntries = 100'000;
};

// What one body gave.
struct ParsedFeed {
  // The cleaned text loaded as an XML document.
  bool loaded = false;
  // The dialect is known and every entry was read.
  bool parsed = false;
  // lType as given, or the dialect found; 0 when the text did not load.
  int32_t feedType = 0;
  FeedItemList items;
  // Where the feed says its other pages are.
  FeedPaging paging;
  // The last failure, or 0 and "" when there was none.
  int32_t errorCode = 0;
  std::string errorText;
};

// Decodes body, cleans the text, loads it, recognises the dialect and reads the entries. Never
// throws: a failure is recorded in the result.
ParsedFeed ParseFeed(std::string body, const FeedParseOptions& options = {});

// Runs work; a ComponentError it throws is given to record with its own number, any other
// exception with kUnexpected. False when work threw.
template <class Work, class Record>
bool RecordFailure(Work&& work, Record&& record) {
  try {
    work();
    return true;
  } catch (const ComponentError& error) {
    record(error.Code(), error.what());
  } catch (const std::exception& error) {
    record(ErrorCodes::kUnexpected, error.what());
  }
  return false;
}

// A count as people write it: 100000 as "100,000".
std::string WithThousands(std::size_t count);

// The steps of ParseFeed over a regular-expression component and a document the caller made:
// FeedReader creates both by class name.
class FeedParser {
 public:
  FeedParser(RegExp& regex, const FeedParseOptions& options) : regex_(regex), options_(options) {}

  // text without the characters XML 1.0 forbids and without document type declarations.
  // Throws ComponentError when the regex component fails.
  std::string CleanDocument(std::string text);
  // Recognises the dialect of a loaded document (unless options force one) and reads its
  // entries into feed; failures are recorded in feed.
  void ParseItems(XmlDocument& document, ParsedFeed& feed);
  // The entry paths of every dialect, whose elements a document counts against the entry ceiling
  // while it loads.
  static std::vector<std::string> EntryPaths();
  // sString with every markup tag removed, in its own storage. Throws ComponentError.
  std::string StripHTML(std::string&& sString);

 private:
  // The item of one entry's fields, its description stripped unless HTML is allowed.
  std::shared_ptr<const FeedItem> MakeItem(EntryFields&& fields, const std::shared_ptr<const FeedChannel>& channel);

  RegExp& regex_;
  const FeedParseOptions& options_;
};
