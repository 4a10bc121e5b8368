// The retrieval run against a loopback server: rows, progress, pointer, failures and the
// report of every feed to its observer.
#include "RetrievalRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ErrorGuard.h"
#include "HttpRequest.h"
#include "LoopbackServer.h"
#include "ScriptedDialogs.h"
#include "UrlListCommands.h"
#include "WorkflowFakes.h"

namespace {

using Row = VectorResultsList::Row;
using Texts = std::vector<std::string>;

const char* const kFeedA = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>A</title>
<item><title>A one</title><description>&lt;b&gt;first&lt;/b&gt; body</description><link>http://a/1</link></item>
<item><title>A two</title><description></description><link>http://a/2</link></item>
</channel></rss>)";

const char* const kFeedB = R"(<?xml version="1.0"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>B</title>
<entry><title>B one</title><summary>second</summary><link href="http://b/1"/></entry>
</feed>)";

const std::vector<Row> kRowsA(const std::string& address) {
  return {{address, "A one", "first body", "http://a/1", true},
          {address, "A two", "", "http://a/2", true}};
}
const Row kRowB(const std::string& address) { return {address, "B one", "second", "http://b/1", true}; }

// Feed n of the feeds that answer late: two entries named after it.
std::string LateFeed(int n) {
  const std::string name = std::to_string(n);
  return "<rss version=\"2.0\"><channel><item><title>" + name + ".1</title></item><item><title>" + name +
         ".2</title></item></channel></rss>";
}

// Everything the observer heard, as text, in order.
class RecordingObserver : public RunObserver {
 public:
  std::vector<std::string> events;
  std::vector<FeedOutcome> outcomes;
  // Thrown from FeedFinished when set.
  std::string failWith;

  void RunStarted() override { events.push_back("started"); }
  void FeedStarting(int64_t row, int64_t count, const std::string& address) override {
    events.push_back("starting " + std::to_string(row) + "/" + std::to_string(count) + " " +
                     address);
  }
  void FeedFinished(const FeedOutcome& outcome) override {
    events.push_back("finished " + std::to_string(outcome.row));
    outcomes.push_back(outcome);
    if (!failWith.empty()) throw std::runtime_error(failWith);
  }
};

// Builds the window side of one run: lists, bar, pointer, events and dialogs.
class RetrievalRunTest : public ::testing::Test {
 protected:
  RetrievalRunTest() {
    Serve("/a.rss", 200, kFeedA, "application/rss+xml");
    Serve("/b.rss", 200, kFeedB, "application/atom+xml");
    Serve("/page", 200, "<html><body><p>Not a feed<br></body></html>", "text/html");
    Serve("/gone.rss", 404, kFeedA, "application/rss+xml");
    Serve("/missing", 404, "<html><body>gone<br></body></html>", "text/html");
    Serve("/empty.rss", 200, R"(<rss version="2.0"><channel><title>E</title></channel></rss>)",
          "application/rss+xml");
    hits_["/slow.rss"] = 0;
    server_.Http().Get("/slow.rss", [this](const httplib::Request&, httplib::Response& response) {
      ++hits_["/slow.rss"];
      slowEntered_ = true;
      for (int i = 0; i < 500 && !releaseSlow_; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      response.set_content(kFeedB, "application/atom+xml");
    });
    // Feed n answers after a delay of its own, so that downloads side by side end out of
    // order; the server notes the most requests it had under way at once.
    server_.Http().Get(R"(/late/(\d+)\.rss)", [this](const httplib::Request& request, httplib::Response& response) {
      const int n = std::stoi(request.matches[1]);
      const int now = ++lateInFlight_;
      for (int most = mostLateInFlight_; now > most && !mostLateInFlight_.compare_exchange_weak(most, now);) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(n * 37 % 50));
      --lateInFlight_;
      response.set_content(LateFeed(n), "application/rss+xml");
    });
    server_.Start();
    options_.closingWaitSeconds = 0;
    options_.http.connectTimeout = std::chrono::milliseconds(2000);
    options_.http.idleTimeout = std::chrono::milliseconds(2000);
  }

  ~RetrievalRunTest() override {
    releaseSlow_ = true;
    server_.Stop();
  }

  void Serve(const std::string& path, int status, std::string body, std::string type) {
    hits_[path] = 0;
    server_.Http().Get(path, [this, path, status, body, type](const httplib::Request&,
                                                             httplib::Response& response) {
      ++hits_[path];
      response.status = status;
      response.set_content(body, type.c_str());
    });
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }

