// The run's report of every feed to its observer, against a loopback server.
#include "RetrievalRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "ErrorGuard.h"
#include "LoopbackServer.h"
#include "ScriptedDialogs.h"
#include "WorkflowFakes.h"

namespace {

using Texts = std::vector<std::string>;

const char* const kFeed = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>A</title>
<item><title>one</title><description>x</description><link>http://a/1</link></item>
<item><title>two</title><description>y</description><link>http://a/2</link></item>
</channel></rss>)";

const char* const kEmptyFeed = R"(<rss version="2.0"><channel><title>E</title></channel></rss>)";

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

class RetrievalRunObserverTest : public ::testing::Test {
 protected:
  RetrievalRunObserverTest() {
    Serve("/feed.rss", 200, kFeed, "application/rss+xml");
    Serve("/empty.rss", 200, kEmptyFeed, "application/rss+xml");
    Serve("/page", 200, "<html><body><p>Not a feed<br></body></html>", "text/html");
    Serve("/missing", 404, "<html><body>gone<br></body></html>", "text/html");
    Serve("/gone.rss", 404, kFeed, "application/rss+xml");
    server_.Start();
    options_.closingWaitSeconds = 0;
    options_.http.connectTimeout = std::chrono::milliseconds(2000);
    options_.http.idleTimeout = std::chrono::milliseconds(2000);
  }

  void Serve(const std::string& path, int status, std::string body, std::string type) {
    server_.Http().Get(path, [status, body, type](const httplib::Request&,
                                                  httplib::Response& response) {
      response.status = status;
      response.set_content(body, type.c_str());
    });
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }

  void Run(RunObserver* observer) {
    options_.observer = observer;
    RetrievalRun(urls_, results_, progress_, pointer_, events_, dialogs_, state_, options_)
        .Start();
  }

  LoopbackServer server_;
  VectorUrlList urls_;
  VectorResultsList results_;
  RecordingProgress progress_;
  RecordingPointer pointer_;
  CountingEvents events_;
  ScriptedDialogs dialogs_;
  RunState state_;
  RetrievalOptions options_;
};

TEST_F(RetrievalRunObserverTest, EveryFeedIsReportedInOrderWithItsOutcome) {
  const std::string refused = "http://127.0.0.1:1/refused.rss";
  urls_.rows = {Url("/feed.rss"), Url("/page"), Url("/missing"), refused, Url("/gone.rss"),
                Url("/empty.rss")};
  RecordingObserver observer;
  Run(&observer);

  EXPECT_EQ(observer.events,
            (Texts{"started", "starting 0/6 " + Url("/feed.rss"), "finished 0",
                   "starting 1/6 " + Url("/page"), "finished 1", "starting 2/6 " + Url("/missing"),
                   "finished 2", "starting 3/6 " + refused, "finished 3",
                   "starting 4/6 " + Url("/gone.rss"), "finished 4",
                   "starting 5/6 " + Url("/empty.rss"), "finished 5"}));
  ASSERT_EQ(observer.outcomes.size(), 6u);
  const std::string noEntries =
      "The response is not an RSS, RDF or Atom feed with entries (HTTP 200 OK)";
  struct Expected {
    bool read;
    int64_t rows;
    int32_t status;
    bool failed;
    std::string reason;
  };
  const std::vector<Expected> expected = {
      {true, 2, 200, false, ""},
      {false, 0, 200, true, noEntries},
      {false, 0, 404, true, "HTTP 404 Not Found"},
      {false, 0, 0, true, ""},
      {false, 2, 404, false, ""},
      // Without entries the reader cannot tell the dialect: not read.
      {false, 0, 200, true, noEntries},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(urls_.rows[i]);
    const FeedOutcome& outcome = observer.outcomes[i];
    EXPECT_EQ(outcome.row, static_cast<int64_t>(i));
    EXPECT_EQ(outcome.address, urls_.rows[i]);
    EXPECT_EQ(outcome.read, expected[i].read);
    EXPECT_EQ(outcome.rowsAdded, expected[i].rows);
    EXPECT_EQ(outcome.httpStatus, expected[i].status);
    EXPECT_EQ(FeedFailed(outcome), expected[i].failed);
    if (!expected[i].reason.empty()) {
      EXPECT_EQ(FeedFailureReason(outcome), expected[i].reason);
    }
  }
  // The refused connection is told by the reader's own error.
  EXPECT_NE(observer.outcomes[3].errorCode, 0);
  EXPECT_FALSE(observer.outcomes[3].errorText.empty());
  EXPECT_EQ(FeedFailureReason(observer.outcomes[3]), observer.outcomes[3].errorText);
}

TEST_F(RetrievalRunObserverTest, TheRunIsTheSameWithAnObserver) {
  urls_.rows = {Url("/feed.rss"), Url("/page"), Url("/gone.rss")};
  Run(nullptr);
  const auto rowsWithout = results_.rows;
  const auto positionsWithout = progress_.positions;
  const auto textsWithout = progress_.texts;
  const auto pointerWithout = pointer_.history;
  const auto messagesWithout = dialogs_.MessageTexts();

  results_.rows.clear();
  progress_.positions.clear();
  progress_.texts.clear();
  pointer_.history.clear();
  dialogs_.messages.clear();
  RecordingObserver observer;
  Run(&observer);
  EXPECT_EQ(results_.rows, rowsWithout);
  EXPECT_EQ(progress_.positions, positionsWithout);
  EXPECT_EQ(progress_.texts, textsWithout);
  EXPECT_EQ(pointer_.history, pointerWithout);
  EXPECT_EQ(dialogs_.MessageTexts(), messagesWithout);
  EXPECT_EQ(messagesWithout, Texts{"Done."});
}

TEST_F(RetrievalRunObserverTest, EmptyListStartsNoRun) {
  RecordingObserver observer;
  Run(&observer);
  EXPECT_TRUE(observer.events.empty());
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"No URLs added."});
}

TEST_F(RetrievalRunObserverTest, RowsThatCouldNotBeAddedAreNotCounted) {
  urls_.rows = {Url("/feed.rss")};
  results_.fail = FailAt("Append", "List full");
  RecordingObserver observer;
  Run(&observer);
  ASSERT_EQ(observer.outcomes.size(), 1u);
  EXPECT_TRUE(observer.outcomes[0].read);
  EXPECT_EQ(observer.outcomes[0].rowsAdded, 0);
  // Read, so not failed, even though no row made it into the list.
  EXPECT_FALSE(FeedFailed(observer.outcomes[0]));
}

TEST_F(RetrievalRunObserverTest, FailingObserverIsReportedAndTheRunGoesOn) {
  urls_.rows = {Url("/feed.rss"), Url("/feed.rss")};
  RecordingObserver observer;
  observer.failWith = "Observer broke";
  Run(&observer);
  EXPECT_EQ(results_.rows.size(), 4u);
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{ErrorReportText("Observer broke", "PushButton2_Click", 138),
                   ErrorReportText("Observer broke", "PushButton2_Click", 138), "Done."}));
}

TEST_F(RetrievalRunObserverTest, MissingReaderIsReportedAsAFailedFeed) {
  urls_.rows = {Url("/feed.rss")};
  options_.readerFactory = [](const HttpOptions&) { return std::unique_ptr<FeedReader>(); };
  RecordingObserver observer;
  Run(&observer);
  ASSERT_EQ(observer.outcomes.size(), 1u);
  EXPECT_TRUE(FeedFailed(observer.outcomes[0]));
  EXPECT_EQ(FeedFailureReason(observer.outcomes[0]), "No response was received");
}

}  // namespace
