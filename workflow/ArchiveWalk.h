// The walk through one feed's archive, page after page along its prev-archive and next links:
// which address comes next, which entries of a page are new to the walk, and why it ended.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "FeedItem.h"

class ArchiveWalk {
 public:
  // The most pages one feed's walk may be given, its first page included.
  static constexpr std::size_t kDefaultMaxPages = 1000;
  static constexpr std::size_t kMaxPagesLimit = 1'000'000;

  // A walk from the feed's first page, read from firstPage (the address that answered it); its
  // host and port are the only ones the walk goes to. maxPages counts the first page.
  ArchiveWalk(const std::string& firstPage, std::size_t maxPages);

  // The address to read next, for the link the page just read gives (ArchiveLink); "" when the
  // walk ends there: at a page without a link, or, with the reason in Note, at a link back to a
  // page already read, at a link to another host or port, or at the page ceiling.
  std::string Next(const std::string& link);

  // Whether the page asked for at address (the last Next) was answered from the feed's host and
  // port (responseAddress, after redirects): then it counts as read. If not, the walk ends with
  // a note and the page's entries are not taken.
  bool Answered(const std::string& address, const std::string& responseAddress);

  // The entries of the page just read that no earlier page held (by EntryIdentity), in order;
  // every entry of the first page. Entries repeated within one page are all kept, as a single
  // feed's are.
  FeedItemList NewEntries(const FeedItemList& items, const std::string& feedAddress);

  // The reason of a feed whose archive page at address (the last Next) failed for reason.
  std::string PageFailure(const std::string& address, const std::string& reason) const;

  // Ends the walk for a reason of the caller's ("the run holds ..."), unless it has one.
  void End(const std::string& reason);

  // The pages read, the first one included; a page that failed or was answered from elsewhere
  // does not count.
  std::size_t Pages() const { return pages_; }
  // Why the walk ended before the archive's last page; "" when it reached it.
  const std::string& Note() const { return note_; }

 private:
  std::string Ending() const;

  std::string origin_;
  std::size_t maxPages_;
  std::size_t pages_ = 1;
  // The pages read and asked for, by the hash of their address, with their number: an archive
  // of a million pages of 64 KiB addresses holds no copy of them.
  std::unordered_map<std::size_t, std::size_t> visited_;
  // The identities of the entries of the pages before the one being read.
  std::unordered_set<std::string> seen_;
  std::string note_;
};
