// The error guard: the report's exact text, and how an operation goes on after a failure.
#include "ErrorGuard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "ScriptedDialogs.h"

namespace {

using Texts = std::vector<std::string>;

// A failing step is reported and the operation goes on; a failing branch test enters the branch, a
// failing advance leaves the loop. The same failure again, or memory running out anywhere, is shown once.
TEST(ErrorGuard, OperationGoesOnAndRepeatedFailuresAreShownOnce) {
  ScriptedDialogs dialogs;
  Texts trail;
  {
    ErrorGuard guard(dialogs, "PushButton3_Click");
    int row = 0;
    while (guard.Advance(110, [&]() -> bool {
      if (++row == 4) throw std::out_of_range("Index out of bounds");
      return true;
    })) {
      guard.Step(130, [] { throw std::runtime_error("Permission denied"); });
      guard.Step(130, [&] {
        if (row == 2) throw std::runtime_error("Read-only file system");
      });
      guard.Step(136, [&] {
        if (row == 3) throw std::bad_alloc();
        trail.push_back("136 row " + std::to_string(row));
      });
      guard.Step(138, [&] {
        if (row == 2) throw std::bad_alloc();
      });
    }
    if (guard.Branch(142, []() -> bool { throw 42; })) trail.push_back("branch");
  }
  EXPECT_EQ(trail, (Texts{"136 row 1", "136 row 2", "branch"}));
  EXPECT_EQ(dialogs.MessageTexts(), (Texts{ErrorReportText("Permission denied", "PushButton3_Click", 130),
                                           ErrorReportText("Read-only file system", "PushButton3_Click", 130),
                                           ErrorReportText(std::bad_alloc().what(), "PushButton3_Click", 138),
                                           ErrorReportText("Index out of bounds", "PushButton3_Click", 110),
                                           ErrorReportText("Unknown error", "PushButton3_Click", 142)}));
  EXPECT_EQ(dialogs.messages[0].text,
            "Permission denied\r\nin Feedwright2017/04/05.Form1.PushButton3_Click at line 130\r\r"
            "Please email screenshot of this message to support@feedwright.example");
  EXPECT_EQ(dialogs.messages[0].title, "Application Error");
  EXPECT_EQ(dialogs.messages[0].icon, DialogService::Icon::Exclamation);
}

}  // namespace
