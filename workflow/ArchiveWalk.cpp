#include "ArchiveWalk.h"

#include <functional>
#include <vector>

#include "FeedParser.h"
#include "OutputFormats.h"
#include "SavedRecord.h"
#include "WebAddress.h"

namespace {

std::size_t AddressHash(const std::string& address) { return std::hash<std::string>{}(address); }

}  // namespace

ArchiveWalk::ArchiveWalk(const std::string& firstPage, std::size_t maxPages)
    : origin_(HostAndPortOf(firstPage)), maxPages_(maxPages) {
  visited_.emplace(AddressHash(firstPage), 1);
}

std::string ArchiveWalk::Ending() const {
  return "The archive walk ended after page " + WithThousands(pages_) + ": ";
}

std::string ArchiveWalk::Next(const std::string& link) {
  if (link.empty() || !note_.empty()) return {};
  const auto earlier = visited_.find(AddressHash(link));
  if (earlier != visited_.end()) {
    note_ = Ending() + "it links back to page " + WithThousands(earlier->second) + ", " + ShownAddress(link);
    return {};
  }
  if (HostAndPortOf(link) != origin_) {
    note_ = Ending() + "it links to " + ShownAddress(link) + ", which is not on the feed's own host and port (" +
            origin_ + ")";
    return {};
  }
  if (pages_ >= maxPages_) {
    note_ = Ending() + "at most " + WithThousands(maxPages_) + " pages of a feed are read";
    return {};
  }
  visited_.emplace(AddressHash(link), pages_ + 1);
  return link;
}

bool ArchiveWalk::Answered(const std::string& address, const std::string& responseAddress) {
  if (HostAndPortOf(responseAddress) == origin_) {
    ++pages_;
    // A redirect within the host leads to a page that may be linked to by that address too.
    visited_.emplace(AddressHash(responseAddress), pages_);
    return true;
  }
  note_ = Ending() + "page " + WithThousands(pages_ + 1) + ", " + ShownAddress(address) + ", was answered from " +
          ShownAddress(responseAddress) + ", not from the feed's own host and port; its entries were not taken";
  return false;
}

FeedItemList ArchiveWalk::NewEntries(const FeedItemList& items, const std::string& feedAddress) {
  FeedItemList fresh;
  std::vector<std::string> identities;
  identities.reserve(items.size());
  for (const std::shared_ptr<const FeedItem>& item : items) {
    if (!item) continue;
    std::string identity =
        EntryIdentity(RowEntry{feedAddress, item->Title(), item->Description(), item->URL(), item});
    if (seen_.contains(identity)) continue;
    fresh.push_back(item);
    identities.push_back(std::move(identity));
  }
  // Only after the page: its own repeats are not the walk's to drop.
  for (std::string& identity : identities) seen_.insert(std::move(identity));
  return fresh;
}

std::string ArchiveWalk::PageFailure(const std::string& address, const std::string& reason) const {
  return "Archive page " + WithThousands(pages_ + 1) + ", " + ShownAddress(address) + ", failed: " + reason +
         "; the rows of " + (pages_ == 1 ? std::string("page 1") : "pages 1 to " + WithThousands(pages_)) + " stay";
}

void ArchiveWalk::End(const std::string& reason) {
  if (note_.empty()) note_ = Ending() + reason;
}
