// One feed entry: link, title and body text, filled by FeedReader and read-only to everyone else.
#pragma once

#include <memory>
#include <string>
#include <vector>

class FeedItem {
 public:
  // The entry's link.
  const std::string& URL() const { return url_; }
  // The entry's title, markup kept.
  const std::string& Title() const { return title_; }
  // The entry's body text, markup removed unless the caller of ReadFeed allowed it.
  const std::string& Description() const { return description_; }

 private:
  friend class FeedReader;

  std::string url_;
  std::string title_;
  std::string description_;
};

// The items of one ReadFeed, in document order.
using FeedItemList = std::vector<std::shared_ptr<const FeedItem>>;
