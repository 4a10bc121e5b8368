// The kept answers and the servers' waits, through the download pool against a loopback server
// that answers 304 to its own ETag and counts what it sends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Component.h"
#include "DownloadPool.h"
#include "FakeClock.h"
#include "HttpCache.h"
#include "LoopbackServer.h"
#include "TempFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kFeed = "<rss version=\"2.0\"><channel><item><title>One</title></item></channel></rss>";

class HttpCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Http().Get("/feed.rss", [this](const httplib::Request& request, httplib::Response& response) {
      if (request.get_header_value("If-None-Match") == "\"v1\"") {
        ++notModified_;
        response.status = 304;
        return;
      }
      ++full_;
      response.set_header("ETag", "\"v1\"");
      response.set_content(kFeed, "application/rss+xml");
    });
    server_.Http().Get("/busy.rss", [this](const httplib::Request&, httplib::Response& response) {
      ++full_;
      response.status = 429;
      response.set_header("Retry-After", "3600");
    });
    server_.Start();
  }

  HttpResponse Fetch(HttpCache& cache, const std::string& path) {
    DownloadPool pool(HttpOptions{}, {}, clock_);
    pool.UseCache(std::shared_ptr<HttpCache>(&cache, [](HttpCache*) {}));
    return pool.Fetch(server_.Url(path), {}, {}, {});
  }

  FakeClock clock_;
  LoopbackServer server_;
  int full_ = 0;
  int notModified_ = 0;
};

// The one kept answer of a folder.
fs::path KeptFile(const fs::path& folder) { return fs::directory_iterator(folder)->path(); }

// Writes the file anew with edit's change to its bytes.
void Rewrite(const fs::path& file, const std::function<void(std::string&)>& edit) {
  std::string text = TempFolder::Read(file);
  edit(text);
  std::ofstream(file, std::ios::binary) << text;
}

// A kept answer is used only whole and unchanged; otherwise the feed is asked for in full, never
// failed: with the validators when they can still be read, then again without them.
TEST_F(HttpCacheTest, DamagedKeptBodyIsNotUsed) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> damage;
    int notModified, full;
  } rows[] = {
      {"intact", [](const fs::path&) {}, 1, 0},
      {"cut short", [](const fs::path& file) { fs::resize_file(file, fs::file_size(file) - 1); }, 1, 1},
      {"a byte changed", [](const fs::path& file) { std::fstream(file, std::ios::in | std::ios::out).seekp(-1, std::ios::end) << '?'; }, 1, 1},
      {"header broken", [](const fs::path& file) { std::ofstream(file, std::ios::binary) << "garbage\n\n"; }, 0, 1},
      {"no checksum", [](const fs::path& file) {
         Rewrite(file, [](std::string& text) { text.erase(text.find("checksum="), 26); }); }, 0, 1},
      {"another address's", [](const fs::path& file) {
         Rewrite(file, [](std::string& text) { text.insert(text.find("url=") + 4, "x"); }); }, 0, 1},
      {"removed", [](const fs::path& file) { fs::remove(file); }, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    HttpCache cache((folder.Path() / "cache").string(), clock_);
    ASSERT_EQ(Fetch(cache, "/feed.rss").body, kFeed);
    ASSERT_EQ(KeptFile(folder.Path() / "cache").extension(), ".body") << "an answer with an ETag is kept";
    EXPECT_EQ(fs::status(folder.Path() / "cache").permissions(), fs::perms::owner_all);
    row.damage(KeptFile(folder.Path() / "cache"));
    full_ = notModified_ = 0;
    const HttpResponse again = Fetch(cache, "/feed.rss");
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.body, kFeed);
    EXPECT_EQ(again.fromCache, row.full == 0);
    EXPECT_EQ(notModified_, row.notModified);
    EXPECT_EQ(full_, row.full);
  }
}

