// The retrieval run over HTTP components that answer from a table; against a loopback server only
// what downloads side by side change: row order, and closing during a run.
#include "RetrievalRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "FakeClock.h"
#include "HttpRequest.h"
#include "LoopbackServer.h"
#include "ScriptedDialogs.h"
#include "WorkflowFakes.h"

namespace {

using Row = VectorResultsList::Row;
using Texts = std::vector<std::string>;

const char* const kFeedA = R"(<rss version="2.0"><channel><title>A</title>
<item><title>A one</title><description>&lt;b&gt;first&lt;/b&gt; body</description><link>http://a/1</link></item>
<item><title>A two</title><description></description><link>http://a/2</link></item></channel></rss>)";
const char* const kFeedB = R"(<feed xmlns="http://www.w3.org/2005/Atom">
<entry><title>B one</title><summary>second</summary><link href="http://b/1"/></entry></feed>)";

std::vector<Row> RowsA(const std::string& address, bool ticked = true) {
  return {{address, "A one", "first body", "http://a/1", ticked}, {address, "A two", "", "http://a/2", ticked}};
}

// Answers from a table of status and body by address, and refuses any other address. These are
// no web addresses, so the run's download pool never fetches them.
class FakeHttp : public HttpRequest {
 public:
  using Answers = std::map<std::string, std::pair<int32_t, std::string>>;
  FakeHttp(const Answers& answers, Texts& opened) : answers_(answers), opened_(opened) {}
  void Open(const std::string&, const std::string& url, bool) override { opened_.push_back(url_ = url); }
  void Open(const std::string& method, const std::string& url, bool, const std::string&, const std::string&) override {
    Open(method, url, false);
  }
  void SetCredentials(const std::string&, const std::string&, int32_t) override {}
  void Send() override {
    if (!answers_.contains(url_)) throw ComponentError(1003, "Connection refused");
  }
  int32_t Status() const override { return answers_.at(url_).first; }
  std::string StatusText() const override { return Status() == 200 ? "OK" : "Not Found"; }
  std::string ResponseText() const override { return answers_.at(url_).second; }

 private:
  const Answers& answers_;
  Texts& opened_;
  std::string url_;
};

// What the run tells about every feed, with the reason the window and the batch mode pass on.
struct RecordingObserver : RunObserver {
  Texts heard;
  void RunStarted() override { heard.push_back("started"); }
  void FeedFinished(const FeedOutcome& o) override {
    heard.push_back(std::to_string(o.row) + " " + o.address + " " + std::to_string(o.rowsAdded) +
                    (FeedFailed(o) ? " failed: " + FeedFailureReason(o) : " read") +
                    (o.archiveNote.empty() ? "" : " | " + o.archiveNote));
  }
  void PageStarting(int64_t row, int64_t page, const std::string& address) override {
    heard.push_back(std::to_string(row) + " page " + std::to_string(page) + " " + address);
  }
};

// The window side of one run.
struct RunParts {
  RunParts() {
    options.closingWaitSeconds = 0;
    options.clock = &clock;
    options.observer = &observer;
    options.readerFactory = [this](const HttpClient&) {
      ++readers;
      ComponentRegistry registry = ComponentRegistry::Standard();
      registry.RegisterShared(kHttpClassNames, [this] { return std::make_unique<FakeHttp>(answers, opened); });
      return std::make_unique<FeedReader>(std::move(registry));
    };
  }
  RetrievalRun Run() { return RetrievalRun(urls, results, progress, pointer, events, dialogs, state, options); }

  FakeHttp::Answers answers = {{"a.rss", {200, kFeedA}}, {"b.rss", {200, kFeedB}}};
  Texts opened;
  int readers = 0;
  FakeClock clock;
  RecordingObserver observer;
  VectorUrlList urls;
  VectorResultsList results;
  RecordingProgress progress;
  RecordingPointer pointer;
  CountingEvents events;
  ScriptedDialogs dialogs;
  RunState state;
  RetrievalOptions options;
};

