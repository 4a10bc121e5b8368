// The error guard: the report's exact text, and how an operation goes on after a failure.
#include "ErrorGuard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "ScriptedDialogs.h"

namespace {

std::string Report(const std::string& description, const std::string& operation, int step) {
  return ErrorReportText(description, operation, step);
}

// A routine without a guard of its own: it fails half-way when told to.
void LoadSomething(std::vector<std::string>& trail, bool fail) {
  trail.push_back("loader began");
  if (fail) throw std::runtime_error("File not found");
  trail.push_back("loader ended");
}

}  // namespace

TEST(ErrorReportText, IsBuiltByteForByte) {
  EXPECT_EQ(ErrorReportText("Subscript out of range", "PushButton1_Click", 104),
            "Subscript out of range\r\n"
            "in Feedwright2017/04/05.Form1.PushButton1_Click at line 104\r\r"
            "Please email screenshot of this message to support@feedwright.example");
  // An empty description still opens with CR LF; steps are plain decimal, whatever their size.
  EXPECT_EQ(ErrorReportText("", "PushButton11_Click", 2147483646),
            "\r\n"
            "in Feedwright2017/04/05.Form1.PushButton11_Click at line 2147483646\r\r"
            "Please email screenshot of this message to support@feedwright.example");
  EXPECT_NE(ErrorReportText("d", "Form_Load", 0).find(" at line 0\r\r"), std::string::npos);
}

TEST(ShowErrorReport, ShowsOneExclamationBoxTitledApplicationError) {
  ScriptedDialogs dialogs;
  ShowErrorReport(dialogs, "Overflow", "PushButton2_Click", 130);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, Report("Overflow", "PushButton2_Click", 130));
  EXPECT_EQ(dialogs.messages[0].title, "Application Error");
  EXPECT_EQ(dialogs.messages[0].icon, DialogService::Icon::Exclamation);
}

TEST(ErrorGuard, StepsAndBranchesThatSucceedShowNothing) {
  ScriptedDialogs dialogs;
  std::vector<int> ran;
  ErrorGuard guard(dialogs, "PushButton4_Click");
  guard.Step(102, [&] { ran.push_back(102); });
  EXPECT_TRUE(guard.Branch(104, [] { return true; }));
  EXPECT_FALSE(guard.Branch(106, [] { return false; }));
  EXPECT_EQ(ran, std::vector<int>{102});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST(ErrorGuard, TwoFailingStepsGiveTwoReportsInOrderAndEarlierEffectsStay) {
  ScriptedDialogs dialogs;
  std::vector<std::string> trail;
  ErrorGuard guard(dialogs, "PushButton3_Click");
  guard.Step(102, [&] { trail.push_back("102"); });
  guard.Step(104, [&] {
    trail.push_back("104 began");
    throw std::out_of_range("Index out of bounds");
  });
  guard.Step(106, [&] { trail.push_back("106"); });
  guard.Step(108, [] { throw std::runtime_error("Permission denied"); });
  guard.Step(110, [&] { trail.push_back("110"); });
  EXPECT_EQ(trail, (std::vector<std::string>{"102", "104 began", "106", "110"}));
  EXPECT_EQ(dialogs.MessageTexts(),
            (std::vector<std::string>{Report("Index out of bounds", "PushButton3_Click", 104),
                                      Report("Permission denied", "PushButton3_Click", 108)}));
}

TEST(ErrorGuard, FailureInsideACalledRoutineCarriesTheCallersStepAndName) {
  ScriptedDialogs dialogs;
  std::vector<std::string> trail;
  ErrorGuard guard(dialogs, "PushButton6_Click");
  guard.Step(116, [&] { trail.push_back("116"); });
  guard.Step(118, [&] {
    LoadSomething(trail, true);
    trail.push_back("after the loader");
  });
  guard.Step(120, [&] { trail.push_back("120"); });
  EXPECT_EQ(trail, (std::vector<std::string>{"116", "loader began", "120"}));
  EXPECT_EQ(dialogs.MessageTexts(),
            std::vector<std::string>{Report("File not found", "PushButton6_Click", 118)});
}

TEST(ErrorGuard, FailingBranchTestEntersTheBranch) {
  ScriptedDialogs dialogs;
  std::vector<int> ran;
  ErrorGuard guard(dialogs, "PushButton8_Click");
  if (guard.Branch(104, []() -> bool { throw std::runtime_error("Type mismatch"); })) {
    guard.Step(106, [&] { ran.push_back(106); });
  } else {
    guard.Step(108, [&] { ran.push_back(108); });
  }
  EXPECT_EQ(ran, std::vector<int>{106});
  EXPECT_EQ(dialogs.MessageTexts(),
            std::vector<std::string>{Report("Type mismatch", "PushButton8_Click", 104)});
}

TEST(ErrorGuard, FailingLoopStepGoesOnWithTheSamePassAndTheNextOnes) {
  ScriptedDialogs dialogs;
  std::vector<std::string> trail;
  ErrorGuard guard(dialogs, "PushButton2_Click");
  int row = 0;
  while (guard.Advance(112, [&] { return ++row <= 3; })) {
    guard.Step(114, [&] {
      if (row == 2) throw std::runtime_error("Overflow");
      trail.push_back("114 row " + std::to_string(row));
    });
    guard.Step(116, [&] { trail.push_back("116 row " + std::to_string(row)); });
  }
  guard.Step(118, [&] { trail.push_back("118"); });
  EXPECT_EQ(trail, (std::vector<std::string>{"114 row 1", "116 row 1", "116 row 2", "114 row 3",
                                             "116 row 3", "118"}));
  EXPECT_EQ(dialogs.MessageTexts(),
            std::vector<std::string>{Report("Overflow", "PushButton2_Click", 114)});
}

TEST(ErrorGuard, FailingLoopAdvanceLeavesTheLoop) {
  ScriptedDialogs dialogs;
  std::vector<std::string> trail;
  ErrorGuard guard(dialogs, "PushButton4_Click");
  int row = 0;
  while (guard.Advance(102, [&]() -> bool {
    if (++row == 3) throw std::out_of_range("Index out of bounds");
    return true;
  })) {
    guard.Step(104, [&] { trail.push_back("104 row " + std::to_string(row)); });
  }
  guard.Step(106, [&] { trail.push_back("106"); });
  EXPECT_EQ(trail, (std::vector<std::string>{"104 row 1", "104 row 2", "106"}));
  EXPECT_EQ(dialogs.MessageTexts(),
            std::vector<std::string>{Report("Index out of bounds", "PushButton4_Click", 102)});
}

TEST(ErrorGuard, FailureWithoutADescriptionIsStillReported) {
  ScriptedDialogs dialogs;
  bool next = false;
  ErrorGuard guard(dialogs, "PushButton9_Click");
  guard.Step(102, [] { throw 42; });
  guard.Step(104, [&] { next = true; });
  EXPECT_TRUE(next);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("\r\nin Feedwright2017/04/05.Form1.PushButton9_Click at line 102\r\r"),
            std::string::npos);
}

