// The batch mode: its whole job as the built program without any display, against a loopback
// server; and what it answers before reading any feed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BatchMode.h"
#include "BatchReport.h"
#include "LoopbackServer.h"
#include "TempFolder.h"
#include "UnwritableFolder.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

#ifdef FEEDWRIGHT_EXECUTABLE

struct Finished {
  int status = -1;
  std::string out;
  Texts err;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the program without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM, so that a window could
// not open even if it tried, keeping its answers in the scratch folder; killed after 30 seconds.
// A closed standard output refuses the listing.
Finished RunProgram(const Texts& args, const TempFolder& scratch, bool closedOut = false) {
  std::string command = "timeout -s KILL 30 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CACHE_HOME=" +
                        Quoted(scratch.Path() / "cache") + " XDG_DATA_HOME=" + Quoted(scratch.Path() / "data") + " " +
                        Quoted(FEEDWRIGHT_EXECUTABLE);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  const fs::path out = scratch.Path() / "stdout", err = scratch.Path() / "stderr";
  command += (closedOut ? " >&-" : " >" + Quoted(out)) + " 2>" + Quoted(err) + " </dev/null";
  fs::remove(out);
  const int status = std::system(command.c_str());
  Finished finished{WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempFolder::Read(out), {}};
  std::istringstream lines(TempFolder::Read(err));
  for (std::string line; std::getline(lines, line);) finished.err.push_back(line);
  return finished;
}

// The keys after the first four for an entry that gives nothing but its content, in a feed that
// gives its title and link or not.
std::string OnlyContent(const std::string& content, const std::string& feed = R"({"title":"","link":""})") {
  return R"(,"id":"","published":"","updated":"","author":"","content":")" + content +
         R"(","categories":[],"enclosures":[],"feed":)" + feed + "}";
}

// One JSON Lines object of the listing; its feed is the address given unless a page announced one.
std::string Json(const std::string& address, const std::string& title, const std::string& description,
                 const std::string& link, std::string more = OnlyContent(""), const std::string& feed = {}) {
  const std::size_t object = more.rfind(R"("feed":{)") + 8;
  more.insert(object, R"("address":")" + (feed.empty() ? address : feed) + "\",");
  return "{\"address\":\"" + address + "\",\"title\":\"" + title + "\",\"description\":\"" + description +
         "\",\"link\":\"" + link + "\"" + more + "\n";
}

