#include "ResultsCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ErrorGuard.h"
#include "ScriptedDialogs.h"
#include "WorkflowFakes.h"

namespace {

class ResultsCommandsTest : public ::testing::Test {
 protected:
  void AddRows(std::vector<bool> ticks) {
    for (bool tick : ticks) results_.rows.push_back({"http://a", "t", "d", "l", tick});
  }
  std::vector<bool> Ticks() const {
    std::vector<bool> ticks;
    for (const auto& row : results_.rows) ticks.push_back(row.checked);
    return ticks;
  }

  VectorResultsList results_;
  ScriptedDialogs dialogs_;
  ResultsCommands commands_{results_, dialogs_};
};

TEST_F(ResultsCommandsTest, CheckAllAndUncheckAll) {
  // An empty list is no error.
  commands_.CheckAll();
  commands_.UncheckAll();
  AddRows({false, true, false});
  commands_.CheckAll();
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));
  commands_.UncheckAll();
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(ResultsCommandsTest, ListsBeyondSixteenBitCounters) {
  AddRows(std::vector<bool>(40000, false));
  commands_.CheckAll();
  EXPECT_TRUE(results_.rows.back().checked);
  EXPECT_TRUE(results_.rows[32767].checked);
}

TEST_F(ResultsCommandsTest, FailingTickIsReportedWithStep104AndTheLoopGoesOn) {
  AddRows({false, false, false});
  int calls = 0;
  results_.fail = [&](std::string_view member) {
    if (member == "SetChecked" && ++calls == 2) throw std::runtime_error("Tick refused");
  };
  commands_.CheckAll();
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(dialogs_.MessageTexts(),
            std::vector<std::string>{ErrorReportText("Tick refused", "PushButton4_Click", 104)});
}

TEST_F(ResultsCommandsTest, FailingCountIsReportedWithStep102) {
  AddRows({true});
  results_.fail = FailAt("Count", "Count refused");
  commands_.UncheckAll();
  EXPECT_EQ(Ticks(), std::vector<bool>{true});
  EXPECT_EQ(dialogs_.MessageTexts(),
            std::vector<std::string>{ErrorReportText("Count refused", "PushButton5_Click", 102)});
}

TEST_F(ResultsCommandsTest, ClearEmptiesTheListAndReportsFailureAt100) {
  AddRows({true, false});
  commands_.Clear();
  EXPECT_TRUE(results_.rows.empty());
  results_.fail = FailAt("Clear", "Clear refused");
  commands_.Clear();
  EXPECT_EQ(dialogs_.MessageTexts(),
            std::vector<std::string>{ErrorReportText("Clear refused", "PushButton10_Click", 100)});
}

}  // namespace
