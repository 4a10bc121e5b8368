// The download pool's bookkeeping against a loopback server: which transfer a fetch takes, and
// which prefetches it drops.
#include "DownloadPool.h"

#include <gtest/gtest.h>

#include <chrono>

#include "LoopbackServer.h"

namespace {

TEST(DownloadPool, FetchTakesTheOldestPrefetchOfItsAddressAndDropsThosePassedBy) {
  LoopbackServer server;
  server.Http().Get(R"(/(\w+))", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content(request.matches[1].str(), "text/plain");
  });
  server.Start();
  HttpOptions options;
  options.connectTimeout = std::chrono::seconds(2);
  options.idleTimeout = std::chrono::seconds(2);
  DownloadPool pool(options);
  for (const char* path : {"/a", "/b", "/a", "/c"}) EXPECT_TRUE(pool.Prefetch(server.Url(path)));
  EXPECT_FALSE(pool.Prefetch("not an address"));
  ASSERT_EQ(pool.Prefetched(), 4u);

  EXPECT_EQ(pool.Fetch(server.Url("/a"), {}, {}, nullptr).body, "a");
  EXPECT_EQ(pool.Prefetched(), 3u);
  // With credentials it is another request, which no prefetch answers.
  EXPECT_EQ(pool.Fetch(server.Url("/c"), {"user", "secret"}, {}, nullptr).body, "c");
  EXPECT_EQ(pool.Prefetched(), 3u);
  // Fetching c passes b and the second a by.
  EXPECT_EQ(pool.Fetch(server.Url("/c"), {}, {}, nullptr).body, "c");
  EXPECT_EQ(pool.Prefetched(), 0u);
  EXPECT_EQ(pool.Transfers(), 0u);
}

}  // namespace
