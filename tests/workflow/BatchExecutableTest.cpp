// The built program in batch mode, started as its own process with no display at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "JsonLinesReader.h"
#include "LoopbackServer.h"
#include "TempFolder.h"

extern char** environ;

#ifdef FEEDWRIGHT_EXECUTABLE

namespace {

struct Finished {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program with args and an environment without DISPLAY, WAYLAND_DISPLAY and
// QT_QPA_PLATFORM, so that a window could not open even if the program tried; its output goes
// to files in scratch. Gives up after 30 seconds.
Finished RunProgram(const std::vector<std::string>& args, const TempFolder& scratch) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        text.rfind("QT_QPA_PLATFORM=", 0) == 0) {
      continue;
    }
    environment.push_back(text);
  }
  std::vector<std::string> argv = {FEEDWRIGHT_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argvPointers;
  for (std::string& arg : argv) argvPointers.push_back(arg.data());
  argvPointers.push_back(nullptr);
  std::vector<char*> envPointers;
  for (std::string& entry : environment) envPointers.push_back(entry.data());
  envPointers.push_back(nullptr);

  const std::string outPath = (scratch.Path() / "stdout").string();
  const std::string errPath = (scratch.Path() / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  Finished finished;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
    return finished;
  }
  int wstatus = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      ADD_FAILURE() << "the program did not end within 30 seconds";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  finished.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  finished.out = TempFolder::Read(outPath);
  finished.err = TempFolder::Read(errPath);
  return finished;
}

TEST(BatchExecutableTest, VersionNeedsNoDisplay) {
  TempFolder scratch;
  const Finished finished = RunProgram({"--version"}, scratch);
  EXPECT_EQ(finished.status, 0) << finished.err;
  EXPECT_EQ(finished.out, "Feedwright 0.1.0\n");
  EXPECT_EQ(finished.err, "");
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
  const std::string good = scratch.Write("good.txt", server.Url("/feed.rss") + "\r\n");
  Finished finished = RunProgram({"--batch", good, "--list"}, scratch);
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
