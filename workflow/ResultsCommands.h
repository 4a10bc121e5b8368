// The commands on the rows of the results list: "Check All", "Uncheck All" and its "Clear List".
#pragma once

#include "DialogService.h"
#include "ResultsList.h"

class ResultsCommands {
 public:
  ResultsCommands(ResultsList& results, DialogService& dialogs);

  // "Check All" (PushButton4_Click): ticks every row.
  void CheckAll();
  // "Uncheck All" (PushButton5_Click): unticks every row.
  void UncheckAll();
  // The results list's "Clear List" (PushButton10_Click): removes every row.
  void Clear();

 private:
  void SetAll(const char* operation, bool checked);

  ResultsList& results_;
  DialogService& dialogs_;
};