  RetrievalRun MakeRun(RunObserver* observer = nullptr) {
    options_.observer = observer;
    return RetrievalRun(urls_, results_, progress_, pointer_, events_, dialogs_, state_, options_);
  }

  LoopbackServer server_;
  // Requests per path. Every key is made before the server starts, so its threads only ever
  // touch existing counters.
  std::map<std::string, std::atomic<int>> hits_;
  std::atomic<bool> slowEntered_{false};
  std::atomic<bool> releaseSlow_{false};
  std::atomic<int> lateInFlight_{0};
  std::atomic<int> mostLateInFlight_{0};

  VectorUrlList urls_;
  VectorResultsList results_;
  RecordingProgress progress_;
  RecordingPointer pointer_;
  CountingEvents events_;
  ScriptedDialogs dialogs_;
  RunState state_;
  RetrievalOptions options_;
};

TEST_F(RetrievalRunTest, EmptyUrlListOnlySaysNoUrlsAdded) {
  results_.rows = {{"kept", "t", "d", "l", false}};
  pointer_.value = BusyPointer::kHand;
  progress_.position = 42;
  progress_.text = "as it was";
  int readers = 0;
  options_.readerFactory = [&](const HttpOptions&) {
    ++readers;
    return std::unique_ptr<FeedReader>();
  };
  RecordingObserver observer;
  MakeRun(&observer).Start();
  EXPECT_TRUE(observer.events.empty());
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"No URLs added."});
  EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
  EXPECT_EQ(results_.rows, (std::vector<Row>{{"kept", "t", "d", "l", false}}));
  EXPECT_EQ(pointer_.value, BusyPointer::kHand);
  EXPECT_TRUE(pointer_.history.empty());
  EXPECT_EQ(progress_.position, 42);
  EXPECT_EQ(progress_.text, "as it was");
  EXPECT_EQ(readers, 0);
  EXPECT_FALSE(state_.running);
}

// Feeds download side by side and end in any order; their rows still come in list order.
TEST_F(RetrievalRunTest, RowsFollowTheListAndAreAllTicked) {
  // The same address twice gives its items twice.
  Texts addresses = {Url("/a.rss"), Url("/b.rss"), Url("/b.rss")};
  std::vector<Row> expected = kRowsA(Url("/a.rss"));
  expected.push_back(kRowB(Url("/b.rss")));
  expected.push_back(kRowB(Url("/b.rss")));
  for (int n = 0; n < 10; ++n) {
    addresses.push_back(Url("/late/" + std::to_string(n) + ".rss"));
    for (const char* entry : {".1", ".2"}) {
      expected.push_back({addresses.back(), std::to_string(n) + entry, "", "", true});
    }
  }
  std::vector<int64_t> everyRow(expected.size());
  std::iota(everyRow.begin(), everyRow.end(), 0);
  for (const std::size_t jobs : {std::size_t{1}, RetrievalOptions{}.jobs}) {
    SCOPED_TRACE(jobs);
    results_.rows = {{"old", "t", "d", "l", false}};
    results_.scrolledTo.clear();
    dialogs_.messages.clear();
    hits_["/b.rss"] = 0;
    mostLateInFlight_ = 0;
    urls_.rows = addresses;
    options_.jobs = jobs;
    MakeRun().Start();
    EXPECT_EQ(results_.rows, expected);
    EXPECT_EQ(hits_["/b.rss"], 2);
    EXPECT_EQ(results_.scrolledTo, everyRow);
    EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
    EXPECT_EQ(urls_.rows, addresses);
    // All from one host: at most four at once.
    EXPECT_LE(mostLateInFlight_, jobs == 1 ? 1 : 4);
  }
}

