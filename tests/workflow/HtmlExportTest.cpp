#include "HtmlExport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "ErrorGuard.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "UnwritableFolder.h"
#include "WorkflowFakes.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

class HtmlExportTest : public ::testing::Test {
 protected:
  HtmlExportTest() { field_.text = folder_.FieldText(); }

  void AddRow(std::string address, bool ticked = true, std::string title = "T",
              std::string description = "D", std::string link = "L") {
    results_.rows.push_back({std::move(address), std::move(title), std::move(description),
                             std::move(link), ticked});
  }

  // The names of everything in the folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  std::string Content(const std::string& name) const { return TempFolder::Read(folder_.Path() / name); }

  // Saves, returning the paths of the files the export told as written whole.
  Texts Save() {
    Texts written;
    HtmlExport exporter(results_, field_, pointer_, dialogs_);
    exporter.OnFileWritten([&](const std::string& path) { written.push_back(path); });
    exporter.Save();
    return written;
  }

  TempFolder folder_;
  VectorResultsList results_;
  PlainFolderField field_;
  RecordingPointer pointer_;
  ScriptedDialogs dialogs_;
};

TEST_F(HtmlExportTest, NothingToWriteIsSaidAndNothingIsWritten) {
  const std::string file = folder_.Write("plain.txt", "x");
  const std::string noFolder = "Folder does not exist. Please select another folder.";
  const struct {
    const char* label;
    int rows;
    bool ticked;
    std::string field;
    std::string message;
  } cases[] = {
      // Checked before the folder is looked at.
      {"no rows", 0, false, "", "No URL results to save."},
      {"empty field", 1, true, "", noFolder},
      {"a file", 1, true, file, noFolder},
      {"a missing folder", 1, true, folder_.FieldText() + "missing/", noFolder},
      {"no ticked row", 2, false, folder_.FieldText(), "Done."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    results_.rows.clear();
    dialogs_.messages.clear();
    for (int i = 0; i < c.rows; ++i) AddRow("http://a", c.ticked);
    field_.text = c.field;
    EXPECT_TRUE(Save().empty());
    EXPECT_EQ(dialogs_.MessageTexts(), Texts{c.message});
    EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
  }
  EXPECT_EQ(Names(), std::set<std::string>{"plain.txt"});
  // The pointer is only made busy once there are rows to go through.
  EXPECT_EQ(pointer_.history, (std::vector<int>{11, 11, 0}));
}

TEST_F(HtmlExportTest, NamesComeFromTheAddressAndACounterOfTickedRows) {
  AddRow("feeds/news.rss?id=7", true, "first");
  AddRow("://?");
  AddRow("http://a/y.rss", false);
  AddRow("http://ex.com/a_b-c d/caf\xC3\xA9\xE4\xB8\xAD.rss:8080\\x");
  AddRow("feeds/news.rss?id=7", true, "second");
  // The field ends with "/", as the folder chooser leaves it; the paths have one separator.
  const std::string folder = folder_.Path().string() + "/";
  EXPECT_EQ(Save(), (Texts{folder + "feedsnewsrssid71.html", folder + "2.html",
                           folder + "httpexcomab-c dcafrss8080x3.html",
                           folder + "feedsnewsrssid74.html"}));
  EXPECT_EQ(Names(), (std::set<std::string>{"feedsnewsrssid71.html", "2.html",
                                            "httpexcomab-c dcafrss8080x3.html",
                                            "feedsnewsrssid74.html"}));
  EXPECT_EQ(Content("feedsnewsrssid71.html").substr(0, 5), "first");
  EXPECT_EQ(Content("feedsnewsrssid74.html").substr(0, 6), "second");
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
  // Busy for every row, ticked or not, then back to the default.
  EXPECT_EQ(pointer_.history, (std::vector<int>{11, 11, 11, 11, 11, 0}));
}

TEST_F(HtmlExportTest, SecondSavePassesOverTheNamesOfTheFirst) {
  AddRow("http://a", true, "one");
  AddRow("http://a", true, "two");
  Save();
  results_.rows[0].title = "three";
  results_.rows[1].title = "four";
  Save();
  EXPECT_EQ(Names(), (std::set<std::string>{"httpa1.html", "httpa2.html", "httpa3.html",
                                            "httpa4.html"}));
  EXPECT_EQ(Content("httpa1.html").substr(0, 3), "one");
  EXPECT_EQ(Content("httpa2.html").substr(0, 3), "two");
  EXPECT_EQ(Content("httpa3.html").substr(0, 5), "three");
  EXPECT_EQ(Content("httpa4.html").substr(0, 4), "four");
}

TEST_F(HtmlExportTest, StemIsCutToTwoHundredFileNameCharacters) {
  // The punctuation is filtered first, then the cut is made.
  std::string address;
  for (int i = 0; i < 250; ++i) address += std::string(1, static_cast<char>('a' + i % 26)) + ".";
  AddRow(address);
  Save();
  std::string stem;
  for (int i = 0; i < 200; ++i) stem += static_cast<char>('a' + i % 26);
  EXPECT_EQ(Names(), std::set<std::string>{stem + "1.html"});
}

TEST_F(HtmlExportTest, FileBytesAreTitleDescriptionLinkWithCrLf) {
  struct Case {
    const char* label;
    std::string title, description, link, expected;
  };
  const std::vector<Case> cases = {
      {"plain", "Title", "Body", "http://l", "Title\r\n\r\nBody\r\n\r\nhttp://l\r\n"},
      {"all empty: ten bytes", "", "", "", "\r\n\r\n\r\n\r\n\r\n"},
      {"line breaks in the description unchanged", "T", "one\ntwo\r\nthree\r", "L",
       "T\r\n\r\none\ntwo\r\nthree\r\r\n\r\nL\r\n"},
      {"any script written whole", "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1",
       "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x99\x82", "http://x/\xD0\xB6",
       "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1\r\n\r\n\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x99\x82"
       "\r\n\r\nhttp://x/\xD0\xB6\r\n"},
      {"markup-looking text written as it is", "<b>&amp;</b>", "a < b", "",
       "<b>&amp;</b>\r\n\r\na < b\r\n\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    results_.rows.clear();
    AddRow("http://a", true, c.title, c.description, c.link);
    Save();
    EXPECT_EQ(Content("httpa1.html"), c.expected);
    fs::remove(folder_.Path() / "httpa1.html");
    EXPECT_EQ(HtmlFileContent(c.title, c.description, c.link), c.expected);
  }
}

TEST_F(HtmlExportTest, TakenNamesAreLeftUntouchedAndPassedOver) {
  // httpa1: an ordinary file; httpa2: a folder; httpa3: a link to a file outside the folder;
  // httpa4: a dangling link; httpa5: a link to a folder. The first row must land on httpa6.
  TempFolder outside;
  const std::string target = outside.Write("target.txt", "precious");
  folder_.Write("httpa1.html", "existing");
  fs::create_directory(folder_.Path() / "httpa2.html");
  fs::create_symlink(target, folder_.Path() / "httpa3.html");
  fs::create_symlink(outside.Path() / "not-there.txt", folder_.Path() / "httpa4.html");
  fs::create_directory_symlink(outside.Path(), folder_.Path() / "httpa5.html");

  AddRow("http://a", true, "new");
  AddRow("http://b", true, "other");
  Save();

  EXPECT_EQ(Content("httpa1.html"), "existing");
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder_.Path() / "httpa2.html")));
  EXPECT_TRUE(fs::is_empty(folder_.Path() / "httpa2.html"));
  EXPECT_EQ(TempFolder::Read(target), "precious");
  EXPECT_TRUE(fs::is_symlink(folder_.Path() / "httpa3.html"));
  EXPECT_FALSE(fs::exists(outside.Path() / "not-there.txt"));
  EXPECT_TRUE(fs::is_symlink(folder_.Path() / "httpa4.html"));
  EXPECT_EQ(Content("httpa6.html"), "new\r\n\r\nD\r\n\r\nL\r\n");
  // The counter is shared by the whole save: the next row goes on from 7.
  EXPECT_EQ(Content("httpb7.html"), "other\r\n\r\nD\r\n\r\nL\r\n");
  EXPECT_EQ(Names(), (std::set<std::string>{"httpa1.html", "httpa2.html", "httpa3.html",
                                            "httpa4.html", "httpa5.html", "httpa6.html",
                                            "httpb7.html"}));
  EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(outside.Path()), {}).size(), 1u);
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
}