TEST(BatchModeTest, ListsAndSavesEveryFeedWithoutADisplay) {
  std::atomic<bool> stop{false};
  std::atomic<int> serving{0}, mostServed{0};  // until the first run stops, each feed is held a moment
  LoopbackServer server;
  const auto serve = [&](const std::string& path, int status, const std::string& items) {
    server.Http().Get(path, [&, status, items](const httplib::Request&, httplib::Response& response) {
      if (!stop) {
        mostServed = std::max(mostServed.load(), ++serving);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        --serving;
      }
      response.status = status;
      response.set_content("<rss version=\"2.0\"><channel>" + items + "</channel></rss>", "application/rss+xml");
    });
  };
  serve("/harbour.rss", 200,
        "<title>Harbour</title><link>http://h.example/</link><item><guid>h1</guid>"
        "<pubDate>Mon, 06 Sep 2021 16:45:00 +0200</pubDate><author>Ann</author><category>Boats</category>"
        "<enclosure url='http://h.example/1.mp3' type='audio/mpeg' length='42'/><title>Say \"hi\" \\ back\ttab — 迎春花</title><link>http://h.example/1?a=1&amp;b=2</link><description>"
        "&lt;p&gt;Crème &lt;b&gt;brûlée&lt;/b&gt;&lt;/p&gt;</description></item>"
        "<item><title>Two</title><description><![CDATA[line one\nline two]]></description></item>");
  // A feed served with a 404 still gives its rows.
  serve("/gone.rss", 404, "<item><title>Gone</title></item>");
  // More than one of the blocks standard output gets (256 KiB): 400 entries of about 1 KB.
  std::string longItems;
  for (int n = 0; n < 400; ++n) {
    longItems += "<item><title>" + std::to_string(n) + "</title><description>" +
                 std::string(1000, static_cast<char>('a' + n % 26)) + "</description></item>";
  }
  serve("/long.rss", 200, longItems);
  // A blog's page that announces its feed, and one that announces none.
  for (const char* path : {"/blog/", "/plain.html"}) {
    server.Http().Get(path, [path](const httplib::Request&, httplib::Response& response) {
      const std::string head = path[1] == 'b' ? "<link rel=alternate type=application/rss+xml href=../gone.rss>" : "";
      response.set_content("<!DOCTYPE html><html><head>" + head + "</head><body>Hi</body></html>", "text/html");
    });
  }
  // One byte every 50 ms for ever: only the deadline ends it.
  server.Http().Get("/drip.rss", [&](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/rss+xml", [&](size_t, httplib::DataSink& sink) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return !stop && sink.write("<", 1);
    });
  });
  server.Start();
  TempFolder scratch;
  const std::string harbour = server.Url("/harbour.rss"), gone = server.Url("/gone.rss"),
                    longFeed = server.Url("/long.rss"), drip = server.Url("/drip.rss");

  const std::string urls = scratch.Write("urls.txt", harbour + "\r\n" + gone + "\n" + longFeed + "\n" + drip);
  Finished finished = RunProgram({"--list", "--batch", urls, "--timeout", "1", "--jobs", "2"}, scratch);
  stop = true;
  EXPECT_EQ(finished.status, 1);
  EXPECT_LE(mostServed, 2) << "--jobs 2";
  const std::string harbourFeed = R"({"title":"Harbour","link":"http://h.example/"})";
  std::string listing =
      Json(harbour, "Say \\\"hi\\\" \\\\ back\\ttab — 迎春花", "Crème brûlée", "http://h.example/1?a=1&b=2",
           R"(,"id":"h1","published":"2021-09-06T14:45:00Z","updated":"","author":"Ann",)"
           R"("content":"<p>Crème <b>brûlée</b></p>","categories":["Boats"],)"
           R"("enclosures":[{"url":"http://h.example/1.mp3","type":"audio/mpeg","length":42}],"feed":)" +
               harbourFeed + "}") +
      Json(harbour, "Two", "line one\\nline two", "", OnlyContent("line one\\nline two", harbourFeed)) +
      Json(gone, "Gone", "", "");
  for (int n = 0; n < 400; ++n) {
    const std::string text(1000, static_cast<char>('a' + n % 26));
    listing += Json(longFeed, std::to_string(n), text, "", OnlyContent(text));
  }
  EXPECT_TRUE(finished.out == listing) << "the listing is not the rows, in order, one object a line";
  // Standard error is a file here, not a terminal: no progress lines, only the summary.
  ASSERT_EQ(finished.err.size(), 6u);
  EXPECT_EQ(Texts(finished.err.begin(), finished.err.begin() + 4),
            (Texts{"Feeds read: 2 of 4", "Rows: 403", "Files written: 0", "Failed feeds: 2"}));
  // The reasons are passed on; the deadline is the one --timeout gave.
  EXPECT_EQ(finished.err[4].rfind("  [2/4] " + gone + ": HTTP 404", 0), 0u) << finished.err[4];
  EXPECT_EQ(finished.err[5].rfind("  [4/4] " + drip + ": ", 0), 0u) << finished.err[5];
  EXPECT_NE(finished.err[5].find("within 1 second"), std::string::npos) << finished.err[5];

  // A run keeps at most --max-rows rows: the feed that reaches the ceiling keeps its first
  // entries, and the feeds after it are not read.
  const std::string capped = scratch.Write("capped.txt", harbour + "\n" + longFeed + "\n" + harbour);
  finished = RunProgram({"--list", "--batch", capped, "--max-rows", "3"}, scratch);
  EXPECT_EQ(finished.status, 1);
  EXPECT_EQ(finished.out.substr(finished.out.rfind("\n{\"address\"") + 1),
            Json(longFeed, "0", std::string(1000, 'a'), "", OnlyContent(std::string(1000, 'a'))));
  std::string errors;
  for (const std::string& line : finished.err) errors += line + "\n";
  EXPECT_NE(errors.find("Rows: 3\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("[2/3] " + longFeed + ": Only the first 1 of its 400 entries were kept"), std::string::npos);
  EXPECT_NE(errors.find("[3/3] " + harbour + ": Not read: the run already holds 3 rows"), std::string::npos);
  const std::size_t shown = errors.find("The results list holds 3 rows, the most one run keeps");
  EXPECT_NE(shown, std::string::npos) << errors;
  EXPECT_EQ(shown, errors.rfind("The results list holds 3 rows"));

  // A page is read through the feed it announces: the listing names both, the summary the reason
  // of a page that announces none.
  const std::string blog = server.Url("/blog/"), plain = server.Url("/plain.html");
  finished = RunProgram({"--list", "--batch", scratch.Write("pages.txt", blog + "\n" + plain)}, scratch);
  EXPECT_EQ(finished.status, 1);
  EXPECT_EQ(finished.out, Json(blog, "Gone", "", "", OnlyContent(""), gone));
  ASSERT_FALSE(finished.err.empty());
  EXPECT_EQ(finished.err.back(), "  [2/2] " + plain + ": The page announces no feed (HTTP 200 OK)");

  // Saving into a folder that already holds the first name, which is never overwritten.
  const std::string out = scratch.Path() / "out", one = scratch.Write("one.txt", harbour);
  const std::string stem = out + "/http127001" + std::to_string(server.Port()) + "harbourrss";
  fs::create_directory(out);
  std::ofstream(stem + "1.html") << "mine";
  finished = RunProgram({"--batch=" + one, "--out=" + out, "--jobs=64", "--timeout=86400"}, scratch);
  EXPECT_EQ(finished.status, 0);
  EXPECT_EQ(TempFolder::Read(stem + "1.html"), "mine");
  EXPECT_EQ(TempFolder::Read(stem + "2.html"),
            "Say \"hi\" \\ back\ttab — 迎春花\r\n\r\nCrème brûlée\r\n\r\nhttp://h.example/1?a=1&amp;b=2\r\n");
  EXPECT_TRUE(fs::exists(stem + "3.html"));
  EXPECT_EQ(finished.err.at(finished.err.size() - 2), "Files written: 2");

  // Each format, named by a template: subfolders by host (the feed's own when an entry has no
  // link), the extension from the format.
  const struct {
    std::string format, first, second;
  } formats[] = {
      {"html", "<h1>Say &quot;hi&quot; \\ back\ttab — 迎春花</h1>",
       "<p><a href=\"http://h.example/1?a=1&amp;b=2\">http://h.example/1?a=1&amp;b=2</a></p>"},
      {"markdown", "---\ntitle: \"Say \\\"hi\\\" \\\\ back\\ttab — 迎春花\"\nlink: \"http://h.example/1?a=1&b=2\"\n",
       "Crème"},
      {"json", "\"title\": \"Say \\\"hi\\\" \\\\ back\\ttab — 迎春花\"", "\"link\": \"http://h.example/1?a=1&b=2\""},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(f.format);
    const fs::path folder = scratch.Path() / f.format;
    fs::create_directory(folder);
    finished = RunProgram({"--batch", one, "--out", folder, "--format", f.format, "--name", "{host}/{n}"}, scratch);
    EXPECT_EQ(finished.status, 0);
    const std::string extension = f.format == "html" ? ".html" : f.format == "markdown" ? ".md" : ".json";
    const std::string first = TempFolder::Read(folder / "h.example" / ("1" + extension));
    EXPECT_NE(first.find(f.first), std::string::npos) << first;
    EXPECT_NE(first.find(f.second), std::string::npos) << first;
    EXPECT_TRUE(fs::exists(folder / "127.0.0.1" / ("2" + extension)));
  }

  // A listing that standard output refuses is said, and fails the run.
  finished = RunProgram({"--batch", scratch.Write("two.txt", harbour + "\n" + longFeed), "--list"}, scratch, true);
  EXPECT_EQ(finished.status, 1);
  EXPECT_EQ(finished.err.at(0), "feedwright: the listing could not be written to standard output");

  // A folder that takes no files: the report is written once, the save stops, the status says so.
  const std::string unwritable = UnwritableFolder(scratch);
  if (unwritable.empty()) GTEST_SKIP() << "no folder here refuses new files to this user";
  finished = RunProgram({"--batch", one, "--out", unwritable, "--jobs", "1"}, scratch);
  EXPECT_EQ(finished.status, 1);
  // The error report without its request for a screenshot; "Done." is left out.
  ASSERT_EQ(finished.err.size(), 6u);
  EXPECT_EQ(finished.err[0].rfind("feedwright: Application Error: " + unwritable, 0), 0u) << finished.err[0];
  EXPECT_EQ(finished.err[1], "feedwright:   in Feedwright2017/04/05.Form1.PushButton3_Click at line 130");
  EXPECT_EQ(finished.err[4], "Files written: 0");
}

// A repeat run asks each feed only if it changed and lists the same rows from the kept answers;
// a feed that changed is sent whole again; --no-cache asks for every feed whole.
TEST(BatchModeTest, RepeatRunAsksOnlyIfChanged) {
  LoopbackServer server;
  std::atomic<int> entries{1}, full{0}, notModified{0};
  server.Http().Get("/feed(\\d).rss", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string tag = "\"" + request.matches[1].str() + "-" + std::to_string(entries.load()) + "\"";
    if (request.get_header_value("If-None-Match") == tag) {
      ++notModified;
      response.status = 304;
      return;
    }
    ++full;
    std::string items;
    for (int n = 0; n < entries; ++n) items += "<item><title>" + request.matches[1].str() + std::to_string(n) + "</title></item>";
    response.set_header("ETag", tag);
    response.set_content("<rss version=\"2.0\"><channel>" + items + "</channel></rss>", "application/rss+xml");
  });
  server.Start();
  TempFolder scratch;
  const std::string urls =
      scratch.Write("urls.txt", server.Url("/feed1.rss") + "\n" + server.Url("/feed2.rss") + "\n" + server.Url("/feed3.rss"));
  const Finished first = RunProgram({"--batch", urls, "--list"}, scratch);
  ASSERT_EQ(first.status, 0);
  ASSERT_EQ(full, 3);
  const Finished repeat = RunProgram({"--batch", urls, "--list"}, scratch);
  EXPECT_EQ(repeat.status, 0);
  EXPECT_EQ(repeat.out, first.out);
  EXPECT_EQ(notModified, 3);
  EXPECT_EQ(full, 3);
  ++entries;
  const Finished changed = RunProgram({"--batch", urls, "--list"}, scratch);
  EXPECT_EQ(full, 6);
  EXPECT_EQ(std::count(changed.out.begin(), changed.out.end(), '\n'), 6);
  RunProgram({"--batch", urls, "--list", "--no-cache"}, scratch);
  EXPECT_EQ(full, 9);
  EXPECT_EQ(notModified, 3);
}