TEST_F(RetrievalRunTest, FailingFeedsBetweenGoodOnesAddNothingSayNothingAndAreReported) {
  const std::string refused = "http://127.0.0.1:1/refused.rss";
  urls_.rows = {Url("/a.rss"), Url("/page"), Url("/missing"), refused, Url("/gone.rss"),
                Url("/empty.rss"), Url("/b.rss")};
  RecordingObserver observer;
  MakeRun(&observer).Start();
  // A feed served with another status than 200 still gives its rows.
  std::vector<Row> expected = kRowsA(Url("/a.rss"));
  for (const Row& row : kRowsA(Url("/gone.rss"))) expected.push_back(row);
  expected.push_back(kRowB(Url("/b.rss")));
  EXPECT_EQ(results_.rows, expected);
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
  // The four HTTP class names are one client: a response that is not a feed is asked for once.
  EXPECT_EQ(hits_["/page"], 1);

  Texts events = {"started"};
  for (std::size_t i = 0; i < urls_.rows.size(); ++i) {
    events.push_back("starting " + std::to_string(i) + "/7 " + urls_.rows[i]);
    events.push_back("finished " + std::to_string(i));
  }
  EXPECT_EQ(observer.events, events);
  ASSERT_EQ(observer.outcomes.size(), 7u);
  const std::string noEntries =
      "The response is not an RSS, RDF or Atom feed with entries (HTTP 200 OK)";
  struct Expected {
    bool read;
    int64_t rows;
    int32_t status;
    bool failed;
    std::string reason;
  };
  const std::vector<Expected> outcomes = {
      {true, 2, 200, false, ""},
      {false, 0, 200, true, noEntries},
      {false, 0, 404, true, "HTTP 404 Not Found"},
      {false, 0, 0, true, ""},
      {false, 2, 404, true, "HTTP 404 Not Found"},
      // Without entries the reader cannot tell the dialect: not read.
      {false, 0, 200, true, noEntries},
      {true, 1, 200, false, ""},
  };
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    SCOPED_TRACE(urls_.rows[i]);
    const FeedOutcome& outcome = observer.outcomes[i];
    EXPECT_EQ(outcome.row, static_cast<int64_t>(i));
    EXPECT_EQ(outcome.address, urls_.rows[i]);
    EXPECT_EQ(outcome.read, outcomes[i].read);
    EXPECT_EQ(outcome.rowsAdded, outcomes[i].rows);
    EXPECT_EQ(outcome.httpStatus, outcomes[i].status);
    EXPECT_EQ(FeedFailed(outcome), outcomes[i].failed);
    if (!outcomes[i].reason.empty()) {
      EXPECT_EQ(FeedFailureReason(outcome), outcomes[i].reason);
    }
  }
  // The refused connection is told by the reader's own error.
  EXPECT_NE(observer.outcomes[3].errorCode, 0);
  EXPECT_FALSE(observer.outcomes[3].errorText.empty());
  EXPECT_EQ(FeedFailureReason(observer.outcomes[3]), observer.outcomes[3].errorText);
}

TEST_F(RetrievalRunTest, ProgressShowsShareReachedAndTheAddress) {
  urls_.rows = {Url("/a.rss"), "feeds\\local\\name.rss", Url("/b.rss")};
  MakeRun().Start();
  ASSERT_EQ(progress_.positions.size(), 4u);
  EXPECT_DOUBLE_EQ(progress_.positions[0], 100.0 / 3);
  EXPECT_DOUBLE_EQ(progress_.positions[1], 200.0 / 3);
  EXPECT_DOUBLE_EQ(progress_.positions[2], 100.0);
  EXPECT_EQ(progress_.positions[3], 0.0);
  EXPECT_EQ(progress_.texts, (Texts{"Processing: " + Url("/a.rss"), "Processing: name.rss",
                                    "Processing: " + Url("/b.rss"), "Progress Bar"}));
}

TEST_F(RetrievalRunTest, BusyWhileRunningAndAtRestAfterwards) {
  urls_.rows = {Url("/a.rss"), Url("/b.rss")};
  options_.closingWaitSeconds = 0.1;
  std::vector<int> pointerSeen;
  bool fullBarSeenInClosingWait = false;
  events_.onProcess = [&](int) {
    pointerSeen.push_back(pointer_.value);
    if (results_.rows.size() == 3 && progress_.position == 100 &&
        progress_.text == "Processing: " + Url("/b.rss")) {
      fullBarSeenInClosingWait = true;
    }
  };
  MakeRun().Start();
  EXPECT_FALSE(pointerSeen.empty());
  for (int value : pointerSeen) EXPECT_EQ(value, BusyPointer::kBusy);
  EXPECT_TRUE(fullBarSeenInClosingWait);
  EXPECT_EQ(pointer_.value, BusyPointer::kDefault);
  EXPECT_EQ(progress_.position, 0);
  EXPECT_EQ(progress_.text, "Progress Bar");
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
  EXPECT_FALSE(state_.running);
}