// An empty URL list is only said. Good and failing feeds, a 404, an address with a NUL byte and the
// same address twice: rows, scrolls, bar, pointer and what the observer hears, in list order; a
// second start does nothing.
TEST(RetrievalRunTest, RowsProgressAndOutcomesFollowTheList) {
  RunParts run;
  run.results.rows = {{"old", "t", "d", "l", false}};
  run.Run().Start();
  EXPECT_EQ(run.dialogs.MessageTexts(), Texts{"No URLs added."});
  EXPECT_TRUE(run.readers == 0 && run.results.rows.size() == 1 && run.pointer.history.empty());
  run.dialogs.messages.clear();
  const std::string withNul("nul\0.rss", 8);
  run.answers["f\\b.rss"] = {200, kFeedB};
  run.answers["gone.rss"] = {404, kFeedA};
  run.answers["page"] = {200, "<html><body><p>Not a feed<br></body></html>"};
  run.urls.rows = {"a.rss", "f\\b.rss", "gone.rss", "page", "refused", withNul, "a.rss"};
  run.options.closingWaitSeconds = 0.2;
  RetrievalRun retrieval = run.Run();
  int idlePasses = 0, closingWaitPasses = 0;
  // The bar's texts as the window could paint them: events are processed after each is set.
  Texts painted;
  run.events.onProcess = [&](int) {
    if (painted.empty() || painted.back() != run.progress.text) painted.push_back(run.progress.text);
    idlePasses += run.pointer.value != BusyPointer::kBusy || !run.state.running;
    closingWaitPasses += run.results.rows.size() == 7 && run.progress.position == 100;
    retrieval.Start();
  };
  retrieval.Start();

  // A feed served with a status other than 200 still gives its rows.
  std::vector<Row> expected = RowsA("a.rss");
  expected.push_back({"f\\b.rss", "B one", "second", "http://b/1", true});
  for (const Row& row : RowsA("gone.rss")) expected.push_back(row);
  for (const Row& row : RowsA("a.rss")) expected.push_back(row);
  EXPECT_EQ(run.results.rows, expected);
  EXPECT_EQ(run.results.scrolledTo, (std::vector<int64_t>{0, 1, 2, 3, 4, 5, 6}));
  // One request a feed; the address with a NUL reaches the reader whole, to be refused there.
  EXPECT_EQ(run.opened, run.urls.rows);
  EXPECT_EQ(run.readers, 1);
  EXPECT_EQ(run.dialogs.MessageTexts(), Texts{"Done."});
  ASSERT_EQ(run.progress.positions.size(), 8u);
  for (std::size_t i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(run.progress.positions[i], (i + 1) * 100.0 / 7);
  EXPECT_EQ(run.progress.texts, (Texts{"Processing: a.rss", "Processing: b.rss", "Processing: gone.rss",
                                       "Processing: page", "Processing: refused", "Processing: " + withNul,
                                       "Processing: a.rss", "Progress Bar"}));
  EXPECT_EQ(painted, Texts(run.progress.texts.begin(), run.progress.texts.end() - 1));
  EXPECT_EQ(run.progress.position, 0.0);
  EXPECT_EQ(run.pointer.value, BusyPointer::kDefault);
  EXPECT_EQ(idlePasses, 0);
  // The full bar stays while the closing wait processes events every 20 milliseconds: at 0, 20,
  // ..., 200 ms.
  EXPECT_EQ(closingWaitPasses, 11);
  // A feed fails whenever ReadFeed returned false, also when its entries became rows.
  EXPECT_EQ(run.observer.heard,
            (Texts{"started", "0 a.rss 2 read", "1 f\\b.rss 1 read", "2 gone.rss 2 failed: HTTP 404 Not Found",
                   "3 page 0 failed: The page announces no feed (HTTP 200 OK)",
                   "4 refused 0 failed: Connection refused", "5 " + withNul + " 0 failed: Connection refused",
                   "6 a.rss 2 read"}));
  // The reader's error comes first, then the status of the response when there was one.
  // Never an empty reason: a bare error number, or the lack of any response, is said so.
  EXPECT_EQ(FeedFailureReason({0, "a", false, 0, 1006, "Too large", 200, "OK", "", 0, ""}), "Too large (HTTP 200 OK)");
  EXPECT_EQ(FeedFailureReason({0, "a", false, 0, 1021, "", 0, "", "", 0, ""}), "Error 1021");
  EXPECT_EQ(FeedFailureReason({0, "a", false, 0, 0, "", 0, "", "", 0, ""}), "No response was received");
  // Closing the window during the closing wait ends the wait at once, and the run without "Done.".
  run.options.closingWaitSeconds = 60;
  run.events.onProcess = [&](int) { run.state.closing = run.results.rows.size() == 7; };
  run.events.calls = 0;
  run.Run().Start();
  EXPECT_LT(run.events.calls, 100);
  EXPECT_EQ(run.dialogs.MessageTexts(), Texts{"Done."});
  // Escape after the first feed: the rows read so far stay, the bar is reset, "Stopped." once.
  run.state.closing = false;
  run.events.onProcess = [&](int) { run.state.stopping = run.state.stopping || run.results.rows.size() == 2; };
  run.Run().Start();
  EXPECT_EQ(run.results.rows.size(), 2u);
  EXPECT_EQ(run.progress.position, 0);
  EXPECT_EQ(run.dialogs.MessageTexts(), (Texts{"Done.", "Stopped."}));
}

// Feed n answers after a delay of its own, so that downloads side by side end out of order; the
// slow feeds hold their answer until the window closes.
TEST(RetrievalRunConcurrencyTest, RowsKeepTheListOrderAndClosingEndsEveryDownload) {
  // Declared before the server, whose threads use them until it stops.
  std::atomic<int> inFlight{0}, mostInFlight{0}, hitsOfTwo{0};
  std::atomic<bool> slowEntered{false}, release{false}, slowHeldToTheEnd{false};
  LoopbackServer server;
  server.Http().Get(R"(/late/(\d+)\.rss)", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string n = request.matches[1];
    hitsOfTwo += n == "2";
    const int now = ++inFlight;
    for (int most = mostInFlight; now > most && !mostInFlight.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(n) * 37 % 50));
    --inFlight;
    response.set_content("<rss version=\"2.0\"><channel><item><title>" + n + "</title></item></channel></rss>",
                         "application/rss+xml");
  });
  server.Http().Get(R"(/slow/\d\.rss)", [&](const httplib::Request&, httplib::Response& response) {
    slowEntered = true;
    for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    slowHeldToTheEnd = slowHeldToTheEnd || !release;
    response.set_content(kFeedB, "application/atom+xml");
  });
  // Feeds whose number is a multiple of ten are slow: each holds its answer until every slow one
  // of the row has arrived, or for holdMs at most.
  std::atomic<int> slowIn{0}, slowNow{0}, mostSlow{0}, slowTotal{0}, holdMs{0}, requests{0}, requestsWhileHeld{0};
  server.Http().Get(R"(/spread/(\d+)\.rss)", [&](const httplib::Request& request, httplib::Response& response) {
    const int n = std::stoi(request.matches[1]);
    ++requests;
    if (n % 10 == 0) {
      ++slowIn;
      const int now = ++slowNow;
      for (int most = mostSlow; now > most && !mostSlow.compare_exchange_weak(most, now);) {
      }
      for (int i = 0; i < holdMs / 10 && slowIn < slowTotal; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (n == 0) requestsWhileHeld = requests.load();
      --slowNow;
    }
    response.set_content("<rss version=\"2.0\"><channel><item><title>" + std::to_string(n) + "</title></item></channel></rss>",
                         "application/rss+xml");
  });
  server.Start();
  // Slow feeds ten rows apart, more than --jobs, all download at once; with room for one body
  // only, the look-ahead stops at the feeds already on their way.
  const struct {
    std::size_t heldBytes;
    int slow, holdMs, mostSlow, mostRequestsWhileHeld;
  } spreadRows[] = {{RetrievalOptions{}.heldBytes, 3, 10000, 3, 30}, {1, 2, 500, 1, 8}};
  for (const auto& row : spreadRows) {
    SCOPED_TRACE(row.heldBytes);
    RunParts run;
    run.options.clock = &Clock::Steady();
    run.options.readerFactory = {};
    run.options.jobs = 4;
    run.options.heldBytes = row.heldBytes;
    for (int n = 0; n < 30; ++n) run.urls.rows.push_back(server.Url("/spread/" + std::to_string(n) + ".rss"));
    slowIn = mostSlow = requests = 0;
    slowTotal = row.slow;
    holdMs = row.holdMs;
    run.Run().Start();
    EXPECT_EQ(run.results.rows.size(), 30u);
    EXPECT_EQ(mostSlow, row.mostSlow);
    EXPECT_LE(requestsWhileHeld, row.mostRequestsWhileHeld);
  }
  for (const std::size_t jobs : {std::size_t{1}, RetrievalOptions{}.jobs}) {
    SCOPED_TRACE(jobs);
    RunParts run;
    // The downloads' own clocks, and the wait hook's pace, on real time.
    run.options.clock = &Clock::Steady();
    run.options.readerFactory = {};
    run.options.observer = nullptr;
    run.options.jobs = jobs;
    std::vector<Row> expected;
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 2}) {
      run.urls.rows.push_back(server.Url("/late/" + std::to_string(n) + ".rss"));
      expected.push_back({run.urls.rows.back(), std::to_string(n), "", "", true});
    }
    hitsOfTwo = mostInFlight = 0;
    run.Run().Start();
    EXPECT_EQ(run.results.rows, expected);
    EXPECT_EQ(hitsOfTwo, 2);
    // All from one host: at most four at once.
    EXPECT_LE(mostInFlight, jobs == 1 ? 1 : 4);
  }

  RunParts run;
  run.urls.rows = {server.Url("/slow/1.rss"), server.Url("/slow/2.rss"), server.Url("/slow/3.rss")};
  run.options.closingWaitSeconds = 60;
  run.options.clock = &Clock::Steady();
  std::shared_ptr<DownloadPool> pool;
  run.options.readerFactory = [&pool](const HttpClient& client) {
    pool = client.Pool();
    return std::make_unique<FeedReader>(ComponentRegistry::Standard(client));
  };
  run.events.onProcess = [&](int) { run.state.closing = run.state.closing || slowEntered; };
  run.Run().Start();
  // The run ended while every slow feed still held its answer: it waited for none of them.
  EXPECT_FALSE(slowHeldToTheEnd);
  release = true;
  EXPECT_TRUE(run.dialogs.messages.empty());
  EXPECT_TRUE(run.results.rows.empty());
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Transfers(), 0u) << "the feeds after the first were left downloading";
  EXPECT_FALSE(run.state.running);
}