TEST_F(HtmlExportTest, UnwritableFolderIsReportedOnceAndNothingIsLost) {
  TempFolder scratch;
  const std::string folder = UnwritableFolder(scratch);
  if (folder.empty()) GTEST_SKIP() << "no folder here refuses new files to this user";
  field_.text = folder;
  AddRow("http://a", true, "kept");
  AddRow("http://b", false);
  AddRow("http://c");
  const auto rowsBefore = results_.rows;
  Save();

  const std::vector<VectorResultsList::Row> rowsAfter = results_.rows;
  EXPECT_EQ(rowsAfter, rowsBefore);
  EXPECT_FALSE(fs::exists(fs::path(folder) / "httpa1.html"));
  EXPECT_FALSE(fs::exists(fs::path(folder) / "httpc2.html"));
  // The first file's creation fails (130), and every later one would fail alike: one report.
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].title, "Application Error");
  EXPECT_EQ(dialogs_.messages[0].text.rfind(folder + "httpa1.html: ", 0), 0u)
      << dialogs_.messages[0].text;
  EXPECT_NE(dialogs_.messages[0].text.find("PushButton3_Click at line 130"), std::string::npos)
      << dialogs_.messages[0].text;
  EXPECT_EQ(dialogs_.messages[1].text, "Done.");
  EXPECT_EQ(pointer_.value, BusyPointer::kDefault);
}