TEST_F(RetrievalRunTest, EventsAreProcessedWhileADownloadWaits) {
  urls_.rows = {Url("/slow.rss")};
  int callsDuringDownload = 0;
  events_.onProcess = [&](int) {
    if (slowEntered_) {
      if (++callsDuringDownload == 5) releaseSlow_ = true;
    }
  };
  MakeRun().Start();
  EXPECT_GE(callsDuringDownload, 5);
  EXPECT_EQ(results_.rows, std::vector<Row>{kRowB(Url("/slow.rss"))});
}

TEST_F(RetrievalRunTest, SecondStartAndUrlListClearAreHeldBackDuringARun) {
  urls_.rows = {Url("/a.rss"), Url("/b.rss")};
  int readers = 0;
  options_.readerFactory = [&](const HttpOptions& http) {
    ++readers;
    return std::make_unique<FeedReader>(ComponentRegistry::Standard(http));
  };
  RetrievalRun run = MakeRun();
  UrlListCommands urlCommands(urls_, dialogs_, events_, pointer_, state_);
  events_.onProcess = [&](int) {
    run.Start();
    urlCommands.Clear();
  };
  run.Start();
  EXPECT_EQ(readers, 1);
  EXPECT_EQ(results_.rows.size(), 3u);
  EXPECT_EQ(urls_.rows.size(), 2u);
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
  // Once the run is over, both work again.
  events_.onProcess = nullptr;
  urlCommands.Clear();
  EXPECT_TRUE(urls_.rows.empty());
}

TEST_F(RetrievalRunTest, ClosingTheWindowAbandonsEveryDownloadAndEndsTheRun) {
  urls_.rows = {Url("/slow.rss"), Url("/b.rss"), Url("/a.rss")};
  options_.closingWaitSeconds = 60;
  std::shared_ptr<DownloadPool> pool;
  options_.readerFactory = [&pool](const HttpOptions& http) {
    pool = http.pool;
    return std::make_unique<FeedReader>(ComponentRegistry::Standard(http));
  };
  events_.onProcess = [&](int) {
    if (slowEntered_) state_.closing = true;
  };
  const auto start = std::chrono::steady_clock::now();
  MakeRun().Start();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(results_.rows.empty());
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Transfers(), 0u) << "the feeds after the slow one were left downloading";
  EXPECT_FALSE(state_.running);
  // Not a speed test: the slow feed holds its answer for 5 s and the closing wait is 60 s.
  EXPECT_LT(elapsed, std::chrono::seconds(4));
}

// An HTTP component that answers every request with one fixed feed, without a network.
class CannedHttp : public HttpRequest {
 public:
  explicit CannedHttp(std::string body) : body_(std::move(body)) {}
  void Open(const std::string&, const std::string& url, bool) override { url_ = url; }
  void Open(const std::string&, const std::string& url, bool, const std::string&,
            const std::string&) override {
    url_ = url;
  }
  void SetCredentials(const std::string&, const std::string&, int32_t) override {}
  // Like the real client, an empty address goes nowhere.
  void Send() override {
    if (url_.empty()) throw ComponentError(1001, "No address");
  }
  int32_t Status() const override { return 200; }
  std::string StatusText() const override { return "OK"; }
  std::string ResponseText() const override { return body_; }

 private:
  std::string body_;
  std::string url_;
};

FeedReaderFactory CannedReaders(const std::string& body) {
  return [body](const HttpOptions&) {
    ComponentRegistry registry = ComponentRegistry::Standard();
    for (const char* name : {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP", "MSXML2.ServerXMLHTTP",
                             "Microsoft.XMLHTTP"}) {
      registry.Register(name, [body] { return std::make_unique<CannedHttp>(body); });
    }
    return std::make_unique<FeedReader>(std::move(registry));
  };
}

std::string Report(const std::string& description, int32_t step) {
  return ErrorReportText(description, "PushButton2_Click", step);
}

TEST_F(RetrievalRunTest, FailingTickIsReportedWithStep126AndTheRowIsStillFilled) {
  options_.readerFactory = CannedReaders(kFeedA);
  urls_.rows = {"canned"};
  results_.fail = FailAt("SetChecked", "Tick refused");
  MakeRun().Start();
  // The same failure on both rows is reported once.
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{Report("Tick refused", 126), "Done."}));
  ASSERT_EQ(results_.rows.size(), 2u);
  EXPECT_EQ(results_.rows[0], (Row{"canned", "A one", "first body", "http://a/1", false}));
}

