// The batch mode end to end, in this process, against a loopback server.
#include "BatchMode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HtmlExport.h"
#include "JsonLinesReader.h"
#include "LoopbackServer.h"
#include "RetrievalRun.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "TextDecoder.h"
#include "UnwritableFolder.h"
#include "UrlFileLoader.h"
#include "WorkflowFakes.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

const char* const kHarbour = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>H</title>
<item><title>Café “Zur Mühle” — 迎春花</title><description>&lt;p&gt;Crème &lt;b&gt;brûlée&lt;/b&gt;&lt;/p&gt;</description><link>http://h.example/1</link></item>
<item><title>Say "hi" \ back	tab</title><description><![CDATA[<i>line one</i>
line two]]></description><link>http://h.example/2?a=1&amp;b=2</link></item>
</channel></rss>)";

const char* const kSky = R"(<?xml version="1.0"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">
<channel rdf:about="http://s.example/"><title>S</title></channel>
<item rdf:about="http://s.example/j"><title>Ο Δίας σε αντίθεση</title><description>bright &amp; high</description><link>http://s.example/j</link></item>
</rdf:RDF>)";

const char* const kGarden = R"(<feed xmlns="http://www.w3.org/2005/Atom"><title>G</title>
<entry><title>Garlic</title><summary>Cloves &lt;em&gt;deep&lt;/em&gt;</summary><link href="http://g.example/garlic"/></entry>
</feed>)";

// A feed whose listing takes more than one of the blocks standard output gets (256 KiB): 400
// entries of about 1 KB each.
constexpr int kLongEntries = 400;

std::string LongText(int entry) { return std::string(1000, static_cast<char>('a' + entry % 26)); }

std::string LongFeed() {
  std::string feed = "<rss version=\"2.0\"><channel><title>L</title>";
  for (int entry = 0; entry < kLongEntries; ++entry) {
    const std::string n = std::to_string(entry);
    feed += "<item><title>Entry " + n + "</title><description>" + LongText(entry) +
            "</description><link>http://l.example/" + n + "</link></item>";
  }
  return feed + "</channel></rss>";
}

// What a row of the listing must hold.
json_lines::Object Entry(const std::string& address, const std::string& title,
                         const std::string& description, const std::string& link) {
  return {{"address", address}, {"title", title}, {"description", description}, {"link", link}};
}

class BatchModeTest : public ::testing::Test {
 protected:
  BatchModeTest() {
    Serve("/harbour.rss", 200, kHarbour, "application/rss+xml");
    Serve("/sky.rdf", 200, kSky, "application/rdf+xml");
    Serve("/garden.atom", 200, kGarden, "application/atom+xml");
    Serve("/page", 200, "<html><body><p>Not a feed<br></body></html>", "text/html");
    Serve("/missing.rss", 404, "<html><body>gone<br></body></html>", "text/html");
    Serve("/long.rss", 200, LongFeed(), "application/rss+xml");
    // One byte every 50 ms for ever: only the deadline ends it.
    server_.Http().Get("/drip.rss", [this](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider("application/rss+xml", [this](size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return !stopDrip_ && sink.write("<", 1);
      });
    });
    server_.Start();
    http_.connectTimeout = std::chrono::milliseconds(2000);
    http_.idleTimeout = std::chrono::milliseconds(2000);
    out_ = scratch_.Path() / "out";
    fs::create_directory(out_);
  }

  ~BatchModeTest() override {
    stopDrip_ = true;
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

  // A URL file of the given addresses, CR LF after each.
  std::string UrlFile(const Texts& addresses) {
    std::string bytes;
    for (const std::string& address : addresses) bytes += address + "\r\n";
    return scratch_.Write("urls.txt", bytes);
  }

  int Batch(const Texts& args) {
    out_text_.str("");
    err_text_.str("");
    return RunBatch(args, out_text_, err_text_, http_);
  }

  std::string Out() const { return out_text_.str(); }
  std::string Err() const { return err_text_.str(); }

  // The lines of standard error.
  Texts ErrLines() const {
    Texts lines;
    std::istringstream in(Err());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
      files[entry.path().filename().string()] = TempFolder::Read(entry.path());
    }
    return files;
  }

  // The file-name stem of an address of the loopback server.
  std::string Stem(const std::string& path) const {
    return "http127001" + std::to_string(server_.Port()) + path;
  }

  LoopbackServer server_;
  std::atomic<bool> stopDrip_{false};
  std::map<std::string, std::atomic<int>> hits_;
  HttpOptions http_;
  TempFolder scratch_;
  fs::path out_;
  std::ostringstream out_text_;
  std::ostringstream err_text_;
};

