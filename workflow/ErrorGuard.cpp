#include "ErrorGuard.h"

#include <exception>
#include <new>

#include "AppInfo.h"

std::string ErrorReportText(const std::string& description, const std::string& operation,
                            int32_t step) {
  return description + "\r\n" + "in " + AppInfo::kReportTag + "." + AppInfo::kReportWindow + "." +
         operation + " " + "at line " + std::to_string(step) + "\r\r" +
         "Please email screenshot of this message to " + AppInfo::kSupportEmail;
}

void ShowErrorReport(DialogService& dialogs, const std::string& description,
                     const std::string& operation, int32_t step) {
  dialogs.ShowMessage(ErrorReportText(description, operation, step), "Application Error",
                      DialogService::Icon::Exclamation);
}

ErrorGuard::ErrorGuard(DialogService& dialogs, std::string operation)
    : dialogs_(dialogs), operation_(std::move(operation)) {}

void ErrorGuard::Step(int32_t number, const std::function<void()>& action) { Run(number, action); }

bool ErrorGuard::Branch(int32_t number, const std::function<bool()>& test) {
  bool taken = true;
  Run(number, [&] { taken = test(); });
  return taken;
}

std::string FailureText(const std::error_code& error, const std::string& path) {
  return path + ": " + error.message();
}

bool ErrorGuard::Advance(int32_t number, const std::function<bool()>& advance) {
  bool more = false;
  Run(number, [&] { more = advance(); });
  return more;
}

bool ErrorGuard::Run(int32_t number, const std::function<void()>& action) {
  std::string description;
  try {
    action();
    return true;
  } catch (const std::bad_alloc& error) {
    // Remembering this one must not need memory.
    if (allocationFailureReported_) return false;
    allocationFailureReported_ = true;
    description = error.what();
  } catch (const std::exception& error) {
    description = error.what();
  } catch (...) {
    description = "Unknown error";
  }
  if (!FirstTime(number, description)) return false;
  // Reported outside the catch block: the box is modal and runs an event loop.
  ShowErrorReport(dialogs_, description, operation_, number);
  return false;
}

void ErrorGuard::Report(int32_t number, const std::string& description) {
  if (FirstTime(number, description)) ShowErrorReport(dialogs_, description, operation_, number);
}

bool ErrorGuard::FirstTime(int32_t number, const std::string& description) {
  try {
    return reported_.emplace(number, description).second;
  } catch (const std::bad_alloc&) {
    // Not remembered, but still shown.
    return true;
  }
}