// Saving only what is new: a first run saves every entry, a repeat run with --only-new (answered
// 304) writes nothing and lists nothing, one new entry per feed gives exactly one file per feed;
// --catch-up over a fresh folder writes nothing and leaves nothing new for --only-new.
TEST(BatchModeTest, OnlyNewSavesEachEntryOnce) {
  LoopbackServer server;
  std::atomic<int> entries{2}, notModified{0};
  server.Http().Get("/feed(\\d).rss", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string feed = request.matches[1].str(), tag = "\"" + std::to_string(entries.load()) + "\"";
    if (request.get_header_value("If-None-Match") == tag) {
      ++notModified;
      response.status = 304;
      return;
    }
    std::string items;
    // The second feed's entries have neither guid nor link: they are known by title and text.
    for (int n = 0; n < entries; ++n) {
      const std::string id = feed + "-" + std::to_string(n);
      items += "<item><title>" + id + "</title>" +
               (feed == "2" ? "<description>d</description>" : "<link>http://e/" + id + "</link>") + "</item>";
    }
    response.set_header("ETag", tag);
    response.set_content("<rss version=\"2.0\"><channel>" + items + "</channel></rss>", "application/rss+xml");
  });
  server.Start();
  TempFolder scratch;
  const std::string urls = scratch.Write("urls.txt", server.Url("/feed1.rss") + "\n" + server.Url("/feed2.rss"));
  const std::string out = scratch.Path() / "out", old = scratch.Path() / "old";
  fs::create_directory(out);
  fs::create_directory(old);
  const auto files = [](const fs::path& folder) { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); };
  ASSERT_EQ(RunProgram({"--batch", urls, "--out", out, "--only-new"}, scratch).status, 0);
  EXPECT_EQ(files(out), 4);
  EXPECT_EQ(RunProgram({"--batch", urls, "--out", out, "--only-new"}, scratch).status, 0);
  EXPECT_EQ(notModified, 2);
  EXPECT_EQ(files(out), 4);
  EXPECT_EQ(RunProgram({"--batch", urls, "--list", "--out", out, "--only-new"}, scratch).out, "");
  ++entries;
  EXPECT_EQ(RunProgram({"--batch", urls, "--out", out, "--only-new"}, scratch).status, 0);
  EXPECT_EQ(files(out), 6);
  const Finished caughtUp = RunProgram({"--batch", urls, "--out", old, "--catch-up"}, scratch);
  EXPECT_EQ(caughtUp.status, 0);
  EXPECT_NE(std::find(caughtUp.err.begin(), caughtUp.err.end(), "Recorded as saved: 6"), caughtUp.err.end());
  EXPECT_EQ(RunProgram({"--batch", urls, "--out", old, "--only-new"}, scratch).status, 0);
  EXPECT_EQ(files(old), 0);
  // Without --only-new every entry is saved again.
  RunProgram({"--batch", urls, "--out", old}, scratch);
  EXPECT_EQ(files(old), 6);
}

