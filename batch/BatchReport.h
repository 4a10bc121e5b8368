// What the batch mode tells on standard error: one progress line per feed as it is read, and
// the closing summary with every failed feed and its reason.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "RunObserver.h"

class BatchReport : public RunObserver {
 public:
  explicit BatchReport(std::ostream& err);

  // "[3/12] address", before the feed is read.
  void FeedStarting(int64_t row, int64_t count, const std::string& address) override;
  // Keeps the feed's outcome for the summary.
  void FeedFinished(const FeedOutcome& outcome) override;

  // Feeds read, rows, files written, and every failed feed with its position, address and
  // reason (the reader's error text and the HTTP status).
  void WriteSummary(int64_t rows, int64_t filesWritten);

  int64_t FeedsFailed() const { return static_cast<int64_t>(failures_.size()); }

 private:
  struct Failure {
    int64_t row;
    std::string address;
    std::string reason;
  };

  std::ostream& err_;
  int64_t count_ = 0;
  int64_t feedsFinished_ = 0;
  std::vector<Failure> failures_;
};
