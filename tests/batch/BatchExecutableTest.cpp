// The built program in batch mode, started as its own process with no display at all.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "JsonLinesReader.h"
#include "LoopbackServer.h"
#include "TempFolder.h"

#ifdef FEEDWRIGHT_EXECUTABLE

namespace {

struct Finished {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the program with args and without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM, so that
// a window could not open even if the program tried; killed after 30 seconds.
Finished RunProgram(const std::vector<std::string>& args, const TempFolder& scratch) {
  std::string command = "timeout -s KILL 30 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                        Quoted(FEEDWRIGHT_EXECUTABLE);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  const auto outPath = scratch.Path() / "stdout", errPath = scratch.Path() / "stderr";
  command += " >" + Quoted(outPath.string()) + " 2>" + Quoted(errPath.string()) + " </dev/null";
  const int wstatus = std::system(command.c_str());
  return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, TempFolder::Read(outPath),
          TempFolder::Read(errPath)};
}

TEST(BatchExecutableTest, ListsAndFailsWithTheRightStatusesWithoutADisplay) {
  LoopbackServer server;
  server.Http().Get("/feed.rss", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(R"(<rss version="2.0"><channel><item><title>Ünïcode "one"</title>)"
                         R"(<description>&lt;b&gt;bold&lt;/b&gt;</description>)"
                         R"(<link>http://a/1</link></item></channel></rss>)",
                         "application/rss+xml");
  });
  server.Start();
  TempFolder scratch;
  Finished finished = RunProgram({"--version"}, scratch);
  EXPECT_EQ(finished.status, 0) << finished.err;
  EXPECT_EQ(finished.out, "Feedwright 0.1.0\n");
  EXPECT_EQ(finished.err, "");

  const std::string good = scratch.Write("good.txt", server.Url("/feed.rss") + "\r\n");
  finished = RunProgram({"--batch", good, "--list"}, scratch);
  EXPECT_EQ(finished.status, 0) << finished.err;
  const auto objects = json_lines::Parse(finished.out);
  ASSERT_TRUE(objects.has_value()) << finished.out;
  EXPECT_EQ(*objects, (std::vector<json_lines::Object>{{{"address", server.Url("/feed.rss")},
                                                        {"title", "Ünïcode \"one\""},
                                                        {"description", "bold"},
                                                        {"link", "http://a/1"}}}));

  const std::string mixed = scratch.Write(
      "mixed.txt", server.Url("/feed.rss") + "\r\n" + server.Url("/nothing-here") + "\r\n");
  finished = RunProgram({"--batch", mixed, "--list"}, scratch);
  EXPECT_EQ(finished.status, 1) << finished.err;
  EXPECT_NE(finished.err.find("  [2/2] " + server.Url("/nothing-here") + ": HTTP 404"),
            std::string::npos)
      << finished.err;

  finished = RunProgram({"--batch", good}, scratch);
  EXPECT_EQ(finished.status, 2);
  EXPECT_EQ(finished.out, "");
  EXPECT_NE(finished.err.find("--out DIR or --list"), std::string::npos) << finished.err;
}

}  // namespace

#endif
