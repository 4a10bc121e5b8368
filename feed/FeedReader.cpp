#include "FeedReader.h"

#include <algorithm>
#include <strings.h>

#include "ErrorCodes.h"
#include "FeedDiscovery.h"
#include "FeedParser.h"
#include "HttpRequest.h"
#include "JsonFeed.h"
#include "RegExp.h"
#include "WebAddress.h"
#include "XmlDocument.h"

namespace {

// The one class that takes its credentials through SetCredentials, proxy credentials included.
constexpr const char* kWinHttpClass = "WinHTTP.WinHTTPRequest.5";

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
  const bool completed = RecordFailure(
      [&] {
        Clear();
        items_ = std::make_shared<FeedItemList>();
        std::unique_ptr<XmlDocument> document = CreateComponentAs<XmlDocument>("MSXML.DomDocument");
        if (!document) return;
        // Entries past the ceiling are not even parsed: a small body can unpack to millions.
        document->EntryCeiling(FeedParser::EntryPaths(), maxEntries_);
        const FeedParseOptions options{{}, lType, bAllowHTML, maxEntries_};
        FeedParser parser(*regex_, options);
        // A candidate served by the same client as one already tried would send the same request
        // and get the same answer: it is skipped, so a failing feed costs one download, not four.
        // A JSON body is never XML: it is read as a JSON Feed, and no other candidate is asked.
        std::string json;
        const auto load = [&](const std::string& address, const std::string& user, const std::string& password) {
          page_ = false;
          json.clear();
          pageFeeds_.clear();
          std::vector<std::string> tried;
          for (std::size_t index = 0; index < kHttpClassNames.size() && document->XML().empty() && !page_ &&
                                 json.empty();
               ++index) {
            const std::string& candidate = kHttpClassNames[index];
            if (std::any_of(tried.begin(), tried.end(), [&](const std::string& name) {
                  return registry_.SameImplementation(name, candidate);
                })) {
              continue;
            }
            tried.push_back(candidate);
            document->LoadXML(FetchDocument(address, user, password, candidate, parser, json));
          }
        };
        load(sURL, sUserName, sPassWord);
        if (page_ && !followAnnounced_) {
          SetLastError(ErrorCodes::kNoFeedAnnounced, "The address gives a web page, not a feed");
          return;
        }
        if (page_) {
          // The page itself is never read as a feed, and what it announces is read once: a feed
          // announcing a page that announces a feed ends here rather than going round.
          if (pageFeeds_.empty()) {
            SetLastError(ErrorCodes::kNoFeedAnnounced, "The page announces no feed");
            return;
          }
          announcedFeed_ = pageFeeds_.front();
          // The user's credentials are for the page's host; another host does not get them.
          const bool sameHost = HostOf(announcedFeed_) == HostOf(sURL);
          load(announcedFeed_, sameHost ? sUserName : std::string(), sameHost ? sPassWord : std::string());
          if (page_) {
            SetLastError(ErrorCodes::kNoFeedAnnounced, "The page announces " + ShownAddress(announcedFeed_) +
                                                           ", which is another page, not a feed");
            return;
          }
        }
        ParsedFeed feed;
        if (!json.empty()) {
          JsonFeedReader(parser, options).Read(json, feed);
        } else if (document->XML().empty()) {
          return;
        } else {
          parser.ParseItems(*document, feed);
        }
        lType = feedType_ = feed.feedType;
        const std::string& link = feed.paging.prevArchive.empty() ? feed.paging.next : feed.paging.prevArchive;
        if (!link.empty()) archiveLink_ = ResolvedWebAddress(link, responseAddress_);
        *items_ = std::move(feed.items);
        if (feed.errorCode != 0) SetLastError(feed.errorCode, feed.errorText);
        parsed = feed.parsed;
      },
      [this](int32_t code, const std::string& text) { SetLastError(code, text); });
  return completed && parsed && statusCode_ == 200;
}

std::string FeedReader::FeedTypeString() const {
  switch (feedType_) {
    case 1:
      return "RSS";
    case 2:
      return "RDF";
    case 3:
      return "Atom";
    case JsonFeed::kFeedType:
      return "JSON Feed";
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
  return FeedParser(*regex_, {}).StripHTML(std::move(sString));
}

void FeedReader::Clear() {
  statusCode_ = 0;
  statusText_.clear();
  errorCode_ = 0;
  errorText_.clear();
  feedType_ = 0;
  announcedFeed_.clear();
  responseAddress_.clear();
  archiveLink_.clear();
}

std::string FeedReader::FetchDocument(const std::string& sURL, const std::string& sUserName,
                                      const std::string& sPassWord, const std::string& className,
                                      FeedParser& parser, std::string& json) {
  std::unique_ptr<HttpRequest> request = CreateComponentAs<HttpRequest>(className);
  if (!request) return {};
  std::string text;
  RecordFailure(
      [&] {
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
        responseAddress_ = request->FinalAddress();
        if (responseAddress_.empty()) responseAddress_ = sURL;
        // Taken over, not copied: a large feed is held once, and cleaned and parsed where it lies.
        std::string body = request->TakeResponseText();
        // A page is not loaded as a document: what it announces is all that is wanted of it.
        if (statusCode_ == 200 && LooksLikeHtmlPage(body, request->ContentType())) {
          page_ = true;
          const std::string pageAddress = request->FinalAddress();
          const std::vector<std::string> links = request->LinkHeaders();
          request.reset();
          pageFeeds_ = AnnouncedFeeds(body, pageAddress.empty() ? sURL : pageAddress, links);
          return;
        }
        request.reset();
        if (JsonFeed::IsJsonObject(body)) {
          json = std::move(body);
        } else {
          text = parser.CleanDocument(std::move(body));
        }
      },
      [this](int32_t code, const std::string& message) { SetLastError(code, message); });
  return text;
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
