#include "BatchReport.h"

#include "TextEscapes.h"

BatchReport::BatchReport(std::ostream& err, bool progress, bool quiet)
    : err_(err), progress_(progress && !quiet), quiet_(quiet) {}

void BatchReport::FeedStarting(int64_t row, int64_t count, const std::string& address) {
  count_ = count;
  if (!progress_) return;
  err_ << '[' << row + 1 << '/' << count << "] " << DisplayText(address) << '\n';
  err_.flush();
}

void BatchReport::PageStarting(int64_t, int64_t page, const std::string& address) {
  if (!progress_) return;
  err_ << "  archive page " << page << ": " << DisplayText(address) << '\n';
  err_.flush();
}

void BatchReport::FeedFinished(const FeedOutcome& outcome) {
  ++feedsFinished_;
  if (!outcome.archiveNote.empty() && !FeedFailed(outcome)) {
    ++notes_;
    if (archiveNotes_.size() < kMaxListedFailures) {
      archiveNotes_.push_back({outcome.row, outcome.address, outcome.archiveNote});
    }
  }
  if (!outcome.feedAddress.empty()) {
    pageOfFeed_[outcome.feedAddress] = outcome.address;
    if (progress_) {
      err_ << "  feed: " << DisplayText(outcome.feedAddress) << '\n';
      err_.flush();
    }
  }
  if (!FeedFailed(outcome)) return;
  ++feedsFailed_;
  if (failures_.size() < kMaxListedFailures) {
    std::string reason = FeedFailureReason(outcome);
    if (!outcome.feedAddress.empty()) reason = "feed " + outcome.feedAddress + ": " + reason;
    failures_.push_back({outcome.row, outcome.address, std::move(reason)});
  }
}

const std::string& BatchReport::AddressOfFeed(const std::string& feedAddress) const {
  const auto page = pageOfFeed_.find(feedAddress);
  return page == pageOfFeed_.end() ? feedAddress : page->second;
}

void BatchReport::WriteSummary(int64_t rows, int64_t filesWritten) {
  const std::string lead = quiet_ ? "feedwright: " : "  ";
  if (!quiet_) {
    err_ << "Feeds read: " << feedsFinished_ - FeedsFailed() << " of " << count_ << '\n'
         << "Rows: " << rows << '\n'
         << "Files written: " << filesWritten << '\n'
         << "Failed feeds: " << FeedsFailed() << '\n';
  }
  for (const Failure& failure : failures_) {
    err_ << lead << '[' << failure.row + 1 << '/' << count_ << "] " << DisplayText(failure.address)
         << ": " << DisplayText(failure.reason) << '\n';
  }
  const int64_t unlisted = feedsFailed_ - static_cast<int64_t>(failures_.size());
  if (unlisted > 0) err_ << lead << "... and " << unlisted << " more failed feeds\n";
  if (!quiet_ && notes_ > 0) {
    err_ << "Archive notes: " << notes_ << '\n';
    for (const Failure& note : archiveNotes_) {
      err_ << "  [" << note.row + 1 << '/' << count_ << "] " << DisplayText(note.address) << ": "
           << DisplayText(note.reason) << '\n';
    }
    const int64_t more = notes_ - static_cast<int64_t>(archiveNotes_.size());
    if (more > 0) err_ << "  ... and " << more << " more\n";
  }
  err_.flush();
}

void BatchReport::EnclosureMoving(const EnclosureProgress& progress) {
  if (!progress_) return;
  // Erased to the end of the line, so that a shorter text leaves nothing of a longer one.
  err_ << "\r  enclosure " << ProgressText(progress) << "\x1b[K";
  err_.flush();
  movingShown_ = true;
}

void BatchReport::EnclosuresSaved(int64_t row, const std::vector<EnclosureOutcome>& outcomes) {
  if (movingShown_) err_ << "\r\x1b[K";
  movingShown_ = false;
  for (const EnclosureOutcome& outcome : outcomes) {
    if (outcome.failure.empty()) {
      ++enclosuresSaved_;
      if (progress_) err_ << "  enclosure: " << DisplayText(outcome.path) << '\n';
      continue;
    }
    ++enclosuresFailed_;
    if (enclosureFailures_.size() < kMaxListedFailures) {
      enclosureFailures_.push_back({row, outcome.url, outcome.failure});
    }
  }
  err_.flush();
}

void BatchReport::WriteEnclosureSummary() {
  const std::string lead = quiet_ ? "feedwright: " : "  ";
  if (!quiet_) {
    err_ << "Enclosures saved: " << enclosuresSaved_ << '\n' << "Failed enclosures: " << enclosuresFailed_ << '\n';
  }
  for (const Failure& failure : enclosureFailures_) {
    err_ << lead << "[entry " << failure.row + 1 << "] " << DisplayText(failure.address) << ": "
         << DisplayText(failure.reason) << '\n';
  }
  const int64_t unlisted = enclosuresFailed_ - static_cast<int64_t>(enclosureFailures_.size());
  if (unlisted > 0) err_ << lead << "... and " << unlisted << " more failed enclosures\n";
  err_.flush();
}
