// The small commands of the URL list and the results list. The list calls they make do not fail
// in the window: only the loader's failures are reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppInfo.h"
#include "ErrorGuard.h"
#include "ResultsCommands.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "UrlListCommands.h"
#include "WorkflowFakes.h"

namespace {

using Rows = std::vector<std::string>;

class UrlListCommandsTest : public ::testing::Test {
 protected:
  VectorUrlList list_;
  ScriptedDialogs dialogs_;
  CountingEvents events_;
  RecordingPointer pointer_;
  RunState run_;
  UrlListCommands commands_{list_, dialogs_, events_, pointer_, run_};
};

// The address as typed; an empty answer adds nothing; the samples come in pairs; Help's contact.
TEST_F(UrlListCommandsTest, AddUrlSamplesHelpClearAndRemove) {
  for (const char* answer : {" http://feeds.example/a.rss ", ""}) dialogs_.AnswerPrompt(answer);
  commands_.AddUrl();
  commands_.AddUrl();
  commands_.LoadSamples();
  commands_.LoadSamples();
  commands_.Help();
  EXPECT_EQ(dialogs_.prompts[0],
            (Rows{"Enter website address to add: ", "Feedwright", UrlListCommands::kDefaultAddress}));
  const Rows pair = {UrlListCommands::kSampleBreakingNews, UrlListCommands::kSampleEarth};
  EXPECT_EQ(list_.rows, (Rows{" http://feeds.example/a.rss ", pair[0], pair[1], pair[0], pair[1]}));
  EXPECT_EQ(dialogs_.MessageTexts(),
            Rows{"Questions? Please contact Team Quillmark at " + std::string(AppInfo::kContactPage)});
  // Clear is held back during a run; removal needs a selected row and no busy pointer.
  list_.rows = {"a", "b", "c"};
  run_.running = true;
  commands_.Clear();
  commands_.RemoveSelected();
  list_.selected = 1;
  pointer_.value = BusyPointer::kBusy;
  commands_.RemoveSelected();
  EXPECT_EQ(list_.rows, (Rows{"a", "b", "c"}));
  pointer_.value = BusyPointer::kHand;
  commands_.RemoveSelected();
  EXPECT_EQ(list_.rows, (Rows{"a", "c"}));
  run_.running = false;
  commands_.Clear();
  EXPECT_TRUE(list_.rows.empty());
}

// One file is loaded; a failure of the loader (a folder or a device is refused, not read) carries
// the calling step. (Only a dialog that allowed several files could answer with two names.)
TEST_F(UrlListCommandsTest, LoadFromFileLoadsTheOneFileChosen) {
  TempFolder folder;
  const std::string file = folder.Write("a.txt", "http://a\r\nhttp://b\r\n");
  const struct {
    std::string answer;
    Rows rows, messages;
  } cases[] = {
      {file, {"http://a", "http://b"}, {}},
      {"", {}, {}},
      {"/nonexistent/urls.txt", {}, {"File not found"}},
      {folder.Path(), {}, {ErrorReportText(folder.Path().string() + ": Is a directory", "PushButton6_Click", 118)}},
      {"/dev/zero", {}, {ErrorReportText("/dev/zero: Invalid argument", "PushButton6_Click", 118)}},
  };
  for (const auto& c : cases) {
    list_.rows.clear();
    dialogs_.messages.clear();
    dialogs_.AnswerOpenFile(c.answer);
    commands_.LoadFromFile();
    EXPECT_EQ(list_.rows, c.rows) << c.answer;
    EXPECT_EQ(dialogs_.MessageTexts(), c.messages);
  }
  EXPECT_EQ(dialogs_.fileDialogs[0], (Rows{"Add File(s) - Use Ctrl & Shift to select multiple files",
                                           "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|OPML Files (*.opml)|*.opml"}));
}

// Every row, past what a 16-bit counter could count.
TEST(ResultsCommands, TickUntickAndClearEveryRow) {
  VectorResultsList results;
  ScriptedDialogs dialogs;
  ResultsCommands commands(results, dialogs);
  results.rows.assign(40000, {"http://a", "t", "d", "l", false});
  commands.CheckAll();
  EXPECT_TRUE(results.rows.front().checked && results.rows.back().checked);
  commands.UncheckAll();
  EXPECT_FALSE(results.rows.front().checked || results.rows.back().checked);
  commands.Clear();
  EXPECT_TRUE(results.rows.empty());
}

}  // namespace
