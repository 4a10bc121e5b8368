// The export: names and bytes of the files, names taken, the folder opened once, failed writes.
#include "HtmlExport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "ErrorGuard.h"
#include "ExclusiveFile.h"
#include "FolderHandle.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "WorkflowFakes.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

class HtmlExportTest : public ::testing::Test {
 protected:
  HtmlExportTest() { field_.text = folder_.FieldText(); }

  void AddRows(const Texts& addresses, bool ticked = true) {
    for (const std::string& address : addresses) results_.rows.push_back({address, "T", "D", "L", ticked});
  }
  // Saves; the paths of the files the export told as written whole.
  Texts Save() {
    Texts written;
    dialogs_.messages.clear();
    HtmlExport exporter(results_, field_, pointer_, dialogs_);
    exporter.OnFileWritten([&](int64_t, const std::string& path) { written.push_back(path); });
    exporter.Save();
    return written;
  }
  static long Entries(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  }
  std::string Report(const std::string& name, const std::string& error, int step) const {
    return ErrorReportText(field_.text + name + ": " + error, "PushButton3_Click", step);
  }

  TempFolder folder_;
  VectorResultsList results_;
  PlainFolderField field_;
  RecordingPointer pointer_;
  ScriptedDialogs dialogs_;
};

// No rows is said before the folder is looked at; then a field that names no folder; no ticked
// row writes nothing. Only rows to go through make the pointer busy.
TEST_F(HtmlExportTest, NothingToWriteIsSaidAndNothingIsWritten) {
  const std::string noFolder = "Folder does not exist. Please select another folder.";
  const struct {
    int rows;
    std::string field, message;
  } cases[] = {{0, "", "No URL results to save."},
               {1, folder_.Write("plain.txt", "x"), noFolder},
               {1, folder_.FieldText(), "Done."}};
  for (const auto& c : cases) {
    results_.rows.clear();
    AddRows(Texts(c.rows, "http://a"), c.message != "Done.");
    field_.text = c.field;
    EXPECT_TRUE(Save().empty());
    EXPECT_EQ(dialogs_.MessageTexts(), Texts{c.message});
  }
  EXPECT_EQ(Entries(folder_.Path()), 1);
  EXPECT_EQ(pointer_.history, (std::vector<int>{11, 0}));
}