// A 429 with Retry-After fails with the wait in words; until it is over the server is not asked.
TEST_F(HttpCacheTest, RetryAfterIsHonouredUntilTheWaitIsOver) {
  TempFolder folder;
  HttpCache cache(folder.Path().string(), clock_);
  const auto failure = [&] {
    try {
      Fetch(cache, "/busy.rss");
    } catch (const ComponentError& error) {
      EXPECT_EQ(error.Code(), 1014);
      return std::string(error.what());
    }
    return std::string("no failure");
  };
  EXPECT_EQ(failure(), "The server asks to wait 3,600 seconds (HTTP 429 Too Many Requests)");
  // A wait kept under this address's name for another address is not this one's.
  Rewrite(KeptFile(folder.Path()), [](std::string& text) { text.replace(text.find("busy"), 4, "bus_"); });
  EXPECT_EQ(failure(), "The server asks to wait 3,600 seconds (HTTP 429 Too Many Requests)");
  clock_.SleepFor(600s);
  EXPECT_EQ(failure(), "Not asked again yet: the server asked to wait, 3,000 seconds more");
  EXPECT_EQ(full_, 2);
  clock_.SleepFor(3000s);
  failure();
  EXPECT_EQ(full_, 3);
}

TEST(HttpCache, RetryAfterReadsSecondsAndDates) {
  const Clock::WallTime now = FakeClock().WallNow();  // 2026-01-01 00:00:00 UTC
  EXPECT_EQ(ParseRetryAfter("120", now), 120s);
  EXPECT_EQ(ParseRetryAfter("Thu, 01 Jan 2026 01:00:00 GMT", now), 3600s);
  EXPECT_EQ(ParseRetryAfter("Wed, 31 Dec 2025 23:00:00 GMT", now), 0s);
  EXPECT_EQ(ParseRetryAfter("soon", now), std::nullopt);
  EXPECT_EQ(ParseRetryAfter("120s", now), std::nullopt);
}

// Past the ceiling, the answers used longest ago leave first; a cache that has not counted its
// folder yet counts it at its first store, and takes away temporary files left an hour ago.
// The user's cache folder: under XDG_CACHE_HOME when that is absolute, else under HOME, else none.
TEST(HttpCache, UserFolderFollowsTheBaseDirectoryRules) {
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/";
  const struct { const char *cacheHome, *home, *folder; } rows[] = {
      {"/x/cache", "/home/u", "/x/cache/feedwright"}, {"rel", "/home/u", "/home/u/.cache/feedwright"}, {nullptr, "rel", ""}};
  for (const auto& row : rows) {
    row.cacheHome ? setenv("XDG_CACHE_HOME", row.cacheHome, 1) : unsetenv("XDG_CACHE_HOME");
    setenv("HOME", row.home, 1);
    EXPECT_EQ(HttpCache::UserFolder(), row.folder);
  }
  setenv("HOME", home.c_str(), 1);
}

TEST(HttpCache, LeastRecentlyUsedLeaveFirst) {
  TempFolder folder;
  const FakeClock clock;
  HttpResponse answer;
  answer.status = 200, answer.etag = "\"e\"", answer.body = std::string(1000, 'x');
  HttpCache cache(folder.Path().string(), clock, 3500);
  for (const char* url : {"http://a/", "http://b/", "http://c/"}) {
    ASSERT_TRUE(cache.Store(url, answer));
    clock.SleepFor(1s);
  }
  ASSERT_TRUE(cache.Load("http://a/"));
  clock.SleepFor(1s);
  ASSERT_TRUE(cache.Store("http://d/", answer));
  EXPECT_FALSE(cache.Load("http://b/"));
  clock.SleepFor(1s);
  const fs::path left = folder.Path() / "left.tmp", writing = folder.Path() / "writing.tmp";
  std::ofstream(left) << "x", std::ofstream(writing) << "x";
  fs::last_write_time(left, fs::file_time_type::clock::from_sys(clock.WallNow() - 61min));
  ASSERT_TRUE(HttpCache(folder.Path().string(), clock, 3500).Store("http://e/", answer));
  EXPECT_TRUE(!fs::exists(left) && fs::exists(writing)) << "only the temporary file left an hour ago goes";
  EXPECT_TRUE(cache.Load("http://a/"));
  EXPECT_FALSE(cache.Load("http://c/"));
  EXPECT_TRUE(cache.Load("http://d/"));
  EXPECT_TRUE(cache.Load("http://e/"));
}

}  // namespace
