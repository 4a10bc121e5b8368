// The export's report of every file it wrote whole, which the batch mode counts.
#include "HtmlExport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "WorkflowFakes.h"

namespace {

using Texts = std::vector<std::string>;

class HtmlExportObserverTest : public ::testing::Test {
 protected:
  HtmlExportObserverTest() { field_.text = folder_.FieldText(); }

  void AddRow(std::string address, bool ticked) {
    results_.rows.push_back({std::move(address), "T", "D", "L", ticked});
  }

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

TEST_F(HtmlExportObserverTest, EveryFileWrittenIsToldWithItsPath) {
  AddRow("http://a", true);
  AddRow("http://b", false);
  AddRow("http://c", true);
  EXPECT_EQ(Save(), (Texts{field_.text + "/httpa1.html", field_.text + "/httpc2.html"}));
  EXPECT_EQ(TempFolder::Read(folder_.Path() / "httpc2.html"), "T\r\n\r\nD\r\n\r\nL\r\n");
}

TEST_F(HtmlExportObserverTest, FileLeftIncompleteIsNotTold) {
  AddRow("http://a", true);
  AddRow("http://c", true);
  int calls = 0;
  // The first row's cells cannot be read, so its file stays empty.
  results_.fail = [&](std::string_view member) {
    if (member == "SubItem" && ++calls == 1) throw std::runtime_error("Cell unreadable");
  };
  EXPECT_EQ(Save(), Texts{field_.text + "/httpc2.html"});
  EXPECT_EQ(TempFolder::Read(folder_.Path() / "httpa1.html"), "");
  EXPECT_EQ(dialogs_.MessageTexts().size(), 2u);
}

TEST_F(HtmlExportObserverTest, NothingToSaveTellsNothing) {
  EXPECT_TRUE(Save().empty());
  AddRow("http://a", false);
  EXPECT_TRUE(Save().empty());
  field_.text = (folder_.Path() / "missing").string();
  AddRow("http://b", true);
  EXPECT_TRUE(Save().empty());
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{"No URL results to save.", "Done.",
                   "Folder does not exist. Please select another folder."}));
}

}  // namespace
