#include "FeedReader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <strings.h>

#include "ErrorCodes.h"
#include "HttpRequest.h"
#include "MarkupScanners.h"
#include "Patterns.h"
#include "RegExp.h"
#include "XmlDocument.h"

namespace {

// Tried in this order until a response loads as an XML document.
constexpr const char* kHttpCandidates =
    "WinHttp.WinHttpRequest.5|MSXML2.XMLHTTP|MSXML2.ServerXMLHTTP|Microsoft.XMLHTTP";

// The one class that takes its credentials through SetCredentials, proxy credentials included.
constexpr const char* kWinHttpClass = "WinHTTP.WinHTTPRequest.5";

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

// A count as people write it: 100000 as "100,000".
std::string WithThousands(std::size_t count) {
  const std::string digits = std::to_string(count);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = text.find(separator, start);
    pieces.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

// The path of the entry's description: the first child the dialect's name finds, else its
// fallback. Each is one pass over the entry's children; a union whose predicate looks for the
// first name again ("content|summary[not(../content)]") rescans them for every candidate.
const std::string& DescriptionPath(const XmlNode& entry, const std::string& path,
                                   const std::string& fallback) {
  if (fallback.empty() || !entry.SelectSingleNode(path).IsNull()) return path;
  return fallback;
}

std::vector<std::string> EntryPaths() {
  std::vector<std::string> paths;
  for (const Dialect& dialect : kDialects) paths.emplace_back(dialect.entryPath);
  return paths;
}

}  // namespace

FeedReader::FeedReader() : FeedReader(ComponentRegistry::Standard()) {}

FeedReader::FeedReader(ComponentRegistry registry) : registry_(std::move(registry)) {
  Clear();
  proxyUser_.clear();
  proxyPassword_.clear();
  regex_ = CreateComponentAs<RegExp>("VBScript.RegExp");
  if (regex_) {
    regex_->IgnoreCase(true);
    regex_->Global(true);
  }
}

FeedReader::~FeedReader() = default;

bool FeedReader::ReadFeed(const std::string& sURL, const std::string& sUserName,
                          const std::string& sPassWord) {
  int32_t lType = 0;
  return ReadFeed(sURL, sUserName, sPassWord, lType, false);
}

bool FeedReader::ReadFeed(const std::string& sURL, const std::string& sUserName,
                          const std::string& sPassWord, int32_t& lType, bool bAllowHTML) {
  if (!regex_) return false;
  bool parsed = false;
  try {
    const std::vector<std::string> candidates = Split(kHttpCandidates, '|');
    Clear();
    items_ = std::make_shared<FeedItemList>();
    std::unique_ptr<XmlDocument> document = CreateComponentAs<XmlDocument>("MSXML.DomDocument");
    if (document) {
      // Entries past the ceiling are not even parsed: a small body can unpack to millions.
      document->EntryCeiling(EntryPaths(), maxEntries_);
      // A candidate served by the same client as one already tried would send the same request
      // and get the same answer: it is skipped, so a failing feed costs one download, not four.
      std::vector<std::string> tried;
      for (std::size_t index = 0; index < candidates.size() && document->XML().empty(); ++index) {
        const std::string& candidate = candidates[index];
        if (std::any_of(tried.begin(), tried.end(), [&](const std::string& name) {
              return registry_.SameImplementation(name, candidate);
            })) {
          continue;
        }
        tried.push_back(candidate);
        document->LoadXML(FetchDocument(sURL, sUserName, sPassWord, candidate));
      }
      if (!document->XML().empty()) parsed = ParseItems(*document, lType, bAllowHTML);
    }
  } catch (const ComponentError& error) {
    SetLastError(error.Code(), error.what());
    return false;
  } catch (const std::exception& error) {
    SetLastError(ErrorCodes::kUnexpected, error.what());
    return false;
  }
  return parsed && statusCode_ == 200;
}

std::string FeedReader::FeedTypeString() const {
  switch (feedType_) {
    case 1:
      return "RSS";
    case 2:
      return "RDF";
    case 3:
      return "Atom";
    default:
      return "Unknown / None";
  }
}

std::string FeedReader::StripHTML(const std::string& sString) {
  return StripHTML(std::string(sString));
}

std::string FeedReader::StripHTML(std::string&& sString) {
  if (!regex_) {
    throw ComponentError(ErrorCodes::kCreateObject, "The regular-expression component is missing");
  }
  regex_->Pattern(Patterns::kStripHtml);
  return regex_->Replace(std::move(sString), "");
}

void FeedReader::Clear() {
  statusCode_ = 0;
  statusText_.clear();
  errorCode_ = 0;
  errorText_.clear();
  feedType_ = 0;
}

std::string FeedReader::FetchDocument(const std::string& sURL, const std::string& sUserName,
                                      const std::string& sPassWord, const std::string& className) {
  std::unique_ptr<HttpRequest> request = CreateComponentAs<HttpRequest>(className);
  if (!request) return {};
  try {
    if (strcasecmp(className.c_str(), kWinHttpClass) == 0) {
      request->Open("GET", sURL, false);
      // Only both empty suppresses a pair of credentials.
      if (!(proxyUser_.empty() && proxyPassword_.empty())) {
        request->SetCredentials(proxyUser_, proxyPassword_, 1);
      }
      if (!(sUserName.empty() && sPassWord.empty())) {
        request->SetCredentials(sUserName, sPassWord, 0);
      }
    } else {
      request->Open("GET", sURL, false, sUserName, sPassWord);
    }
    request->Send();
    statusText_ = request->StatusText();
    statusCode_ = request->Status();
    // Taken over, not copied: a large feed is held once, and cleaned and parsed where it lies.
    std::string text = request->TakeResponseText();
    request.reset();
    return CleanDocument(std::move(text));
  } catch (const ComponentError& error) {
    SetLastError(error.Code(), error.what());
  } catch (const std::exception& error) {
    SetLastError(ErrorCodes::kUnexpected, error.what());
  }
  return {};
}

bool FeedReader::ParseItems(XmlDocument& document, int32_t& lType, bool bAllowHTML) {
  try {
    if (lType == 0) {
      for (std::size_t index = 0; index < kDialects.size(); ++index) {
        if (!document.SelectSingleNode(kDialects[index].entryPath).IsNull()) {
          lType = static_cast<int32_t>(index) + 1;
          break;
        }
      }
    }
    feedType_ = lType;
    if (lType < 1 || lType > static_cast<int32_t>(kDialects.size())) return false;
    const Dialect& dialect = kDialects[static_cast<std::size_t>(lType) - 1];

    // The field paths as text once, not once for every field of every entry.
    const std::string linkPath = dialect.linkPath;
    const std::string titlePath = dialect.titlePath;
    const std::string descriptionPath = dialect.descriptionPath;
    const std::string descriptionFallback =
        dialect.descriptionFallback ? dialect.descriptionFallback : "";
    // One entry past the ceiling tells that there are more; the rest is never listed.
    const bool unlimited = maxEntries_ == std::numeric_limits<std::size_t>::max();
    std::vector<XmlNode> entries =
        document.SelectNodes(dialect.entryPath, unlimited ? maxEntries_ : maxEntries_ + 1);
    const bool tooMany = entries.size() > maxEntries_;
    if (tooMany) entries.resize(maxEntries_);
    for (const XmlNode& entry : entries) {
      auto item = std::make_shared<FeedItem>();
      item->url_ = GetNodeText(entry, linkPath);
      item->title_ = GetNodeText(entry, titlePath);
      item->description_ =
          GetNodeText(entry, DescriptionPath(entry, descriptionPath, descriptionFallback));
      if (!bAllowHTML) {
        item->description_ = StripHTML(std::move(item->description_));
        // The stripped text keeps the room its tags took; the list keeps every
        // description for as long as it lives, so give that room back.
        item->description_.shrink_to_fit();
      }
      items_->push_back(std::move(item));
      // Read once: the next entries' texts take the memory its nodes leave, so a large feed's
      // tree and its texts are not held side by side.
      document.Discard(entry);
    }
    if (tooMany) {
      SetLastError(ErrorCodes::kTooManyEntries,
                   "The feed has more than " + WithThousands(maxEntries_) +
                       " entries; only the first " + WithThousands(maxEntries_) + " were read");
      return false;
    }
    return true;
  } catch (const ComponentError& error) {
    SetLastError(error.Code(), error.what());
  } catch (const std::exception& error) {
    SetLastError(ErrorCodes::kUnexpected, error.what());
  }
  return false;
}

std::string FeedReader::GetNodeText(const XmlNode& entry, const std::string& path) {
  try {
    return entry.SelectSingleNode(path).NodeTypedValue();
  } catch (const ComponentError& error) {
    SetLastError(error.Code(), error.what());
  } catch (const std::exception& error) {
    SetLastError(ErrorCodes::kUnexpected, error.what());
  }
  return {};
}

std::string FeedReader::CleanDocument(std::string text) {
  if (!regex_) {
    throw ComponentError(ErrorCodes::kCreateObject, "The regular-expression component is missing");
  }
  regex_->Pattern(Patterns::kCleanDocument);
  std::string cleaned = regex_->Replace(std::move(text), "");
  // After the characters, so that the declarations found are the ones the parser would see.
  // Entities defined in an internal subset go with it and are never expanded.
  MarkupScanners::RemoveDoctypeDeclarations(cleaned);
  return cleaned;
}

std::unique_ptr<Component> FeedReader::CreateComponent(const std::string& className) {
  std::unique_ptr<Component> component = registry_.Create(className);
  if (!component) SetLastError(ErrorCodes::kCreateObject, "Error creating object '" + className + "'");
  return component;
}

template <class T>
std::unique_ptr<T> FeedReader::CreateComponentAs(const std::string& className) {
  std::unique_ptr<Component> component = CreateComponent(className);
  if (!component) return nullptr;
  // A registered name that does not give the expected kind of component counts as a failed
  // creation, as an unknown name does.
  T* typed = dynamic_cast<T*>(component.get());
  if (!typed) {
    SetLastError(ErrorCodes::kCreateObject, "Error creating object '" + className + "'");
    return nullptr;
  }
  component.release();
  return std::unique_ptr<T>(typed);
}

void FeedReader::SetLastError(int32_t code, const std::string& text) {
  errorCode_ = code;
  errorText_ = text;
}