// A name is the address cleaned, cut to 200 characters and numbered by a counter of the names
// tried; the bytes are title, description and link with CR LF; the path has one separator.
TEST_F(HtmlExportTest, NamesAndBytesOfEveryTickedRow) {
  std::string longAddress, stem200;
  for (int i = 0; i < 250; ++i) longAddress += std::string(1, static_cast<char>('a' + i % 26)) + ".";
  for (int i = 0; i < 200; ++i) stem200 += static_cast<char>('a' + i % 26);
  results_.rows = {{"feeds/news.rss?id=7", "first", "one\ntwo\r\nthree", "http://l", true}, {"://?", "", "", "", true}};
  AddRows({"http://a/y.rss"}, false);
  AddRows({"http://ex.com/a_b-c d/caf\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x99\x82\xFF.rss:8080\\x", longAddress,
           "feeds/news.rss?id=7"});
  const std::string at = field_.text;
  EXPECT_EQ(Save(), (Texts{at + "feedsnewsrssid71.html", at + "2.html", at + "httpexcomab-c dcafrss8080x3.html",
                           at + stem200 + "4.html", at + "feedsnewsrssid75.html"}));
  EXPECT_EQ(TempFolder::Read(at + "feedsnewsrssid71.html"), "first\r\n\r\none\ntwo\r\nthree\r\n\r\nhttp://l\r\n");
  EXPECT_EQ(TempFolder::Read(at + "2.html"), "\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(pointer_.history, (std::vector<int>{11, 11, 11, 11, 11, 11, 0}));
}

TEST_F(HtmlExportTest, TakenNamesAreLeftUntouchedAndLinksNeverFollowed) {
  // httpa1: a file; httpa2: a folder; httpa3: a link to a file outside; httpa4: a dangling link;
  // httpa5: a link to a folder. The row lands on httpa6.
  TempFolder outside;
  const std::string target = outside.Write("target.txt", "precious");
  folder_.Write("httpa1.html", "existing");
  fs::create_directory(folder_.Path() / "httpa2.html");
  fs::create_symlink(target, folder_.Path() / "httpa3.html");
  fs::create_symlink(outside.Path() / "not-there.txt", folder_.Path() / "httpa4.html");
  fs::create_directory_symlink(outside.Path(), folder_.Path() / "httpa5.html");
  AddRows({"http://a"});
  EXPECT_EQ(Save(), Texts{field_.text + "httpa6.html"});
  EXPECT_EQ(TempFolder::Read(folder_.Path() / "httpa1.html"), "existing");
  EXPECT_TRUE(fs::is_empty(folder_.Path() / "httpa2.html"));
  EXPECT_EQ(TempFolder::Read(target), "precious");
  EXPECT_EQ(Entries(outside.Path()), 1);
}

// A named file is removed only while its name still holds it: a file put there since stays. A
// failure is forgotten by the next file made.
TEST_F(HtmlExportTest, RemovingANamedFileLeavesWhatReplacedIt) {
  FolderHandle folder;
  ASSERT_TRUE(folder.Open(folder_.Path().string()));
  ExclusiveFile file;
  for (const bool replaced : {false, true}) {
    ASSERT_TRUE(file.Create(folder) && !file.Error() && file.Write("mine"));
    ASSERT_EQ(file.Name(folder, "a.txt"), ExclusiveFile::Outcome::kNamed);
    if (replaced) fs::rename(folder_.Write("b.txt", "theirs"), folder_.Path() / "a.txt");
    file.Remove();
    EXPECT_EQ(fs::exists(folder_.Path() / "a.txt"), replaced);
    EXPECT_EQ(file.Name(folder, "c.txt"), ExclusiveFile::Outcome::kFailed) << "no file is open";
  }
}

// The folder is opened once: a folder replaced by a link during the save still gets every file;
// one that is gone stops the save with one report (one that takes no files: see the batch mode).
TEST_F(HtmlExportTest, FolderIsOpenedOnceForTheWholeSave) {
  AddRows({"http://a", "http://b", "http://c"});
  TempFolder elsewhere, aside;
  const fs::path moved = aside.Path() / "moved";
  // Runs while the second row is looked at, after one file was written.
  std::function<void()> meanwhile = [&] {
    fs::rename(folder_.Path(), moved);
    fs::create_directory_symlink(elsewhere.Path(), folder_.Path());
  };
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "IsChecked" && ++calls == 2) meanwhile();
  };
  EXPECT_EQ(Save().size(), 3u);
  EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
  EXPECT_EQ(Entries(moved), 3);
  fs::remove(folder_.Path());
  fs::create_directory(folder_.Path());

  meanwhile = [&] { fs::remove_all(folder_.Path()); };
  calls = 0;
  // The first file, written but not yet named, cannot be named in a folder that is gone.
  EXPECT_EQ(Save().size(), 0u);
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{Report("", "Operation not permitted", 130),
                                            Report("httpa1.html", "No such file or directory", 130), "Done."}));
  EXPECT_EQ(calls, 2) << "the rows after the failure are not tried";
}

// A file left incomplete never gets a name; its failure is reported once (it has no name to tell
// it from the next), and the save goes on: a size limit is no reason to stop. The limit makes writes fail for root too; SIGXFSZ would otherwise end the process.
TEST_F(HtmlExportTest, FileThatCannotBeWrittenWholeIsRemoved) {
  AddRows({"http://a", "http://b"});
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const Texts written = Save();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{Report("", "File too large", 136), "Done."}));
  EXPECT_EQ(Entries(folder_.Path()), 0);
}

}  // namespace