TEST(ErrorGuard, AnotherOperationRunWhileABoxIsOpenReportsUnderItsOwnName) {
  // A box runs the event loop, so the user can start another operation from it.
  ScriptedDialogs dialogs;
  bool nested = false;
  dialogs.onMessage = [&](const ScriptedDialogs::Message&) {
    if (nested) return;
    nested = true;
    ErrorGuard other(dialogs, "PushButton11_Click");
    other.Step(100, [] { throw std::runtime_error("Out of memory"); });
  };
  ErrorGuard guard(dialogs, "PushButton2_Click");
  guard.Step(120, [] { throw std::runtime_error("Overflow"); });
  guard.Step(122, [] { throw std::runtime_error("Division by zero"); });
  EXPECT_EQ(dialogs.MessageTexts(),
            (std::vector<std::string>{Report("Overflow", "PushButton2_Click", 120),
                                      Report("Out of memory", "PushButton11_Click", 100),
                                      Report("Division by zero", "PushButton2_Click", 122)}));
}

TEST(ErrorGuard, RepeatedFailureIsReportedOncePerRunOfTheOperation) {
  ScriptedDialogs dialogs;
  int rowsPassed = 0;
  {
    ErrorGuard guard(dialogs, "PushButton3_Click");
    int row = 0;
    while (guard.Advance(142, [&] { return ++row <= 4; })) {
      // The same failure on every row; a different one on row 3; memory running out at two
      // different steps.
      guard.Step(130, [] { throw std::runtime_error("Permission denied"); });
      guard.Step(130, [&] {
        if (row == 3) throw std::runtime_error("Read-only file system");
      });
      guard.Step(136, [&] {
        if (row >= 2) throw std::bad_alloc();
      });
      guard.Step(138, [&] {
        if (row == 4) throw std::bad_alloc();
        ++rowsPassed;
      });
    }
  }
  EXPECT_EQ(rowsPassed, 3);
  const std::string outOfMemory = std::bad_alloc().what();
  EXPECT_EQ(dialogs.MessageTexts(),
            (std::vector<std::string>{Report("Permission denied", "PushButton3_Click", 130),
                                      Report(outOfMemory, "PushButton3_Click", 136),
                                      Report("Read-only file system", "PushButton3_Click", 130)}));

  // The next run of the operation reports afresh.
  ErrorGuard again(dialogs, "PushButton3_Click");
  again.Step(130, [] { throw std::runtime_error("Permission denied"); });
  EXPECT_EQ(dialogs.messages.size(), 4u);
}
