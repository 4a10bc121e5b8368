#include "BatchDialogs.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "ErrorGuard.h"

namespace {

TEST(BatchDialogsTest, MessagesBecomeLinesAndDoneIsLeftOut) {
  std::ostringstream err;
  BatchDialogs dialogs(err);
  dialogs.ShowMessage("Done.", "Feedwright", DialogService::Icon::None);
  dialogs.ShowMessage("No URLs added.", "Feedwright", DialogService::Icon::None);
  dialogs.ShowMessage("two\r\nlines\rand\nmore\x1B[2J", "Feedwright", DialogService::Icon::None);
  EXPECT_EQ(err.str(),
            "feedwright: No URLs added.\n"
            "feedwright: two\nfeedwright:   lines\nfeedwright:   and\n"
            "feedwright:   more\\x1B[2J\n");
  EXPECT_EQ(dialogs.ErrorReports(), 0);
}

TEST(BatchDialogsTest, ErrorReportIsCountedAndShownWithoutTheScreenshotRequest) {
  std::ostringstream err;
  BatchDialogs dialogs(err);
  ShowErrorReport(dialogs, "/out/a1.html: Permission denied", "PushButton3_Click", 130);
  EXPECT_EQ(dialogs.ErrorReports(), 1);
  EXPECT_EQ(err.str(),
            "feedwright: Application Error: /out/a1.html: Permission denied\n"
            "feedwright:   in Feedwright2017/04/05.Form1.PushButton3_Click at line 130\n");
}

TEST(BatchDialogsTest, AskingAnythingIsAProgrammingError) {
  std::ostringstream err;
  BatchDialogs dialogs(err);
  EXPECT_THROW(dialogs.Prompt("Enter website address to add: ", "Feedwright", "http://x"),
               std::logic_error);
  EXPECT_THROW(dialogs.OpenFile("Add File(s)", "All Files (*.*)|*.*"), std::logic_error);
  EXPECT_THROW(dialogs.ChooseFolder("Please select folder:"), std::logic_error);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
