// Downloads one feed per ReadFeed call through the HTTP components, has it read by the parse part
// (FeedParser.h), and keeps the entries, the last HTTP status, the last error and the dialect on
// itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ComponentRegistry.h"
#include "FeedItem.h"

class FeedParser;
class RegExp;

class FeedReader {
 public:
  // A reader that creates its components from the standard registry.
  FeedReader();
  // A reader that creates its components from the given registry.
  explicit FeedReader(ComponentRegistry registry);
  ~FeedReader();
  FeedReader(const FeedReader&) = delete;
  FeedReader& operator=(const FeedReader&) = delete;

  // Downloads and parses one feed. An address that answers with an HTML page is read through the
  // first feed the page announces (FeedDiscovery.h): one more request, whose answer must be a
  // feed; a page announcing none fails with kNoFeedAnnounced. lType 0 detects the dialect and receives the one found; a
  // non-zero lType forces that dialect. True only when the parse succeeded and the last HTTP
  // status was 200; failures are recorded on the reader, never thrown.
  bool ReadFeed(const std::string& sURL, const std::string& sUserName, const std::string& sPassWord,
                int32_t& lType, bool bAllowHTML = false);
  // The same with the dialect detected and markup stripped from descriptions.
  bool ReadFeed(const std::string& sURL, const std::string& sUserName = {},
                const std::string& sPassWord = {});

  int32_t LastHTTPStatus() const { return statusCode_; }
  const std::string& LastHTTPStatusText() const { return statusText_; }
  int32_t LastErrorCode() const { return errorCode_; }
  const std::string& LastErrorDesc() const { return errorText_; }
  const std::string& ProxyUser() const { return proxyUser_; }
  const std::string& ProxyPass() const { return proxyPassword_; }
  void ProxyUser(const std::string& sUserName) { proxyUser_ = sUserName; }
  void ProxyPass(const std::string& sPassWord) { proxyPassword_ = sPassWord; }
  int32_t FeedType() const { return feedType_; }
  // "RSS", "RDF", "Atom", "JSON Feed", or "Unknown / None" for any other feed type.
  std::string FeedTypeString() const;
  // The feed an HTML page announced, whose entries the last ReadFeed read instead of the page;
  // "" when the address given was read as a feed itself.
  const std::string& AnnouncedFeedAddress() const { return announcedFeed_; }
  // The address that answered the last ReadFeed, after redirects (the address given when the
  // client does not tell); "" when no response came.
  const std::string& ResponseAddress() const { return responseAddress_; }
  // The next page of the feed's archive after the one the last ReadFeed read: its prev-archive
  // link, else its next link (RFC 5005), resolved against ResponseAddress; "" when it gives
  // neither, or gives one that is no http or https address.
  const std::string& ArchiveLink() const { return archiveLink_; }
  // Whether an address that answers with an HTML page is read through the feed the page
  // announces (the default). Off, such a page fails with kNoFeedAnnounced and nothing more is
  // asked: the pages of an archive must be feeds themselves.
  void FollowAnnouncedFeeds(bool follow) { followAnnounced_ = follow; }

  // The items of the last ReadFeed that got past its first check; null before that.
  std::shared_ptr<FeedItemList> FeedItems() const { return items_; }

  // sString with every markup tag removed. Throws ComponentError when the regex component is
  // missing or fails.
  std::string StripHTML(const std::string& sString);
  // The same for a text the caller gives up: the tags are removed in its own storage.
  std::string StripHTML(std::string&& sString);

  // Resets status, error, feed type, announced feed, response address and archive link; keeps the items and the proxy credentials.
  void Clear();

  // The most entries one ReadFeed reads. A feed with more gives its first MaxEntries items and
  // fails with kTooManyEntries: no reader of a feed wants millions of rows, and a small
  // compressed response can unpack into that many.
  static constexpr std::size_t kDefaultMaxEntries = 100'000;
  std::size_t MaxEntries() const { return maxEntries_; }
  void MaxEntries(std::size_t count) { maxEntries_ = count; }

 private:
  // The cleaned response text of one HTTP class; empty, with the failure recorded, when it
  // cannot be made or fails. A JSON body goes to json as it came instead, and the text is empty.
  std::string FetchDocument(const std::string& sURL, const std::string& sUserName,
                            const std::string& sPassWord, const std::string& className, FeedParser& parser,
                            std::string& json);

  // A new component of the class, or null with error 429 recorded.
  std::unique_ptr<Component> CreateComponent(const std::string& className);
  template <class T>
  std::unique_ptr<T> CreateComponentAs(const std::string& className);
  void SetLastError(int32_t code, const std::string& text);

  ComponentRegistry registry_;
  std::unique_ptr<RegExp> regex_;
  int32_t statusCode_ = 0;
  std::string statusText_;
  int32_t errorCode_ = 0;
  std::string errorText_;
  std::shared_ptr<FeedItemList> items_;
  int32_t feedType_ = 0;
  std::string proxyUser_;
  std::string proxyPassword_;
  std::size_t maxEntries_ = kDefaultMaxEntries;
  std::string announcedFeed_;
  std::string responseAddress_;
  std::string archiveLink_;
  bool followAnnounced_ = true;
  // What the last FetchDocument found: an HTML page, and the feeds it announces.
  bool page_ = false;
  std::vector<std::string> pageFeeds_;
};
