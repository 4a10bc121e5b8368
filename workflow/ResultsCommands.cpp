#include "ResultsCommands.h"

#include <cstdint>

#include "ErrorGuard.h"

ResultsCommands::ResultsCommands(ResultsList& results, DialogService& dialogs)
    : results_(results), dialogs_(dialogs) {}

void ResultsCommands::CheckAll() { SetAll("PushButton4_Click", true); }

void ResultsCommands::UncheckAll() { SetAll("PushButton5_Click", false); }

void ResultsCommands::Clear() {
  ErrorGuard guard(dialogs_, "PushButton10_Click");
  guard.Step(100, [&] { results_.Clear(); });
}

void ResultsCommands::SetAll(const char* operation, bool checked) {
  ErrorGuard guard(dialogs_, operation);
  int64_t count = 0;
  int64_t row = 0;
  bool more = guard.Advance(102, [&] {
    count = results_.Count();
    row = 0;
    return row < count;
  });
  while (more) {
    guard.Step(104, [&] { results_.SetChecked(row, checked); });
    more = guard.Advance(104, [&] { return ++row < count; });
  }
}
