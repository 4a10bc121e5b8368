// The error guard of a user operation: the operation reads as its numbered steps, a failing step
// is reported with the operation name and step number, and the operation goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "DialogService.h"

// The text of the error report: the failure's description, CR LF, the location line with the
// operation name and step number, CR CR, and the request to e-mail a screenshot.
std::string ErrorReportText(const std::string& description, const std::string& operation,
                            int32_t step);

// Shows the error report as a modal box titled "Application Error" with an exclamation icon.
void ShowErrorReport(DialogService& dialogs, const std::string& description,
                     const std::string& operation, int32_t step);

// Armed for one run of one operation. Each member runs one labelled piece of the operation;
// an exception escaping it (also from a routine it called) is reported, and the operation then
// continues with whatever follows the piece.
class ErrorGuard {
 public:
  ErrorGuard(DialogService& dialogs, std::string operation);

  // A plain step.
  void Step(int32_t number, const std::function<void()>& action);

  // The test of a branch. A test that fails counts as true: the operation continues with the
  // first step inside the branch.
  bool Branch(int32_t number, const std::function<bool()>& test);

  // A loop's advance and test. An advance that fails counts as false: the operation continues
  // with the first step behind the loop.
  bool Advance(int32_t number, const std::function<bool()>& advance);

  const std::string& Operation() const { return operation_; }

 private:
  // Runs action; on failure reports it and returns false.
  bool Run(int32_t number, const std::function<void()>& action);

  DialogService& dialogs_;
  std::string operation_;
};