// Feed a: three pages (RSS under another Atom prefix, Atom, RSS) that share an entry, and link
// back to the first; links of other relations or namespaces are not followed. Feed b links to
// another port; feed c's second page is missing, feed d's has no entries; feed e's RSS link is
// no archive link. Then a stop while page 2 is shown.
TEST(RetrievalRunArchiveTest, EachPageAndEntryOnceEndingAtALoopAnotherPortOrAFailedPage) {
  std::atomic<int> foreignHits{0};
  LoopbackServer server, other;
  other.Http().Get(".*", [&](const httplib::Request&, httplib::Response&) { ++foreignHits; });
  other.Start();
  const auto rss = [](const std::string& link, const std::string& items) {
    return "<rss version=\"2.0\" xmlns:a10=\"http://www.w3.org/2005/Atom\"><channel><link>http://site/</link>"
           "<a10:link rel=\"self\" href=\"/x\"/><x:link xmlns:x=\"urn:x\" rel=\"prev-archive\" href=\"/x\"/>"
           "<a10:link rel=\"prev-archive\" href=\"" + link + "\"/>" + items +
           "</channel></rss>";
  };
  const auto item = [](const std::string& n) { return "<item><title>" + n + "</title><link>http://e/" + n + "</link></item>"; };
  std::map<std::string, std::string> pages;
  server.Http().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
    if (!pages.contains(request.path)) response.status = 404;
    response.set_content(pages.count(request.path) ? pages[request.path] : "", "application/xml");
  });
  server.Start();
  pages = {
      {"/a/1.xml", rss("2.xml", item("1") + item("2"))},
      {"/a/2.xml", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link rel=\"next\" href=\"/a/3.xml\"/>"
                   "<entry><title>2</title><link href=\"http://e/2\"/></entry>"
                   "<entry><title>3</title><link href=\"http://e/3\"/></entry></feed>"},
      {"/a/3.xml", rss(server.Url("/a/1.xml"), item("4"))},
      {"/b/1.xml", rss(other.Url("/b/2.xml"), item("5"))},
      {"/c/1.xml", rss("gone.xml", item("6"))}, {"/d/1.xml", rss("0.xml", item("7"))}, {"/d/0.xml", rss("", "")},
      {"/e/1.xml", "<rss><channel><link rel=\"next\" href=\"/x\"/>" + item("8") + "</channel></rss>"}};
  const auto walk = [](RunParts& run, std::size_t maxPages, const Texts& addresses) {
    run.options.clock = &Clock::Steady();
    run.options.readerFactory = {};
    run.options.archivePages = maxPages;
    run.urls.rows = addresses;
  };
  const std::string a = server.Url("/a/1.xml"), b = server.Url("/b/1.xml"), c = server.Url("/c/1.xml"),
                    d = server.Url("/d/1.xml"), e = server.Url("/e/1.xml");
  for (const std::size_t maxPages : {std::size_t{1000}, std::size_t{2}}) {
    SCOPED_TRACE(maxPages);
    RunParts run;
    walk(run, maxPages, {a, b, c, d, e});
    run.Run().Start();
    Texts titles;
    for (const Row& row : run.results.rows) {
      titles.push_back(row.text.str() == a ? row.title.str() : row.text.str() + " " + row.title.str());
    }
    const std::string end = "The archive walk ended after page ";
    Texts heard = {"started", "0 page 2 " + server.Url("/a/2.xml")};
    if (maxPages == 2) {
      EXPECT_EQ(titles, (Texts{"1", "2", "3", b + " 5", c + " 6", d + " 7", e + " 8"}));
      heard.push_back("0 " + a + " 3 read | " + end + "2: at most 2 pages of a feed are read");
    } else {
      EXPECT_EQ(titles, (Texts{"1", "2", "3", "4", b + " 5", c + " 6", d + " 7", e + " 8"}));
      heard.push_back("0 page 3 " + server.Url("/a/3.xml"));
      heard.push_back("0 " + a + " 4 read | " + end + "3: it links back to page 1, " + a);
    }
    heard.push_back("1 " + b + " 1 read | " + end + "1: it links to " + other.Url("/b/2.xml") +
                    ", which is not on the feed's own host and port (127.0.0.1:" + std::to_string(server.Port()) + ")");
    heard.push_back("2 page 2 " + server.Url("/c/gone.xml"));
    heard.push_back("2 " + c + " 1 failed: Archive page 2, " + server.Url("/c/gone.xml") +
                    ", failed: HTTP 404 Not Found; the rows of page 1 stay");
    heard.push_back("3 page 2 " + server.Url("/d/0.xml"));
    heard.push_back("3 " + d + " 1 read | " + end + "1: page 2, " + server.Url("/d/0.xml") + ", gives no entries");
    heard.push_back("4 " + e + " 1 read");
    EXPECT_EQ(run.observer.heard, heard);
    EXPECT_NE(std::find(run.progress.texts.begin(), run.progress.texts.end(),
                        "Processing: " + server.Url("/a/2.xml") + " (archive page 2)"),
              run.progress.texts.end());
  }
  EXPECT_EQ(foreignHits, 0);
  // Stopped while the bar names page 2, the walk asks for no page more.
  RunParts stopped;
  walk(stopped, 1000, {a});
  stopped.events.onProcess = [&](int) { stopped.state.stopping |= stopped.progress.text.ends_with("(archive page 2)"); };
  stopped.Run().Start();
  EXPECT_EQ(stopped.observer.heard,
            (Texts{"started", "0 " + a + " 2 read | The archive walk ended after page 1: the run was stopped"}));
}

}  // namespace