// Stopped in the middle of a save of 4,000 files, by SIGKILL or by SIGTERM: every file under a
// name is whole, nothing else is left in the folder, and SIGTERM still gives the summary, which
// counts exactly the files there.
TEST(BatchModeTest, StoppedSaveLeavesOnlyWholeFiles) {
  constexpr int kItems = 4000;
  const std::string description(1000, 'd');
  std::string items;
  for (int n = 0; n < kItems; ++n) {
    items += "<item><title>" + std::to_string(n) + "</title><description>" + description + "</description></item>";
  }
  LoopbackServer server;
  server.Http().Get("/many.rss", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content("<rss version=\"2.0\"><channel>" + items + "</channel></rss>", "application/rss+xml");
  });
  server.Start();
  for (const int signal : {SIGKILL, SIGTERM}) {
    SCOPED_TRACE(signal);
    TempFolder scratch;
    const fs::path out = scratch.Path() / "out";
    fs::create_directory(out);
    const std::string urls = scratch.Write("urls.txt", server.Url("/many.rss"));
    const std::string err = (scratch.Path() / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = FEEDWRIGHT_EXECUTABLE, outArg = out.string();
    std::vector<char*> argv{program.data(), const_cast<char*>("--batch"), const_cast<char*>(urls.c_str()),
                            const_cast<char*>("--out"), outArg.data(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The signal goes as soon as the first files have names; the bound only stops a hung test.
    for (int waited = 0; waited < 30000 && fs::is_empty(out); ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    // Each file's number is its row's: no name was taken. Title, description, empty link.
    const std::string prefix = "http127001" + std::to_string(server.Port()) + "manyrss";
    long files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
      const std::string name = entry.path().filename().string();
      ASSERT_TRUE(name.starts_with(prefix) && name.ends_with(".html")) << name;
      const long number = std::stol(name.substr(prefix.size()));
      EXPECT_EQ(TempFolder::Read(entry.path()), std::to_string(number - 1) + "\r\n\r\n" + description + "\r\n\r\n\r\n")
          << name;
      ++files;
    }
    EXPECT_GT(files, 0);
    EXPECT_LT(files, kItems) << "the save ended before the signal";
    if (signal == SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      continue;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    const std::string summary = TempFolder::Read(err);
    EXPECT_TRUE(summary.starts_with("feedwright: stopped by SIGTERM; the rows after the last file written were not saved\n"
                                    "Feeds read: 1 of 1\nRows: " + std::to_string(kItems) + "\nFiles written: " +
                                    std::to_string(files) + "\n"))
        << summary;
  }
}


// Three enclosures of one entry fail on their own, each with its reason, and leave nothing under
// a name: one past the ceiling (sent without a length), one shorter than its length, one not on
// the web. The fine one lands beside the entry's file, passing over a name already taken.
TEST(BatchModeTest, EnclosuresSavedBesideTheirEntry) {
  const std::string fine(3000, 'f');
  LoopbackServer server;
  server.Http().Get("/fine.mp3", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(fine, "audio/mpeg");
  });
  server.Http().Get("/big", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("video/mp4", [](size_t offset, httplib::DataSink& sink) {
      return offset < 5000 && sink.write(std::string(1000, 'b').data(), 1000);
    });
  });
  // Announces 2000 bytes, sends 1000 and closes.
  server.Http().Get("/lying.ogg", [](const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(2000, "audio/ogg", [](size_t offset, size_t, httplib::DataSink& sink) {
      return offset == 0 && sink.write(std::string(1000, 'l').data(), 1000);
    });
  });
  server.Http().Get("/pod.rss", [&](const httplib::Request&, httplib::Response& response) {
    const std::string items = "<item><title>Episode</title><enclosure url='" + server.Url("/fine.mp3") +
                              "' type='audio/mpeg'/><enclosure url='" + server.Url("/big") +
                              "' type='video/mp4'/><enclosure url='" + server.Url("/lying.ogg") +
                              "'/><enclosure url='ftp://127.0.0.1/x.mp3'/></item>";
    response.set_content("<rss version=\"2.0\"><channel>" + items + "</channel></rss>", "application/rss+xml");
  });
  server.Start();
  TempFolder scratch;
  const fs::path out = scratch.Path() / "out";
  fs::create_directory(out);
  const std::string stem = "http127001" + std::to_string(server.Port()) + "podrss1";
  std::ofstream(out / (stem + ".mp3")) << "mine";
  std::ostringstream listing, err;
  ASSERT_EQ(RunBatch({"--batch", scratch.Write("urls.txt", server.Url("/pod.rss")), "--out", out.string(),
                      "--enclosures", "--enclosure-max-bytes=4K"},
                     listing, err),
            kBatchFailed)
      << err.str();

  Texts names;
  for (const fs::directory_entry& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Texts{stem + "-2.mp3", stem + ".html", stem + ".mp3"}));
  EXPECT_EQ(TempFolder::Read(out / (stem + ".mp3")), "mine");
  EXPECT_EQ(TempFolder::Read(out / (stem + "-2.mp3")), fine);
  const std::string report = err.str();
  EXPECT_NE(report.find("Files written: 1\nFailed feeds: 0\nEnclosures saved: 1\nFailed enclosures: 3\n"
                        "  [entry 1] " + server.Url("/big") + ": The response is larger than 4 KiB: "),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("  [entry 1] " + server.Url("/lying.ogg") +
                        ": The connection closed before the whole response arrived from "),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("  [entry 1] ftp://127.0.0.1/x.mp3: Only http and https addresses can be downloaded: "),
            std::string::npos)
      << report;
}
#endif