TEST_F(BatchModeTest, SavesWhatTheWindowsExportSavesForTheSameRows) {
  const std::string urls = UrlFile({Url("/harbour.rss"), Url("/sky.rdf"), Url("/garden.atom"),
                                    Url("/harbour.rss")});
  ASSERT_EQ(Batch({"--batch", urls, "--out", out_.string()}), kBatchSuccess) << Err();
  EXPECT_EQ(Out(), "");

  // The window's way: the same file, run and export, with its own stand-ins.
  VectorUrlList windowUrls;
  VectorResultsList windowResults;
  RecordingProgress progress;
  RecordingPointer pointer;
  CountingEvents events;
  ScriptedDialogs dialogs;
  RunState state;
  RetrievalOptions options;
  options.http = http_;
  options.closingWaitSeconds = 0;
  ASSERT_EQ(LoadUrlFile(windowUrls, urls, dialogs, events), UrlFileLoad::kLoaded);
  RetrievalRun(windowUrls, windowResults, progress, pointer, events, dialogs, state, options)
      .Start();
  TempFolder windowFolder;
  PlainFolderField field;
  field.text = windowFolder.FieldText();
  HtmlExport(windowResults, field, pointer, dialogs).Save();
  EXPECT_EQ(dialogs.MessageTexts(), (Texts{"Done.", "Done."}));

  const auto batchFiles = Files(out_);
  EXPECT_EQ(batchFiles, Files(windowFolder.Path()));
  std::set<std::string> names;
  for (const auto& [name, bytes] : batchFiles) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{
                       Stem("harbourrss") + "1.html", Stem("harbourrss") + "2.html",
                       Stem("skyrdf") + "3.html", Stem("gardenatom") + "4.html",
                       Stem("harbourrss") + "5.html", Stem("harbourrss") + "6.html"}));
  EXPECT_EQ(batchFiles.at(Stem("harbourrss") + "1.html"),
            "Café “Zur Mühle” — 迎春花\r\n\r\nCrème brûlée\r\n\r\nhttp://h.example/1\r\n");
  EXPECT_EQ(batchFiles.at(Stem("gardenatom") + "4.html"),
            "Garlic\r\n\r\nCloves deep\r\n\r\nhttp://g.example/garlic\r\n");

  const Texts lines = ErrLines();
  ASSERT_EQ(lines.size(), 8u) << Err();
  EXPECT_EQ(lines[0], "[1/4] " + Url("/harbour.rss"));
  EXPECT_EQ(lines[3], "[4/4] " + Url("/harbour.rss"));
  EXPECT_EQ(Texts(lines.begin() + 4, lines.end()),
            (Texts{"Feeds read: 4 of 4", "Rows: 6", "Files written: 6", "Failed feeds: 0"}));
}

TEST_F(BatchModeTest, ListWritesOneJsonObjectPerRowWithTheExactTexts) {
  const std::string urls = UrlFile({Url("/harbour.rss"), Url("/sky.rdf"), Url("/garden.atom")});
  ASSERT_EQ(Batch({"--batch", urls, "--list"}), kBatchSuccess) << Err();
  EXPECT_TRUE(IsValidUtf8(Out()));
  const auto objects = json_lines::Parse(Out());
  ASSERT_TRUE(objects.has_value()) << Out();
  const std::vector<json_lines::Object> expected = {
      Entry(Url("/harbour.rss"), "Café “Zur Mühle” — 迎春花", "Crème brûlée", "http://h.example/1"),
      Entry(Url("/harbour.rss"), "Say \"hi\" \\ back\ttab", "line one\nline two",
            "http://h.example/2?a=1&b=2"),
      Entry(Url("/sky.rdf"), "Ο Δίας σε αντίθεση", "bright & high", "http://s.example/j"),
      Entry(Url("/garden.atom"), "Garlic", "Cloves deep", "http://g.example/garlic"),
  };
  EXPECT_EQ(*objects, expected);
  // The keys in the stated order, one object per line.
  const std::string lastLine = "{\"address\":\"" + Url("/garden.atom") +
                               "\",\"title\":\"Garlic\",\"description\":\"Cloves deep\","
                               "\"link\":\"http://g.example/garlic\"}\n";
  ASSERT_GE(Out().size(), lastLine.size());
  EXPECT_EQ(Out().substr(Out().size() - lastLine.size()), lastLine);
  // Escaped as JSON; the reader refuses \u sequences for non-ASCII text, which stays UTF-8.
  EXPECT_NE(Out().find("\"title\":\"Say \\\"hi\\\" \\\\ back\\ttab\""), std::string::npos) << Out();
  EXPECT_TRUE(fs::is_empty(out_));
  const Texts lines = ErrLines();
  ASSERT_EQ(lines.size(), 7u) << Err();
  EXPECT_EQ(Texts(lines.begin() + 3, lines.end()),
            (Texts{"Feeds read: 3 of 3", "Rows: 4", "Files written: 0", "Failed feeds: 0"}));
}

