// What one feed of a retrieval run came to, and the plain-words reason when it failed; the
// window marks failed URL-list rows with the reason, the batch mode lists them in its summary.
#pragma once

#include <cstdint>
#include <string>

struct FeedOutcome {
  // The URL-list row the address came from, counted from 0.
  int64_t row = 0;
  std::string address;
  // What ReadFeed answered; false also when it could not be called at all.
  bool read = false;
  // The results rows this feed added.
  int64_t rowsAdded = 0;
  // The reader's LastErrorCode and LastErrorDesc after the read.
  int32_t errorCode = 0;
  std::string errorText;
  // The reader's LastHTTPStatus and LastHTTPStatusText after the read; 0 when no response came.
  int32_t httpStatus = 0;
  std::string httpStatusText;
  // The feed the page at address announced, whose entries were read in its place; "" when
  // address was read as a feed itself.
  std::string feedAddress;
  // With the archive walk: the pages read, the feed's own included, and why the walk ended
  // before the archive's last page ("" when it did not). A page that fails makes the feed fail,
  // its reason naming the page; the rows of the pages before it stay.
  int64_t archivePages = 0;
  std::string archiveNote;
};

// True whenever ReadFeed returned false, whether or not the feed added rows: a feed whose entries
// arrived with a status other than 200 (a 404, a 500, an unfollowed 302) failed, and its rows
// stay. The reader tells a feed's dialect by its entries, so a feed without any entries fails
// like any other document that is not a feed.
bool FeedFailed(const FeedOutcome& outcome);

// Why the feed failed, in plain words: the reader's error text, followed by the HTTP status in
// parentheses when a response came; "HTTP <status> <text>" when only the status tells (a feed
// served with a 404, say); a clear text for a response with status 200 that gave no entries (an
// HTML page, say).
std::string FeedFailureReason(const FeedOutcome& outcome);