// Without any feed read: usage, a missing folder or an unusable URL file end with 2; an empty URL
// file is no failure; an address that is none fails, its control characters shown, not sent.
// --archive reaches the run, and the summary names the walk that went round in a loop.
TEST(BatchModeTest, ArchiveWalkEndsWithANote) {
  LoopbackServer server;
  server.Http().Get(R"(/(\d)\.rss)", [](const httplib::Request& request, httplib::Response& response) {
    const std::string n = request.matches[1], next = n == "1" ? "2" : "1";
    response.set_content("<rss version=\"2.0\"><channel><link xmlns=\"http://www.w3.org/2005/Atom\" rel=\"next\" "
                         "href=\"" + next + ".rss\"/><item><title>" + n + "</title></item></channel></rss>",
                         "application/rss+xml");
  });
  server.Start();
  TempFolder scratch;
  const std::string feed = server.Url("/1.rss");
  std::ostringstream out, err;
  EXPECT_EQ(RunBatch({"--batch", scratch.Write("urls.txt", feed), "--list", "--archive"}, out, err), kBatchSuccess);
  const std::string listing = out.str();
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 2);
  EXPECT_TRUE(err.str().ends_with("Archive notes: 1\n  [1/1] " + feed +
                                  ": The archive walk ended after page 2: it links back to page 1, " + feed + "\n"))
      << err.str();
}