TEST_F(BatchModeTest, ListingOfManyBlocksComesOutWholeAndInOrder) {
  ASSERT_EQ(Batch({"--batch", UrlFile({Url("/long.rss"), Url("/garden.atom")}), "--list"}), kBatchSuccess) << Err();
  std::string expected;
  for (int entry = 0; entry < kLongEntries; ++entry) {
    const std::string n = std::to_string(entry);
    expected += "{\"address\":\"" + Url("/long.rss") + "\",\"title\":\"Entry " + n + "\",\"description\":\"" +
                LongText(entry) + "\",\"link\":\"http://l.example/" + n + "\"}\n";
  }
  expected += "{\"address\":\"" + Url("/garden.atom") +
              "\",\"title\":\"Garlic\",\"description\":\"Cloves deep\",\"link\":\"http://g.example/garlic\"}\n";
  ASSERT_GT(expected.size(), 256u * 1024u) << "the listing must take more than one block";
  const std::string out = Out();
  EXPECT_EQ(out.size(), expected.size());
  const auto differ = std::mismatch(out.begin(), out.end(), expected.begin(), expected.end());
  EXPECT_TRUE(differ.first == out.end() && differ.second == expected.end())
      << "the listing differs from byte " << (differ.first - out.begin()) << " on";
}

TEST_F(BatchModeTest, FailingFeedsAreListedAndTheOthersStillSaved) {
  const std::string refused = "http://127.0.0.1:1/refused.rss";
  const std::string urls = UrlFile({Url("/harbour.rss"), Url("/missing.rss"), Url("/page"),
                                    refused, Url("/garden.atom"), Url("/drip.rss")});
  ASSERT_EQ(Batch({"--batch", urls, "--out", out_.string(), "--timeout", "1"}), kBatchFailed) << Err();
  EXPECT_EQ(Files(out_).size(), 3u);
  EXPECT_TRUE(fs::exists(out_ / (Stem("gardenatom") + "3.html")));

  const Texts lines = ErrLines();
  ASSERT_EQ(lines.size(), 6u + 4u + 4u) << Err();
  EXPECT_EQ(Texts(lines.begin(), lines.begin() + 6),
            (Texts{"[1/6] " + Url("/harbour.rss"), "[2/6] " + Url("/missing.rss"),
                   "[3/6] " + Url("/page"), "[4/6] " + refused, "[5/6] " + Url("/garden.atom"),
                   "[6/6] " + Url("/drip.rss")}));
  EXPECT_EQ(Texts(lines.begin() + 6, lines.begin() + 10),
            (Texts{"Feeds read: 2 of 6", "Rows: 3", "Files written: 3", "Failed feeds: 4"}));
  EXPECT_EQ(lines[10], "  [2/6] " + Url("/missing.rss") + ": HTTP 404 Not Found");
  EXPECT_EQ(lines[11], "  [3/6] " + Url("/page") +
                           ": The response is not an RSS, RDF or Atom feed with entries (HTTP 200 OK)");
  // The reader's own words for a refused connection, with no HTTP status.
  EXPECT_EQ(lines[12].rfind("  [4/6] " + refused + ": ", 0), 0u) << lines[12];
  EXPECT_NE(lines[12].find("onnect"), std::string::npos) << lines[12];
  EXPECT_EQ(lines[12].find("HTTP"), std::string::npos) << lines[12];
  EXPECT_EQ(lines[13], "  [6/6] " + Url("/drip.rss") + ": No complete answer within 1 second from " + Url("/drip.rss"));
}

