// One feed entry: link, title and body text, with what else the feed says of it (identity, dates,
// author, full content, categories, enclosures), filled by the feed engine and read-only to
// everyone else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file the entry carries: a podcast's episode, an image, a document.
struct FeedEnclosure {
  // The file's address as the feed gives it.
  std::string url;
  // Its media type ("audio/mpeg"), empty when the feed names none.
  std::string type;
  // Its length in bytes; 0 when the feed gives none or one that makes no sense.
  uint64_t length = 0;
};

// What a feed says of itself, shared by every item of that feed.
struct FeedChannel {
  std::string title;
  std::string link;
};

// Where a feed says its other pages are, as written (RFC 5005): its prev-archive link (the archived
// page before this one) and its next link (the next page of a paged feed); empty where it gives none.
struct FeedPaging {
  std::string prevArchive;
  std::string next;
};

class FeedItem {
 public:
  // The entry's link.
  const std::string& URL() const { return url_; }
  // The entry's title, markup kept.
  const std::string& Title() const { return title_; }
  // The entry's body text, markup removed unless the caller of ReadFeed allowed it.
  const std::string& Description() const { return description_; }

  // Every field below is empty when the feed gives none, or gives one that makes no sense.

  // The entry's identity as the feed states it (RSS guid, Atom id, RSS 1.0 rdf:about).
  const std::string& Id() const { return id_; }
  // When the entry was first published and last updated, as RFC 3339 text in UTC
  // ("2026-12-07T08:30:00Z").
  const std::string& Published() const { return published_; }
  const std::string& Updated() const { return updated_; }
  // The entry's author, as a name or an address.
  const std::string& Author() const { return author_; }
  // The entry's full body with its markup, or its description as found when it has no other.
  const std::string& Content() const { return content_; }
  const std::vector<std::string>& Categories() const { return categories_; }
  const std::vector<FeedEnclosure>& Enclosures() const { return enclosures_; }
  // The feed the entry came from; never null.
  const FeedChannel& Channel() const;

 private:
  friend class FeedParser;
  friend class JsonFeedReader;
  // Tests make entries with every field without a feed to parse (tests/support only).
  friend class FeedItemBuilder;

  std::string url_;
  std::string title_;
  std::string description_;
  std::string id_;
  std::string published_;
  std::string updated_;
  std::string author_;
  std::string content_;
  std::vector<std::string> categories_;
  std::vector<FeedEnclosure> enclosures_;
  std::shared_ptr<const FeedChannel> channel_;
};

inline const FeedChannel& FeedItem::Channel() const {
  static const FeedChannel kNone;
  return channel_ ? *channel_ : kNone;
}

// The items of one ReadFeed, in document order.
using FeedItemList = std::vector<std::shared_ptr<const FeedItem>>;