TEST(BatchModeTest, AnswersBeforeAnyFeedIsRead) {
  TempFolder scratch;
  const std::string urls = scratch.Write("urls.txt", "x\x1B]0;x\x07\r\n"), folder = scratch.Path();
  const std::string missing = folder + "/missing", jobs = "option --jobs needs a whole number from 1 to 64";
  const std::string help = "\nTry 'feedwright --help' for more information.\n";
  const struct {
    Texts args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--help", "--bogus"}, 0, "Usage: feedwright", ""},
      {{"-h"}, 0, "Usage: feedwright", ""},
      {{}, 2, "", "feedwright: --batch URLFILE is missing" + help},
      {{"--batch", "u"}, 2, "", "feedwright: --batch needs either --out DIR or --list" + help},
      {{"--batch", "u", "--list", "--out", "d"}, 2, "", "feedwright: --out and --list cannot be used together" + help},
      // A value is not taken from the option behind it.
      {{"--batch", "--list"}, 2, "", "feedwright: option --batch needs a URL file" + help},
      {{"--batch", "", "--list"}, 2, "", "feedwright: option --batch needs a URL file" + help},
      {{"--list", "--batch="}, 2, "", "feedwright: option --batch needs a URL file" + help},
      {{"--batch", "u", "--out"}, 2, "", "feedwright: option --out needs a folder" + help},
      {{"--batch", "u", "--batch", "v", "--list"}, 2, "", "feedwright: option --batch given more than once" + help},
      {{"--batch", "u", "--list", "--list"}, 2, "", "feedwright: option --list given more than once" + help},
      {{"--batch", "u", "--jobs=1", "--jobs=2"}, 2, "", "feedwright: option --jobs given more than once" + help},
      {{"--batch", "u", "--list=yes"}, 2, "", "feedwright: option --list takes no value" + help},
      {{"--batch", "u", "--out", "d", "--format", "pdf"}, 2, "",
       "feedwright: option --format needs one of text, html, markdown, json" + help},
      {{"--batch", "u", "--list", "--format=json"}, 2, "", "feedwright: --format and --name go with --out, not --list" + help},
      {{"--batch", "u", "--out", "d", "--name", "../{n}"}, 2, "",
       "feedwright: a name template cannot have a part \"..\"" + help},
      {{"--help=me"}, 2, "", "feedwright: option --help takes no value" + help},
      {{"--batch", "u", "--out", "d", "--enclosure-max-bytes", "2G"}, 2, "",
       "feedwright: --enclosure-max-bytes goes with --enclosures" + help},
      {{"--batch", "u", "--list", "--enclosures"}, 2, "",
       "feedwright: --enclosures saves files: it goes with --out, not --list or --catch-up" + help},
      {{"--batch", "u", "--out", "d", "--enclosures", "--enclosure-max-bytes=1T"}, 2, "",
       "feedwright: option --enclosure-max-bytes needs a number of bytes from 1 to 1024G, with K, M or G for KiB, "
       "MiB or GiB" + help},
      {{"--batch", "u", "--list", "--only-new"}, 2, "", "feedwright: --only-new and --catch-up need --out DIR" + help},
      {{"--batch", "u", "--out", "d", "--catch-up", "--only-new"}, 2, "",
       "feedwright: --only-new and --catch-up cannot be used together" + help},
      {{"--batch", "u", "--list", "-q"}, 2, "", "feedwright: unknown option -q" + help},
      {{"urls.txt"}, 2, "", "feedwright: unexpected argument urls.txt" + help},
      {{"--batch", "u", "--list", "--jobs", "0"}, 2, "", "feedwright: " + jobs + help},
      {{"--batch", "u", "--list", "--jobs=65"}, 2, "", "feedwright: " + jobs + help},
      {{"--batch", "u", "--list", "--jobs"}, 2, "", "feedwright: " + jobs + help},
      {{"--batch", "u", "--list", "--timeout=1.5"}, 2, "",
       "feedwright: option --timeout needs a whole number of seconds from 1 to 86400" + help},
      {{"--batch", "u", "--list", "--archive-pages", "5"}, 2, "", "feedwright: --archive-pages goes with --archive" + help},
      {{"--batch", "u", "--list", "--archive", "--archive-pages=1000001"}, 2, "",
       "feedwright: option --archive-pages needs a whole number from 1 to 1000000" + help},
      {{"--batch", "u", "--list", "--archive=yes"}, 2, "", "feedwright: option --archive takes no value" + help},
      {{"--batch", urls, "--out", missing}, 2, "", "feedwright: the output folder does not exist: " + missing + help},
      {{"--batch", missing, "--list"}, 2, "", "feedwright: the URL file does not exist: " + missing + help},
      {{"--batch", folder, "--list"}, 2, "", "feedwright: cannot read the URL file: " + folder + ": Is a directory\n"},
      {{"--batch", scratch.Write("broken.opml", "<opml>"), "--list"}, 2, "",
       "feedwright: The file looks like an OPML subscription list but cannot be read: Start-end tags mismatch at line "
       "1. No addresses were added.\n"},
      {{"--batch", scratch.Write("empty.txt", ""), "--out", folder}, 0, "",
       "feedwright: No URLs added.\nfeedwright: No URL results to save.\nFeeds read: 0 of 0\nRows: 0\n"
       "Files written: 0\nFailed feeds: 0\n"},
      {{"--batch", urls, "--list"}, 1, "",
       "Feeds read: 0 of 1\nRows: 0\nFiles written: 0\nFailed feeds: 1\n  [1/1] x\\x1B]0;x\\x07: "},
      // Quiet: the failures alone.
      {{"--batch", urls, "--list", "--quiet"}, 1, "", "feedwright: [1/1] x\\x1B]0;x\\x07: "},
  };
  for (const auto& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunBatch(c.args, out, err), c.status) << c.err;
    EXPECT_EQ(out.str().rfind(c.out, 0), 0u) << c.err;
    // Whole, but for the failed feed's reason, which the feed engine words.
    EXPECT_EQ(c.status == 1 ? err.str().substr(0, c.err.size()) : err.str(), c.err);
  }
  // The summary lists the first 1,000 failed feeds and counts the rest.
  std::string many;
  for (int n = 0; n < 1001; ++n) many += "x" + std::to_string(n) + "\n";
  std::ostringstream out, err;
  EXPECT_EQ(RunBatch({"--batch", scratch.Write("many.txt", many), "--list"}, out, err), kBatchFailed);
  const std::string summary = err.str().substr(err.str().find("Feeds read: "));
  EXPECT_EQ(summary.rfind("Feeds read: 0 of 1001\nRows: 0\nFiles written: 0\nFailed feeds: 1001\n  [1/1001] x0: ", 0),
            0u);
  EXPECT_EQ(summary.find("[1001/1001]"), std::string::npos);
  EXPECT_NE(summary.find("\n  [1000/1001] x999: "), std::string::npos);
  EXPECT_TRUE(summary.ends_with("\n  ... and 1 more failed feeds\n"));
  // The archive notes likewise.
  std::ostringstream notes;
  BatchReport report(notes, false);
  FeedOutcome ended;
  ended.read = true;
  ended.archiveNote = "ended";
  for (ended.row = 0; ended.row < 1001; ++ended.row) report.FeedFinished(ended);
  report.WriteSummary(0, 0);
  EXPECT_TRUE(notes.str().ends_with("] : ended\n  ... and 1 more\n")) << notes.str().substr(notes.str().size() - 60);
}

}  // namespace
