#include "UrlListCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ErrorGuard.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
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

TEST_F(UrlListCommandsTest, AddUrlPromptsAndAppendsTheAnswerUnchanged) {
  dialogs_.AnswerPrompt("  http://feeds.example/a.rss ");
  dialogs_.AnswerPrompt("  http://feeds.example/a.rss ");
  // An empty answer adds nothing.
  dialogs_.AnswerPrompt("");
  for (int i = 0; i < 3; ++i) commands_.AddUrl();
  ASSERT_EQ(dialogs_.prompts.size(), 3u);
  EXPECT_EQ(dialogs_.prompts[0],
            (Rows{"Enter website address to add: ", "Feedwright", UrlListCommands::kDefaultAddress}));
  EXPECT_EQ(list_.rows, (Rows{"  http://feeds.example/a.rss ", "  http://feeds.example/a.rss "}));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(UrlListCommandsTest, AddUrlFailureWhileAppendingReportsStep104) {
  list_.fail = FailAt("Append", "List refused");
  dialogs_.AnswerPrompt("http://x");
  commands_.AddUrl();
  EXPECT_TRUE(list_.rows.empty());
  EXPECT_EQ(dialogs_.MessageTexts(),
            Rows{ErrorReportText("List refused", "PushButton1_Click", 104)});
}

TEST_F(UrlListCommandsTest, LoadFromFileShowsTheDialogAndLoadsTheLines) {
  TempFolder folder;
  dialogs_.AnswerOpenFile(folder.Write("urls.txt", "http://a\r\nhttp://b\r\n"));
  commands_.LoadFromFile();
  ASSERT_EQ(dialogs_.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs_.fileDialogs[0],
            (Rows{"Add File(s) - Use Ctrl & Shift to select multiple files",
                  "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|OPML Files (*.opml)|*.opml"}));
  EXPECT_EQ(list_.rows, (Rows{"http://a", "http://b"}));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(UrlListCommandsTest, LoadFromFileAddsNothingWhenCancelledMissingOrSeveral) {
  TempFolder folder;
  const std::string first = folder.Write("a.txt", "http://a");
  const struct {
    std::string answer;
    Rows messages;
  } cases[] = {
      {"", {}},
      {"/nonexistent/urls.txt", {"File not found"}},
      {first + std::string(1, '\0') + "b.txt", {"Please select just one file."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    dialogs_.messages.clear();
    dialogs_.AnswerOpenFile(c.answer);
    commands_.LoadFromFile();
    EXPECT_TRUE(list_.rows.empty());
    EXPECT_EQ(dialogs_.MessageTexts(), c.messages);
    for (const auto& message : dialogs_.messages) EXPECT_EQ(message.title, "Feedwright");
  }
}

TEST_F(UrlListCommandsTest, LoaderFailureIsReportedWithTheCallingStep118) {
  TempFolder folder;
  dialogs_.AnswerOpenFile(folder.Path().string());  // a folder: exists, cannot be read as lines
  commands_.LoadFromFile();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].title, "Application Error");
  EXPECT_NE(dialogs_.messages[0].text.find("in Feedwright2017/04/05.Form1.PushButton6_Click at line 118"),
            std::string::npos)
      << dialogs_.messages[0].text;
}

TEST_F(UrlListCommandsTest, SamplesAppendThePairEachTimeAndAFailingAppendIsReportedWithStep102) {
  list_.rows = {"mine"};
  commands_.LoadSamples();
  commands_.LoadSamples();
  const Rows pair = {"http://news.feedwright.example/rss/breaking_news.rss",
                     "http://news.feedwright.example/rss/earth.rss"};
  EXPECT_EQ(list_.rows, (Rows{"mine", pair[0], pair[1], pair[0], pair[1]}));
  list_.fail = FailAt("Append", "List refused");
  commands_.LoadSamples();
  const std::string report = ErrorReportText("List refused", "PushButton9_Click", 102);
  // Both appends fail the same way in the same step: one report.
  EXPECT_EQ(dialogs_.MessageTexts(), Rows{report});
}

TEST_F(UrlListCommandsTest, ClearIsHeldBackDuringARunAndReportsFailureAtStep100) {
  list_.rows = {"a", "b"};
  run_.running = true;
  commands_.Clear();
  EXPECT_EQ(list_.rows, (Rows{"a", "b"}));
  run_.running = false;
  commands_.Clear();
  EXPECT_TRUE(list_.rows.empty());
  EXPECT_TRUE(dialogs_.messages.empty());
  list_.fail = FailAt("Clear", "List refused");
  commands_.Clear();
  EXPECT_EQ(dialogs_.MessageTexts(), Rows{ErrorReportText("List refused", "PushButton7_Click", 100)});
}

TEST_F(UrlListCommandsTest, RemoveSelectedNeedsASelectedRowAndNoBusyPointer) {
  list_.rows = {"a", "b", "c"};
  commands_.RemoveSelected();
  EXPECT_EQ(list_.rows, (Rows{"a", "b", "c"}));
  list_.selected = 1;
  pointer_.value = BusyPointer::kBusy;
  commands_.RemoveSelected();
  EXPECT_EQ(list_.rows, (Rows{"a", "b", "c"}));
  pointer_.value = BusyPointer::kHand;
  commands_.RemoveSelected();
  EXPECT_EQ(list_.rows, (Rows{"a", "c"}));
  list_.rows.clear();
  list_.selected = 0;
  commands_.RemoveSelected();
  EXPECT_TRUE(list_.rows.empty());
}

TEST_F(UrlListCommandsTest, RemoveSelectedFailureStaysSilent) {
  list_.rows = {"a"};
  list_.selected = 0;
  list_.fail = FailAt("Remove", "List refused");
  EXPECT_NO_THROW(commands_.RemoveSelected());
  EXPECT_EQ(list_.rows, Rows{"a"});
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(UrlListCommandsTest, HelpShowsTheContactPage) {
  commands_.Help();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "Questions? Please contact Team Quillmark at https://www.feedwright.example/contact");
  EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
  EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
}

}  // namespace
