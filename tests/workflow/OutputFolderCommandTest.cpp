#include "OutputFolderCommand.h"

#include <gtest/gtest.h>

#include "ErrorGuard.h"
#include "ScriptedDialogs.h"
#include "WorkflowFakes.h"

namespace {

TEST(NormaliseFolderPath, AppendsOneSeparatorAndCollapsesDoubles) {
  struct Case {
    const char* chosen;
    const char* expected;
  };
  const Case cases[] = {
      {"/", "/"},
      {"/home/u/Data", "/home/u/Data/"},
      {"/home/u/Data/", "/home/u/Data/"},
      {"//srv//share", "/srv/share/"},
      {"/a///b", "/a/b/"},
      {"/with space/and\\backslash", "/with space/and\\backslash/"},
      {"relative", "relative/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    EXPECT_EQ(NormaliseFolderPath(c.chosen), c.expected);
  }
}

TEST(OutputFolderCommand, ChosenFolderIsNormalisedIntoTheField) {
  ScriptedDialogs dialogs;
  PlainFolderField field;
  field.text = "/old/";
  dialogs.AnswerChooseFolder("/home/u/Data");
  OutputFolderCommand(field, dialogs).ChooseFolder();
  EXPECT_EQ(dialogs.folderDialogs, std::vector<std::string>{"Please select folder:"});
  EXPECT_EQ(field.history, std::vector<std::string>{"/home/u/Data/"});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST(OutputFolderCommand, NothingChosenLeavesTheFieldAlone) {
  ScriptedDialogs dialogs;
  PlainFolderField field;
  field.text = "/kept/";
  dialogs.AnswerChooseFolder("");
  OutputFolderCommand(field, dialogs).ChooseFolder();
  EXPECT_EQ(field.text, "/kept/");
  EXPECT_TRUE(field.history.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST(OutputFolderCommand, FailureToSetTheFieldIsReportedWithStep108) {
  ScriptedDialogs dialogs;
  PlainFolderField field;
  field.fail = FailAt("SetText", "Field refused");
  dialogs.AnswerChooseFolder("/tmp");
  OutputFolderCommand(field, dialogs).ChooseFolder();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, ErrorReportText("Field refused", "PushButton8_Click", 108));
}

}  // namespace