TEST_F(RetrievalRunTest, FailedAppendIsReportedWithStep124AndNoOtherRowTakesTheItem) {
  options_.readerFactory = CannedReaders(kFeedA);
  urls_.rows = {"canned"};
  int appends = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "Append" && ++appends == 2) throw std::runtime_error("Row refused");
  };
  MakeRun().Start();
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{Report("Row refused", 124), "Done."}));
  EXPECT_EQ(results_.rows, std::vector<Row>{kRowsA("canned")[0]});
}

TEST_F(RetrievalRunTest, ReaderThatCannotBeCreatedIsReportedOnceAtEachStepThatUsesIt) {
  options_.readerFactory = [](const HttpOptions&) -> std::unique_ptr<FeedReader> {
    throw std::runtime_error("No reader");
  };
  urls_.rows = {"x", "y"};
  MakeRun().Start();
  const std::string missing = "Object variable or With block variable not set";
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{Report("No reader", 108), Report(missing, 118), Report(missing, 120), "Done."}));
  EXPECT_EQ(pointer_.value, BusyPointer::kDefault);
}

TEST_F(RetrievalRunTest, ReaderWithoutItemListFailsStep120) {
  // Without its regular-expression component the reader never gets past its first check.
  options_.readerFactory = [](const HttpOptions& http) {
    ComponentRegistry registry = ComponentRegistry::Standard(http);
    registry.Refuse("VBScript.RegExp");
    return std::make_unique<FeedReader>(std::move(registry));
  };
  urls_.rows = {"x"};
  MakeRun().Start();
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{Report("Object variable or With block variable not set", 120), "Done."}));
}

TEST_F(RetrievalRunTest, BarTextFailuresAreReportedWith136And142) {
  options_.readerFactory = CannedReaders(kFeedB);
  urls_.rows = {"canned"};
  progress_.fail = FailAt("SetText", "Bar refused");
  MakeRun().Start();
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{Report("Bar refused", 136), Report("Bar refused", 142), "Done."}));
  EXPECT_EQ(results_.rows, std::vector<Row>{kRowB("canned")});
}

TEST_F(RetrievalRunTest, UrlListEmptiedUnderTheRunIsReportedWith136) {
  options_.readerFactory = CannedReaders(kFeedB);
  urls_.rows = {"first", "second"};
  events_.onProcess = [&](int call) {
    if (call == 1) urls_.rows.clear();
  };
  MakeRun().Start();
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{Report("row", 136), Report("Division by zero", 136), "Done."}));
  // The second pass has no address: it reads nothing and never repeats the first feed.
  EXPECT_EQ(results_.rows, std::vector<Row>{kRowB("first")});
  EXPECT_EQ(progress_.texts[1], "Processing: ");
}

TEST_F(RetrievalRunTest, CountersAreNotLimitedToSixteenBits) {
  options_.readerFactory = CannedReaders("not a feed");
  urls_.rows.assign(40000, "x");
  MakeRun().Start();
  EXPECT_EQ(progress_.positions.size(), 40001u);
  EXPECT_DOUBLE_EQ(progress_.positions[39999], 100.0);
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
}

TEST_F(RetrievalRunTest, RowsThatCouldNotBeAddedAreNotCountedButTheFeedWasRead) {
  urls_.rows = {Url("/a.rss")};
  results_.fail = FailAt("Append", "List full");
  RecordingObserver observer;
  MakeRun(&observer).Start();
  ASSERT_EQ(observer.outcomes.size(), 1u);
  EXPECT_TRUE(observer.outcomes[0].read);
  EXPECT_EQ(observer.outcomes[0].rowsAdded, 0);
  EXPECT_FALSE(FeedFailed(observer.outcomes[0]));
}

TEST_F(RetrievalRunTest, FailingObserverIsReportedWithStep138AndTheRunGoesOn) {
  urls_.rows = {Url("/a.rss"), Url("/a.rss")};
  RecordingObserver observer;
  observer.failWith = "Observer broke";
  MakeRun(&observer).Start();
  EXPECT_EQ(results_.rows.size(), 4u);
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{Report("Observer broke", 138), "Done."}));
}

TEST_F(RetrievalRunTest, MissingReaderIsReportedAsAFailedFeed) {
  urls_.rows = {Url("/a.rss")};
  options_.readerFactory = [](const HttpOptions&) { return std::unique_ptr<FeedReader>(); };
  RecordingObserver observer;
  MakeRun(&observer).Start();
  ASSERT_EQ(observer.outcomes.size(), 1u);
  EXPECT_TRUE(FeedFailed(observer.outcomes[0]));
  EXPECT_EQ(FeedFailureReason(observer.outcomes[0]), "No response was received");
}

}  // namespace
