// The error guard of a user operation: the operation reads as its numbered steps, a failing step
// is reported with the operation name and step number, and the operation goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "DialogService.h"

// The text of the error report: the failure's description, CR LF, the location line with the
// operation name and step number, CR CR, and the request to e-mail a screenshot.
std::string ErrorReportText(const std::string& description, const std::string& operation,
                            int32_t step);

// Shows the error report as a modal box titled "Application Error" with an exclamation icon.
void ShowErrorReport(DialogService& dialogs, const std::string& description,
                     const std::string& operation, int32_t step);

// The description of a failed file operation: the path, ": " and the error's message.
std::string FailureText(const std::error_code& error, const std::string& path);

// Armed for one run of one operation. Each member runs one labelled piece of the operation;
// an exception escaping it (also from a routine it called) is reported, and the operation then
// continues with whatever follows the piece.
//
// A failure that repeats is reported once per run of the operation, so that a step failing the
// same way on every row of a long list shows one box, not one per row:
// - a failure with the same step number and the same description as one already reported by
//   this guard is not reported again;
// - an allocation failure (std::bad_alloc) is reported once, at the first step where it
//   happens, whatever step it happens in later.
// Every other failure is reported as it happens, and the operation goes on in the same way
// whether or not the failure was shown.
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

  // Reports a failure that a step found without an exception, as a failing step would be
  // reported (once per run, as above).
  void Report(int32_t number, const std::string& description);

 private:
  // Runs action; on failure reports it and returns false.
  bool Run(int32_t number, const std::function<void()>& action);

  // Whether the failure is new to this run of the operation; remembers it.
  bool FirstTime(int32_t number, const std::string& description);

  DialogService& dialogs_;
  std::string operation_;
  // Every failure reported so far, by step number and description.
  std::set<std::pair<int32_t, std::string>> reported_;
  bool allocationFailureReported_ = false;
};
