// FeedReader end to end against a loopback server: the real HTTP client, decoding and parsing.
#include <atomic>
#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "ErrorCodes.h"
#include "FeedReader.h"
#include "LoopbackServer.h"
#include "RawLoopbackServer.h"

namespace {

const char* const kFeed =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
    "<rss><channel><item><title>Caf\xE9</title><link>http://x.example/1</link>"
    "<description>&lt;p&gt;Body&lt;/p&gt;</description></item></channel></rss>";

class FeedReaderNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Http().Get("/feed", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(kFeed, "application/rss+xml");
    });
    server_.Http().Get("/page", [this](const httplib::Request&, httplib::Response& response) {
      ++pageRequests_;
      response.set_content("<html><body>Not a feed<br></body></html>", "text/html");
    });
    server_.Http().Get("/missing", [this](const httplib::Request&, httplib::Response& response) {
      ++missingRequests_;
      response.status = 404;
      response.set_content("<html><body>Gone<br></body></html>", "text/html");
    });
    server_.Http().Get("/private", [](const httplib::Request& request, httplib::Response& response) {
      // "reader:secret" in base64.
      if (request.get_header_value("Authorization") != "Basic cmVhZGVyOnNlY3JldA==") {
        response.status = 401;
        response.set_header("WWW-Authenticate", "Basic realm=\"feeds\"");
        return;
      }
      response.set_content(kFeed, "application/rss+xml");
    });
    server_.Start();
  }

  static HttpOptions ShortWaits() {
    HttpOptions options;
    options.connectTimeout = std::chrono::seconds(2);
    options.idleTimeout = std::chrono::milliseconds(300);
    return options;
  }

  LoopbackServer server_;
  std::atomic<int> pageRequests_{0};
  std::atomic<int> missingRequests_{0};
  FeedReader reader_{ComponentRegistry::Standard(ShortWaits())};
};

TEST_F(FeedReaderNetwork, ReadsAFeedWithItsDeclaredEncoding) {
  ASSERT_TRUE(reader_.ReadFeed(server_.Url("/feed")));
  EXPECT_EQ(reader_.LastHTTPStatus(), 200);
  EXPECT_EQ(reader_.LastHTTPStatusText(), "OK");
  EXPECT_EQ(reader_.LastErrorCode(), 0);
  ASSERT_EQ(reader_.FeedItems()->size(), 1u);
  EXPECT_EQ(reader_.FeedItems()->at(0)->Title(), "Café");
  EXPECT_EQ(reader_.FeedItems()->at(0)->Description(), "Body");
}

// The four HTTP class names of the standard registry are one client: trying the others would
// ask the same server the same question, so a feed that fails is requested once.
TEST_F(FeedReaderNetwork, FailingFeedIsRequestedOnce) {
  RawLoopbackServer silent("", true);
  RawLoopbackServer oversized("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n<rss>", true);
  silent.Start();
  oversized.Start();
  const struct {
    const char* name;
    std::string url;
    std::function<int()> requests;
    int32_t status;
    int32_t code;
  } rows[] = {
      {"HTML page", server_.Url("/page"), [this] { return pageRequests_.load(); }, 200, 0},
      {"404 page", server_.Url("/missing"), [this] { return missingRequests_.load(); }, 404, 0},
      {"silent server", silent.Url("/feed"), [&] { return silent.Connections(); }, 0, ErrorCodes::kTimeout},
      {"body past the ceiling", oversized.Url("/feed"), [&] { return oversized.Connections(); }, 0,
       ErrorCodes::kBodyTooLarge},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(reader_.ReadFeed(row.url));
    EXPECT_EQ(row.requests(), 1);
    EXPECT_EQ(reader_.LastHTTPStatus(), row.status);
    if (row.code != 0) {
      EXPECT_EQ(reader_.LastErrorCode(), row.code) << reader_.LastErrorDesc();
    }
    EXPECT_TRUE(reader_.FeedItems()->empty());
  }
}

TEST_F(FeedReaderNetwork, ServerCredentialsReachTheServer) {
  EXPECT_TRUE(reader_.ReadFeed(server_.Url("/private"), "reader", "secret"));
  EXPECT_FALSE(reader_.ReadFeed(server_.Url("/private")));
  EXPECT_EQ(reader_.LastHTTPStatus(), 401);
}

TEST_F(FeedReaderNetwork, UnreachableFeedsRecordAReadableError) {
  LoopbackServer closed;
  closed.Start();
  const std::string closedUrl = closed.Url("/feed");
  closed.Stop();
  const struct {
    std::string url;
    int32_t code;
    std::string text;
  } rows[] = {
      {"http://news.example.invalid/rss", ErrorCodes::kResolveHost, "news.example.invalid"},
      {closedUrl, ErrorCodes::kConnect, "127.0.0.1"},
      {"not an address", ErrorCodes::kInvalidAddress, "not an address"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.url);
    EXPECT_FALSE(reader_.ReadFeed(row.url));
    EXPECT_EQ(reader_.LastErrorCode(), row.code);
    EXPECT_NE(reader_.LastErrorDesc().find(row.text), std::string::npos) << reader_.LastErrorDesc();
    EXPECT_EQ(reader_.LastHTTPStatus(), 0);
    EXPECT_EQ(reader_.LastHTTPStatusText(), "");
    EXPECT_TRUE(reader_.FeedItems()->empty());
  }
}

}  // namespace
