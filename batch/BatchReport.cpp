#include "BatchReport.h"

#include "TextEscapes.h"

BatchReport::BatchReport(std::ostream& err) : err_(err) {}

void BatchReport::FeedStarting(int64_t row, int64_t count, const std::string& address) {
  count_ = count;
  err_ << '[' << row + 1 << '/' << count << "] " << DisplayText(address) << '\n';
  err_.flush();
}

void BatchReport::FeedFinished(const FeedOutcome& outcome) {
  ++feedsFinished_;
  if (FeedFailed(outcome)) {
    failures_.push_back({outcome.row, outcome.address, FeedFailureReason(outcome)});
  }
}

void BatchReport::WriteSummary(int64_t rows, int64_t filesWritten) {
  err_ << "Feeds read: " << feedsFinished_ - FeedsFailed() << " of " << count_ << '\n'
       << "Rows: " << rows << '\n'
       << "Files written: " << filesWritten << '\n'
       << "Failed feeds: " << FeedsFailed() << '\n';
  for (const Failure& failure : failures_) {
    err_ << "  [" << failure.row + 1 << '/' << count_ << "] " << DisplayText(failure.address)
         << ": " << DisplayText(failure.reason) << '\n';
  }
  err_.flush();
}
