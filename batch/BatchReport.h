// What the batch mode tells on standard error: one progress line per feed as it is read (when
// someone watches a terminal), and the closing summary with the failed feeds and their reasons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "EnclosureSaver.h"
#include "RunObserver.h"

class BatchReport : public RunObserver {
 public:
  // The most failed feeds the summary lists one by one; the rest are only counted, so that a
  // run of many failing feeds holds no more than this many reasons.
  static constexpr std::size_t kMaxListedFailures = 1000;

  // progress: write the progress lines; quiet: of the summary, only the failed feeds.
  explicit BatchReport(std::ostream& err, bool progress = true, bool quiet = false);

  // "[3/12] address", before the feed is read, when progress lines are asked for.
  void FeedStarting(int64_t row, int64_t count, const std::string& address) override;
  // "  archive page 2: address", before the page is read, when progress lines are asked for.
  void PageStarting(int64_t row, int64_t page, const std::string& address) override;
  // Keeps the feed's outcome for the summary; a feed found on a page is named on a progress line
  // ("  feed: address") and in its failure's reason.
  void FeedFinished(const FeedOutcome& outcome) override;

  // Feeds read, rows, files written, and the first kMaxListedFailures failed feeds with their
  // position, address and reason (the reader's error text and the HTTP status), followed by
  // "  ... and N more failed feeds" when there were more; then, when an archive walk ended early,
  // "Archive notes: N" and the first kMaxListedFailures of them, each with the feed's position. Quiet, only the failed feeds, each
  // "feedwright: [3/12] address: reason", and nothing at all when none failed.
  void WriteSummary(int64_t rows, int64_t filesWritten);

  // The bytes and rate of the enclosure downloading, on one line rewritten in place, when
  // progress lines are asked for.
  void EnclosureMoving(const EnclosureProgress& progress);
  // Counts the enclosures of results row row for the summary, keeping the failures with their
  // reasons; each file saved is named on a progress line ("  enclosure: path").
  void EnclosuresSaved(int64_t row, const std::vector<EnclosureOutcome>& outcomes);
  // Enclosures saved and failed, and the first kMaxListedFailures failures, each
  // "[entry 3] address: reason"; quiet, only the failures. Nothing when none were asked for.
  void WriteEnclosureSummary();

  int64_t FeedsFailed() const { return feedsFailed_; }
  int64_t EnclosuresFailed() const { return enclosuresFailed_; }
  // The address given for the feed whose entries were read: the page that announced it, or
  // feedAddress itself when it was given as it is.
  const std::string& AddressOfFeed(const std::string& feedAddress) const;

 private:
  struct Failure {
    int64_t row;
    std::string address;
    std::string reason;
  };

  std::ostream& err_;
  bool progress_;
  bool quiet_;
  int64_t count_ = 0;
  int64_t feedsFinished_ = 0;
  int64_t feedsFailed_ = 0;
  std::vector<Failure> failures_;
  // Feeds read whose archive walk ended early, with why: listed as the failures are.
  int64_t notes_ = 0;
  std::vector<Failure> archiveNotes_;
  // Feeds announced by pages, and the page each was found on.
  std::map<std::string, std::string> pageOfFeed_;
  // A progress line for an enclosure is on the terminal, not yet ended.
  bool movingShown_ = false;
  int64_t enclosuresSaved_ = 0;
  int64_t enclosuresFailed_ = 0;
  std::vector<Failure> enclosureFailures_;
};
