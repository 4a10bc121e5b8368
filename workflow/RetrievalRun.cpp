#include "RetrievalRun.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "ArchiveWalk.h"
#include "ErrorGuard.h"
#include "FeedParser.h"
#include "FileNames.h"
#include "WaitSeconds.h"
#include "WebAddress.h"

namespace {

// Clears RunState::running however the run ends.
class RunningMark {
 public:
  explicit RunningMark(RunState& state) : state_(state) { state_.running = true; }
  ~RunningMark() { state_.running = false; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  RunState& state_;
};

// While a run downloads, every event loop moves its transfers on, so that a modal box opened in
// the meantime neither holds the downloads up nor lets their clocks run out. End stops that and
// ends every transfer; leaving the scope does the same.
class DownloadSession {
 public:
  DownloadSession(EventPump& events, std::shared_ptr<DownloadPool> pool) : events_(events), pool_(std::move(pool)) {
    if (!pool_) return;
    try {
      events_.SetBackgroundWork([pool = pool_.get()] { pool->Perform(); });
    } catch (...) {
      // Then the downloads move on only while the run itself waits for one.
    }
  }
  ~DownloadSession() { End(); }
  DownloadSession(const DownloadSession&) = delete;
  DownloadSession& operator=(const DownloadSession&) = delete;

  void End() noexcept {
    if (!pool_) return;
    try {
      events_.SetBackgroundWork({});
    } catch (...) {
      // Nothing more can be done; the pool ends its transfers below all the same.
    }
    pool_->Abandon();
    pool_.reset();
  }

