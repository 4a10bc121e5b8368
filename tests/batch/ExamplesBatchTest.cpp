// The demo of the run command, in this process: the example subscription list over the example
// feeds, served on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>

#include "BatchMode.h"
#include "JsonLinesReader.h"
#include "LoopbackServer.h"
#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

const fs::path kExamples = FEEDWRIGHT_EXAMPLES_DIR;

// The subscription list with the port of server in place of the one it was written for.
std::string SubscriptionsFor(const LoopbackServer& server) {
  std::string text = TempFolder::Read(kExamples / "subscriptions.opml");
  const std::string written = "127.0.0.1:8000";
  const std::string actual = "127.0.0.1:" + std::to_string(server.Port());
  for (std::size_t at = text.find(written); at != std::string::npos; at = text.find(written, at)) {
    text.replace(at, written.size(), actual);
  }
  return text;
}

TEST(ExamplesBatchTest, ExampleSubscriptionsGiveEveryExampleEntry) {
  LoopbackServer server;
  ASSERT_TRUE(server.Http().set_mount_point("/", (kExamples / "feeds").string()));
  server.Start();
  TempFolder scratch;
  const std::string opml = scratch.Write("subscriptions.opml", SubscriptionsFor(server));
  std::ostringstream out;
  std::ostringstream err;
  HttpOptions http;
  http.connectTimeout = std::chrono::milliseconds(2000);
  http.idleTimeout = std::chrono::milliseconds(2000);
  ASSERT_EQ(RunBatch({"--batch", opml, "--list"}, out, err, http), kBatchSuccess) << err.str();

  const auto objects = json_lines::Parse(out.str());
  ASSERT_TRUE(objects.has_value()) << out.str();
  ASSERT_EQ(objects->size(), 8u);
  // In the list's order: harbour, observatory, garden.
  EXPECT_EQ((*objects)[0].at("address"), server.Url("/harbour-news.rss"));
  EXPECT_EQ((*objects)[1].at("title"), "Café “Zur Mühle” reopens after renovation");
  EXPECT_EQ((*objects)[2].at("description"), "Visitors may climb the 142 steps on Saturday.");
  EXPECT_EQ((*objects)[4].at("title"), "Ο Δίας σε αντίθεση — Jupiter at opposition");
  EXPECT_EQ((*objects)[6].at("title"), "Winter jasmine — 迎春花");
  EXPECT_EQ((*objects)[7].at("address"), server.Url("/garden-journal.atom"));
  for (const json_lines::Object& object : *objects) {
    SCOPED_TRACE(object.at("title"));
    EXPECT_EQ(object.at("description").find('<'), std::string::npos);
    EXPECT_FALSE(object.at("link").empty());
  }
}

}  // namespace
