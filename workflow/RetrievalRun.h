// "Start Retrieving Data": reads every feed of the URL list with one feed reader and fills the
// results list with one ticked row per entry, showing progress on the bar.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "BusyPointer.h"
#include "DialogService.h"
#include "DownloadPool.h"
#include "EventPump.h"
#include "FeedReader.h"
#include "HttpCache.h"
#include "HttpClient.h"
#include "ProgressSink.h"
#include "ResultsList.h"
#include "RunObserver.h"
#include "RunState.h"
#include "UrlList.h"

class ErrorGuard;

// Creates the run's feed reader over a client that already carries the run's wait hook and
// download pool.
using FeedReaderFactory = std::function<std::unique_ptr<FeedReader>(const HttpClient&)>;

struct RetrievalOptions {
  // Time-outs and limits of every download. The run makes its own wait hook and pool.
  HttpOptions http;
  // What the downloads' clocks and the closing wait read; must outlive the run.
  const Clock* clock = &Clock::Steady();
  // How many feeds download at once, ahead of the one being read (1: one after another); at
  // most DownloadLimits::perHost of them from one host. The feeds ahead are fetched as far down
  // the list as DownloadLimits::heldBytes of finished bodies allow. Rows are still added in
  // list order.
  std::size_t jobs = 8;
  // What the feeds fetched ahead and not yet read may hold; see DownloadLimits::heldBytes.
  std::size_t heldBytes = DownloadLimits{}.heldBytes;
  // The most results rows one run keeps: the feed that reaches it keeps its first rows up to
  // it, and the feeds after it are not read, each reported as not read. Every row is held in
  // memory, and a 134-byte compressed body can unpack into 100,000 of them.
  static constexpr std::size_t kDefaultMaxRows = 1'000'000;
  std::size_t maxRows = kDefaultMaxRows;
  // The pause after the last feed that lets the full bar be seen.
  double closingWaitSeconds = 1.0;
  // Above 1: each feed's archive is walked (ArchiveWalk.h), up to this many pages in all, its
  // entries added after the feed's own and each entry at most once. 0 or 1: only the feed.
  std::size_t archivePages = 0;
  // Where answers are kept between runs and servers' waits remembered; null: nowhere.
  std::shared_ptr<HttpCache> cache;
  // Empty: a FeedReader over ComponentRegistry::Standard(client).
  FeedReaderFactory readerFactory;
  // Told when the run starts and about every feed it reads; may be null. Not owned: it must
  // outlive the run. A failure inside it is reported like a failing step of the run.
  RunObserver* observer = nullptr;
};

class RetrievalRun {
 public:
  RetrievalRun(const UrlList& urls, ResultsList& results, ProgressSink& progress,
               BusyPointer& pointer, EventPump& events, DialogService& dialogs, RunState& state,
               RetrievalOptions options = {});

  // PushButton2_Click. Runs the whole job before it returns, processing the window's events
  // between its steps and while a download waits. The feeds after the one being read download
  // meanwhile, also while a modal box is open. Does nothing while a run is already under way.
  // Once state.closing is set, every download is abandoned and the run returns without its
  // closing wait and without a message. Once state.stopping is set, the downloads are abandoned
  // too, the rows read so far stay, and the run resets pointer and bar and shows "Stopped.".
  void Start();

 private:
  // Creates the download pool (none when libcurl cannot give one: the feeds then download one
  // at a time) and the reader that fetches through it.
  std::unique_ptr<FeedReader> CreateReader();
  // Lets the pool fetch the rows from `row` on, in list order, as far ahead as it has room for,
  // and moves it on. A row that cannot be read or queued is left to its own read.
  void Prefetch(int64_t row, int64_t count) noexcept;
  // One pass of the loop over the URL list, row counted from 1 up to count: progress, the read,
  // the rows of its items, and the observer's report.
  void ReadAddress(ErrorGuard& guard, FeedReader* reader, int64_t row, int64_t count);
  // Reads the pages of the feed's archive after its first, whose items were firstPage, adding the
  // rows of the entries no earlier page held; the walk's end and a failed page go to outcome.
  void ReadArchive(ErrorGuard& guard, FeedReader& reader, const FeedItemList& firstPage,
                   const std::string& feedAddress, FeedOutcome& outcome);
  // Shows and tells that page `number` of row's feed's archive, at page, is being read, and reads
  // it: what the reader answered (rowsAdded is the page's entries), and its items.
  FeedOutcome ReadArchivePage(ErrorGuard& guard, FeedReader& reader, int64_t row, std::size_t number,
                              const std::string& page, std::shared_ptr<FeedItemList>& items);
  // Reports a feed that is not read because the run holds maxRows rows; the window is told so
  // once per run.
  void SkipPastCeiling(ErrorGuard& guard, int64_t row, const std::string& address);
  // Appends one ticked row for the item; false when no row could be appended.
  bool AddResultRow(ErrorGuard& guard, const std::string& address,
                    const std::shared_ptr<const FeedItem>& item);

  const UrlList& urls_;
  ResultsList& results_;
  ProgressSink& progress_;
  BusyPointer& pointer_;
  EventPump& events_;
  DialogService& dialogs_;
  RunState& state_;
  RetrievalOptions options_;
  std::shared_ptr<DownloadPool> pool_;
  // The next URL-list row for the pool to fetch ahead, counted from 1.
  int64_t nextPrefetch_ = 1;
  // The rows this run has added, against RetrievalOptions::maxRows.
  std::size_t rowsKept_ = 0;
  bool ceilingShown_ = false;
};
