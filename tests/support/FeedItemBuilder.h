// Entries with every field set, made for the tests of the outputs without parsing a feed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FeedItem.h"

class FeedItemBuilder {
 public:
  FeedItemBuilder& Link(std::string v) { return Set(item_->url_, std::move(v)); }
  FeedItemBuilder& Title(std::string v) { return Set(item_->title_, std::move(v)); }
  FeedItemBuilder& Description(std::string v) { return Set(item_->description_, std::move(v)); }
  FeedItemBuilder& Id(std::string v) { return Set(item_->id_, std::move(v)); }
  FeedItemBuilder& Published(std::string v) { return Set(item_->published_, std::move(v)); }
  FeedItemBuilder& Updated(std::string v) { return Set(item_->updated_, std::move(v)); }
  FeedItemBuilder& Author(std::string v) { return Set(item_->author_, std::move(v)); }
  FeedItemBuilder& Content(std::string v) { return Set(item_->content_, std::move(v)); }
  FeedItemBuilder& Category(std::string v) {
    item_->categories_.push_back(std::move(v));
    return *this;
  }
  FeedItemBuilder& Enclosure(FeedEnclosure v) {
    item_->enclosures_.push_back(std::move(v));
    return *this;
  }
  FeedItemBuilder& Channel(std::string title, std::string link) {
    item_->channel_ = std::make_shared<const FeedChannel>(FeedChannel{std::move(title), std::move(link)});
    return *this;
  }
  std::shared_ptr<const FeedItem> Build() const { return item_; }

 private:
  FeedItemBuilder& Set(std::string& field, std::string value) {
    field = std::move(value);
    return *this;
  }

  std::shared_ptr<FeedItem> item_ = std::make_shared<FeedItem>();
};