TEST_F(BatchModeTest, BadUsageEndsWithTwoBeforeAnyFeedIsRead) {
  const std::string urls = UrlFile({Url("/garden.atom")});
  const std::string aFile = scratch_.Write("a-file", "x");
  const std::string missingUrls = (scratch_.Path() / "no-such-list.txt").string();
  const std::string missingFolder = (scratch_.Path() / "no-such-folder").string();
  struct Case {
    const char* label;
    Texts args;
    std::string message;
  };
  const std::vector<Case> cases = {
      // One refusal of the parser, for the form of the message; the reasons are its own tests'.
      {"no mode", {"--batch", urls}, "--batch needs either --out DIR or --list"},
      {"missing folder", {"--batch", urls, "--out", missingFolder},
       "the output folder does not exist: " + missingFolder},
      {"folder is a file", {"--batch", urls, "--out", aFile},
       "the output folder does not exist: " + aFile},
      {"missing URL file", {"--batch", missingUrls, "--list"},
       "the URL file does not exist: " + missingUrls},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Batch(c.args), kBatchUsage);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Err(), "feedwright: " + c.message +
                         "\nTry 'feedwright --help' for more information.\n");
  }
  EXPECT_EQ(hits_["/garden.atom"], 0);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(BatchModeTest, UnusableUrlFileEndsWithTwo) {
  struct Case {
    const char* label;
    std::string path;
    std::string firstLine;
  };
  fs::create_directory(scratch_.Path() / "a-folder");
  const std::vector<Case> cases = {
      {"broken OPML",
       scratch_.Write("broken.opml", "<opml><body><outline xmlUrl=\"" + Url("/garden.atom") + "\">"),
       "feedwright: The file looks like an OPML subscription list but cannot be read: "},
      {"a folder", (scratch_.Path() / "a-folder").string(),
       "feedwright: cannot read the URL file: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Batch({"--batch", c.path, "--out", out_.string()}), kBatchUsage);
    EXPECT_EQ(Err().rfind(c.firstLine, 0), 0u) << Err();
    EXPECT_EQ(ErrLines().size(), 1u) << Err();
  }
  EXPECT_EQ(hits_["/garden.atom"], 0);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(BatchModeTest, EmptyUrlFileSaysSoAndSucceeds) {
  const std::string urls = scratch_.Write("empty.txt", "");
  EXPECT_EQ(Batch({"--batch", urls, "--out", out_.string()}), kBatchSuccess);
  EXPECT_EQ(ErrLines(), (Texts{"feedwright: No URLs added.", "feedwright: No URL results to save.",
                               "Feeds read: 0 of 0", "Rows: 0", "Files written: 0",
                               "Failed feeds: 0"}));
}

TEST_F(BatchModeTest, UnwritableFolderIsReportedAndEndsWithOne) {
  const std::string folder = UnwritableFolder(scratch_);
  if (folder.empty()) GTEST_SKIP() << "no folder here refuses new files to this user";
  const std::string urls = UrlFile({Url("/garden.atom")});
  EXPECT_EQ(Batch({"--batch", urls, "--out", folder}), kBatchFailed);
  EXPECT_NE(Err().find("feedwright: Application Error: "), std::string::npos) << Err();
  EXPECT_NE(Err().find("PushButton3_Click at line 130"), std::string::npos) << Err();
  EXPECT_NE(Err().find("Files written: 0\nFailed feeds: 0\n"), std::string::npos) << Err();
}

TEST_F(BatchModeTest, ListingThatCannotBeWrittenEndsWithOne) {
  const std::string urls = UrlFile({Url("/garden.atom")});
  std::ostringstream refusing;
  refusing.setstate(std::ios::badbit);
  std::ostringstream err;
  EXPECT_EQ(RunBatch({"--batch", urls, "--list"}, refusing, err, http_), kBatchFailed);
  EXPECT_NE(err.str().find("feedwright: the listing could not be written to standard output\n"),
            std::string::npos)
      << err.str();
}

TEST_F(BatchModeTest, ControlCharactersInAddressesNeverReachTheTerminal) {
  const std::string urls = scratch_.Write("urls.txt", "http://127.0.0.1:1/\x1B]0;x\x07\r\n");
  EXPECT_EQ(Batch({"--batch", urls, "--list"}), kBatchFailed);
  EXPECT_EQ(Err().find('\x1B'), std::string::npos);
  EXPECT_EQ(Err().find('\x07'), std::string::npos);
  EXPECT_EQ(ErrLines()[0], "[1/1] http://127.0.0.1:1/\\x1B]0;x\\x07");
}

TEST(BatchModeOptionsTest, HelpGoesToStandardOutput) {
  for (const Texts& args : {Texts{"--help"}, Texts{"-h"}, Texts{"--batch", "x", "--help"}}) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunBatch(args, out, err), kBatchSuccess);
    EXPECT_EQ(out.str().rfind("Usage: feedwright", 0), 0u);
    EXPECT_NE(out.str().find("--batch URLFILE --out DIR"), std::string::npos);
    EXPECT_NE(out.str().find("Exit status"), std::string::npos);
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