 private:
  EventPump& events_;
  std::shared_ptr<DownloadPool> pool_;
};

// One text of an item, kept alive by the item it belongs to.
std::shared_ptr<const std::string> ItemField(const std::shared_ptr<const FeedItem>& item,
                                             const std::string& text) {
  return std::shared_ptr<const std::string>(item, &text);
}

FeedReader& Require(FeedReader* reader) {
  if (!reader) throw std::runtime_error("Object variable or With block variable not set");
  return *reader;
}

}  // namespace

RetrievalRun::RetrievalRun(const UrlList& urls, ResultsList& results, ProgressSink& progress,
                           BusyPointer& pointer, EventPump& events, DialogService& dialogs,
                           RunState& state, RetrievalOptions options)
    : urls_(urls),
      results_(results),
      progress_(progress),
      pointer_(pointer),
      events_(events),
      dialogs_(dialogs),
      state_(state),
      options_(std::move(options)) {}

void RetrievalRun::Start() {
  if (state_.running) return;
  RunningMark running(state_);
  state_.stopping = false;
  ErrorGuard guard(dialogs_, "PushButton2_Click");
  if (guard.Branch(102, [&] { return urls_.Count() == 0; })) {
    guard.Step(150, [&] { ShowPlainMessage(dialogs_, "No URLs added."); });
    return;
  }
  guard.Step(104, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  guard.Step(106, [&] { results_.Clear(); });
  guard.Step(106, [&] {
    if (options_.observer) options_.observer->RunStarted();
  });
  std::unique_ptr<FeedReader> reader;
  pool_.reset();
  nextPrefetch_ = 1;
  rowsKept_ = 0;
  ceilingShown_ = false;
  guard.Step(108, [&] { reader = CreateReader(); });
  DownloadSession downloads(events_, pool_);

  // The bound is read once: rows added or removed later do not change it.
  int64_t count = 0;
  int64_t row = 1;
  bool more = guard.Advance(112, [&] {
    count = urls_.Count();
    row = 1;
    return row <= count && !state_.Halted();
  });
  while (more) {
    ReadAddress(guard, reader.get(), row, count);
    guard.Step(138, [&] { pointer_.SetValue(BusyPointer::kBusy); });
    more = guard.Advance(140, [&] { return ++row <= count && !state_.Halted(); });
  }
  guard.Step(144, [&] { reader.reset(); });
  downloads.End();
  pool_.reset();
  // The window is closing: nobody is left to see the full bar or the message.
  if (state_.closing) return;

  // A stopped run has no full bar to show.
  if (!state_.stopping) {
    guard.Step(146, [&] {
      WaitSeconds(options_.closingWaitSeconds, events_, *options_.clock, [&] { return state_.closing; });
    });
  }
  if (state_.closing) return;
  guard.Step(148, [&] { pointer_.SetValue(BusyPointer::kDefault); });
  guard.Step(148, [&] { progress_.SetPosition(0); });
  guard.Step(142, [&] { progress_.SetText(ProgressSink::kRestText); });
  guard.Step(142, [&] { ShowPlainMessage(dialogs_, state_.stopping ? "Stopped." : "Done."); });
  if (state_.closing || !options_.observer) return;
  guard.Step(142, [&] { options_.observer->RunFinished(); });
}

std::unique_ptr<FeedReader> RetrievalRun::CreateReader() {
  // The window keeps painting and answering while a download waits, and closing it abandons
  // the download.
  HttpClient::WaitHook waitHook = [this] {
    events_.ProcessEvents();
    return !state_.Halted();
  };
  try {
    const std::size_t jobs = std::max<std::size_t>(1, options_.jobs);
    pool_ = std::make_shared<DownloadPool>(
        options_.http, DownloadLimits{jobs, std::min(jobs, DownloadLimits{}.perHost), options_.heldBytes},
        *options_.clock);
    pool_->UseCache(options_.cache);
  } catch (const std::exception&) {
    pool_.reset();
  }
  const HttpClient client = pool_ ? HttpClient(pool_, std::move(waitHook))
                                  : HttpClient(options_.http, std::move(waitHook), *options_.clock, options_.cache);
  std::unique_ptr<FeedReader> reader;
  try {
    reader = options_.readerFactory ? options_.readerFactory(client)
                                    : std::make_unique<FeedReader>(ComponentRegistry::Standard(client));
  } catch (...) {
    pool_.reset();
    throw;
  }
  // Without a reader nothing would ever take what the pool fetched.
  if (!reader) pool_.reset();
  return reader;
}

void RetrievalRun::Prefetch(int64_t row, int64_t count) noexcept {
  if (!pool_) return;
  nextPrefetch_ = std::max(nextPrefetch_, row);
  try {
    // The pool asks for the next rows whenever it moves on, as far ahead as the bodies it holds
    // allow, so a slow feed does not keep the ones far below it from starting.
    pool_->SetLookAhead([this, count]() -> std::optional<std::string> {
      if (nextPrefetch_ > count || state_.Halted() || rowsKept_ >= options_.maxRows) return std::nullopt;
      const int64_t next = nextPrefetch_++;
      return urls_.Text(next - 1);
    });
  } catch (...) {
    // Then nothing is fetched ahead; each row's own read fetches it.
  }
  pool_->Perform();
}

void RetrievalRun::ReadAddress(ErrorGuard& guard, FeedReader* reader, int64_t row,
                               int64_t count) {
  // Before anything of this pass, so that a box opened from its events finds the feeds on their way.
  Prefetch(row, count);
  // Starts empty on every pass, so that a row that cannot be read never repeats the last feed.
  std::string address;
  guard.Step(136, [&] { address = urls_.Text(row - 1); });
  guard.Step(136, [&] {
    // Read again: the list may have changed while events were processed.
    const int64_t current = urls_.Count();
    if (current == 0) throw std::domain_error("Division by zero");
    progress_.SetPosition(static_cast<double>(row) / static_cast<double>(current) * 100.0);
  });
  guard.Step(136, [&] { progress_.SetText("Processing: " + GetFileName(address)); });
  guard.Step(114, [&] { events_.ProcessEvents(); });
  if (state_.Halted()) return;
  guard.Step(116, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  guard.Step(118, [&] {
    if (options_.observer) options_.observer->FeedStarting(row - 1, count, address);
  });
  if (rowsKept_ >= options_.maxRows) {
    SkipPastCeiling(guard, row, address);
    return;
  }
  FeedOutcome outcome;
  outcome.row = row - 1;
  outcome.address = address;
  guard.Step(118, [&] {
    int32_t lType = 0;
    outcome.read = Require(reader).ReadFeed(address, "", "", lType, false);
    outcome.feedAddress = Require(reader).AnnouncedFeedAddress();
  });
  // The results rows name the feed their entries came from; the URL list keeps what was typed.
  const std::string& feedAddress = outcome.feedAddress.empty() ? address : outcome.feedAddress;
  // A stop abandons the download under way; that feed is neither read nor failed.
  if (state_.Halted()) return;

  std::shared_ptr<FeedItemList> items;
  std::size_t index = 0;
  bool more = guard.Advance(120, [&] {
    items = Require(reader).FeedItems();
    if (!items) throw std::runtime_error("Object variable or With block variable not set");
    index = 0;
    return index < items->size();
  });
  while (more) {
    if (AddResultRow(guard, feedAddress, (*items)[index])) {
      ++outcome.rowsAdded;
      ++rowsKept_;
    }
    more = guard.Advance(134, [&] {
      return ++index < items->size() && !state_.closing && rowsKept_ < options_.maxRows;
    });
  }
  // The feed that reaches the ceiling keeps its first entries; it counts as failed, since the
  // rest of it is not there.
  const bool cut = items && index < items->size() && rowsKept_ >= options_.maxRows && !state_.closing;
  if (state_.closing) return;
  // With no reader there is nothing to tell beyond the address; the failure has been reported.
  // Taken before the archive is walked, which reads into the same reader.
  if (reader) {
    outcome.errorCode = reader->LastErrorCode();
    outcome.errorText = reader->LastErrorDesc();
    outcome.httpStatus = reader->LastHTTPStatus();
    outcome.httpStatusText = reader->LastHTTPStatusText();
  }
  if (options_.archivePages > 1 && reader && outcome.read && !cut && items) {
    ReadArchive(guard, *reader, *items, feedAddress, outcome);
    if (state_.closing) return;
  }
  if (!options_.observer) return;
  if (cut) {
    outcome.read = false;
    outcome.errorText = "Only the first " + WithThousands(static_cast<std::size_t>(outcome.rowsAdded)) + " of its " +
                        WithThousands(items->size()) + " entries were kept: one run keeps at most " +
                        WithThousands(options_.maxRows) + " rows";
  }
  guard.Step(138, [&] { options_.observer->FeedFinished(outcome); });
}

void RetrievalRun::ReadArchive(ErrorGuard& guard, FeedReader& reader, const FeedItemList& firstPage,
                               const std::string& feedAddress, FeedOutcome& outcome) {
  ArchiveWalk walk(reader.ResponseAddress(), options_.archivePages);
  walk.NewEntries(firstPage, feedAddress);
  const std::string ceiling = "the run holds " + WithThousands(options_.maxRows) + " rows, the most one run keeps";
  for (std::string page = walk.Next(reader.ArchiveLink()); !page.empty(); page = walk.Next(reader.ArchiveLink())) {
    if (rowsKept_ >= options_.maxRows) {
      walk.End(ceiling);
      break;
    }
    std::shared_ptr<FeedItemList> items;
    const FeedOutcome read = ReadArchivePage(guard, reader, outcome.row, walk.Pages() + 1, page, items);
    // A stop abandons the page under way; the feed keeps the pages read before it.
    if (state_.Halted()) break;
    // The reader tells a feed by its entries, so a page without any cannot be read on from; the
    // walk ends there, as at a page without a link.
    if (!read.read && items && items->empty() && read.errorCode == 0 && read.httpStatus == 200) {
      walk.End("page " + WithThousands(walk.Pages() + 1) + ", " + ShownAddress(page) + ", gives no entries");
      break;
    }
    if (!read.read || !items) {
      // The feed's archive is not all there: the feed fails, and says which page and why.
      outcome.read = false;
      outcome.errorCode = read.errorCode;
      outcome.errorText = walk.PageFailure(page, FeedFailureReason(read));
      outcome.httpStatus = 0;
      outcome.httpStatusText.clear();
      break;
    }
    if (!walk.Answered(page, reader.ResponseAddress())) break;
    const FeedItemList fresh = walk.NewEntries(*items, feedAddress);
    std::size_t index = 0;
    for (; index < fresh.size() && !state_.closing && rowsKept_ < options_.maxRows; ++index) {
      if (AddResultRow(guard, feedAddress, fresh[index])) {
        ++outcome.rowsAdded;
        ++rowsKept_;
      }
    }
    if (index < fresh.size() && rowsKept_ >= options_.maxRows) walk.End(ceiling);
    if (state_.Halted()) break;
  }
  if (state_.stopping) walk.End("the run was stopped");
  outcome.archivePages = static_cast<int64_t>(walk.Pages());
  outcome.archiveNote = walk.Note();
}

FeedOutcome RetrievalRun::ReadArchivePage(ErrorGuard& guard, FeedReader& reader, int64_t row, std::size_t number,
                                          const std::string& page, std::shared_ptr<FeedItemList>& items) {
  FeedOutcome read;
  guard.Step(136, [&] {
    progress_.SetText("Processing: " + GetFileName(page) + " (archive page " + WithThousands(number) + ")");
  });
  guard.Step(114, [&] { events_.ProcessEvents(); });
  if (state_.Halted()) return read;
  guard.Step(116, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  guard.Step(118, [&] {
    if (options_.observer) options_.observer->PageStarting(row, static_cast<int64_t>(number), page);
  });
  guard.Step(118, [&] {
    // An archive's pages are feeds: a web page among them is not read through what it announces.
    reader.FollowAnnouncedFeeds(false);
    int32_t lType = 0;
    read.read = reader.ReadFeed(page, "", "", lType, false);
    reader.FollowAnnouncedFeeds(true);
    read.errorCode = reader.LastErrorCode();
    read.errorText = reader.LastErrorDesc();
    read.httpStatus = reader.LastHTTPStatus();
    read.httpStatusText = reader.LastHTTPStatusText();
    items = reader.FeedItems();
  });
  read.rowsAdded = items ? static_cast<int64_t>(items->size()) : 0;
  return read;
}

void RetrievalRun::SkipPastCeiling(ErrorGuard& guard, int64_t row, const std::string& address) {
  const std::string ceiling = WithThousands(options_.maxRows);
  if (!ceilingShown_) {
    ceilingShown_ = true;
    guard.Step(118, [&] {
      ShowPlainMessage(dialogs_, "The results list holds " + ceiling +
                                     " rows, the most one run keeps; the remaining feeds are not read.");
    });
  }
  if (state_.closing || !options_.observer) return;
  FeedOutcome outcome;
  outcome.row = row - 1;
  outcome.address = address;
  outcome.errorText = "Not read: the run already holds " + ceiling + " rows, the most one run keeps";
  guard.Step(138, [&] { options_.observer->FeedFinished(outcome); });
}

bool RetrievalRun::AddResultRow(ErrorGuard& guard, const std::string& address,
                                const std::shared_ptr<const FeedItem>& item) {
  guard.Step(122, [&] { events_.ProcessEvents(); });
  int64_t row = -1;
  guard.Step(124, [&] { row = results_.Append(address); });
  // Without a new row the item's cells would land on whichever row came before.
  if (row < 0) return false;
  guard.Step(126, [&] { results_.SetChecked(row, true); });
  guard.Step(128, [&] { results_.ScrollIntoView(row); });
  // The texts are handed on as parts of the item, which a list may keep instead of copying.
  guard.Step(130, [&] {
    results_.SetSharedSubItem(row, ResultsList::kTitle, ItemField(item, item->Title()));
  });
  guard.Step(132, [&] {
    results_.SetSharedSubItem(row, ResultsList::kDescription, ItemField(item, item->Description()));
  });
  guard.Step(132, [&] {
    results_.SetSharedSubItem(row, ResultsList::kLink, ItemField(item, item->URL()));
  });
  guard.Step(132, [&] { results_.SetEntry(row, item); });
  return true;
}