TEST_F(HtmlExportTest, FolderRemovedDuringTheSaveStopsItWithOneReport) {
  for (const char* address : {"http://a", "http://b", "http://c", "http://d"}) AddRow(address);
  // While the third row is looked at, the folder goes away with the files already in it.
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "IsChecked" && ++calls == 3) fs::remove_all(folder_.Path());
  };
  EXPECT_EQ(Save().size(), 2u);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text,
            ErrorReportText(folder_.Path().string() + "/httpc3.html: No such file or directory",
                            "PushButton3_Click", 130));
  EXPECT_EQ(dialogs_.messages[1].text, "Done.");
  EXPECT_EQ(calls, 3) << "the rows after the failure are not tried";
  EXPECT_EQ(pointer_.value, BusyPointer::kDefault);
  EXPECT_FALSE(fs::exists(folder_.Path()));
}

TEST_F(HtmlExportTest, FolderReplacedByALinkDuringTheSaveStillGetsEveryFile) {
  for (const char* address : {"http://a", "http://b", "http://c"}) AddRow(address);
  // While the second row is looked at, the folder is moved aside and a link to another folder
  // takes its path.
  TempFolder elsewhere;
  const fs::path moved = folder_.Path().string() + "-moved";
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member != "IsChecked" || ++calls != 2) return;
    fs::rename(folder_.Path(), moved);
    fs::create_directory_symlink(elsewhere.Path(), folder_.Path());
  };
  Save();
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Done."});
  EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
  fs::remove(folder_.Path());
  fs::rename(moved, folder_.Path());
  EXPECT_EQ(Names(), (std::set<std::string>{"httpa1.html", "httpb2.html", "httpc3.html"}));
}

TEST_F(HtmlExportTest, FileThatCannotBeWrittenWholeIsRemovedAndTheSaveGoesOn) {
  // A file-size limit makes writes fail for root too; SIGXFSZ would otherwise end the process.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);

  AddRow("http://a", true, "long enough");
  AddRow("http://b", true, "");
  const Texts written = Save();

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  // One report per row (a size limit is no reason to stop), and neither half-written file
  // stays.
  auto report = [&](const std::string& name) {
    return ErrorReportText(folder_.Path().string() + "/" + name + ": File too large",
                           "PushButton3_Click", 136);
  };
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{report("httpa1.html"), report("httpb2.html"), "Done."}));
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(Names().empty());
}

TEST_F(HtmlExportTest, UnreadableTickSkipsTheRowWithStep114) {
  AddRow("http://a");
  AddRow("http://b");
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "IsChecked" && ++calls == 1) throw std::runtime_error("Tick unreadable");
  };
  Save();
  EXPECT_EQ(Names(), std::set<std::string>{"httpb1.html"});
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{ErrorReportText("Tick unreadable", "PushButton3_Click", 114), "Done."}));
}

TEST_F(HtmlExportTest, UnreadableCellLeavesNoFileAndIsReportedWithStep136) {
  AddRow("http://a");
  AddRow("http://c");
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "SubItem" && ++calls == 1) throw std::runtime_error("Cell unreadable");
  };
  // The file left incomplete is removed, and its number stays used.
  EXPECT_EQ(Save(), Texts{folder_.Path().string() + "/httpc2.html"});
  EXPECT_EQ(Names(), std::set<std::string>{"httpc2.html"});
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{ErrorReportText("Cell unreadable", "PushButton3_Click", 136), "Done."}));
}

}  // namespace
