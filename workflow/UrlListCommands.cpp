#include "UrlListCommands.h"

#include "AppInfo.h"
#include "ErrorGuard.h"
#include "UrlFileLoader.h"

namespace {

constexpr const char* kOpenFileTitle = "Add File(s) - Use Ctrl & Shift to select multiple files";
// OPML subscription lists load too; their choice comes after the two usual ones.
constexpr const char* kOpenFileFilter =
    "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|OPML Files (*.opml)|*.opml";

std::vector<std::string> SplitAtNul(const std::string& text) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = text.find('\0', start);
    pieces.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

}  // namespace

UrlListCommands::UrlListCommands(UrlList& list, DialogService& dialogs, EventPump& events,
                                 const BusyPointer& pointer, const RunState& run)
    : list_(list), dialogs_(dialogs), events_(events), pointer_(pointer), run_(run) {}

void UrlListCommands::AddUrl() {
  ErrorGuard guard(dialogs_, "PushButton1_Click");
  std::string answer;
  guard.Step(102, [&] {
    answer = dialogs_.Prompt("Enter website address to add: ", AppInfo::kProductName,
                             kDefaultAddress);
  });
  guard.Step(104, [&] {
    if (!answer.empty()) list_.Append(answer);
  });
}

void UrlListCommands::LoadFromFile() {
  ErrorGuard guard(dialogs_, "PushButton6_Click");
  // The dialog of this platform allows one file only, so there are no flags to set (step 104).
  std::string fileName;
  std::string title;
  std::string filter;
  // Steps 102, 106 and 108 only set a value that cannot fail; they are kept so that every later
  // step keeps its number in the error report.
  guard.Step(102, [&] { fileName.clear(); });
  guard.Step(106, [&] { title = kOpenFileTitle; });
  guard.Step(108, [&] { filter = kOpenFileFilter; });
  guard.Step(110, [&] { fileName = dialogs_.OpenFile(title, filter); });
  if (guard.Branch(112, [&] { return fileName.empty(); })) return;
  std::vector<std::string> names;
  guard.Step(114, [&] { names = SplitAtNul(fileName); });
  if (guard.Branch(116, [&] { return names.size() > 1; })) {
    guard.Step(120, [&] {
      ShowPlainMessage(dialogs_, "Please select just one file.");
    });
    return;
  }
  guard.Step(118, [&] { LoadUrlFile(list_, names.at(0), dialogs_, events_); });
}

void UrlListCommands::LoadFile(const std::string& path) {
  ErrorGuard guard(dialogs_, "PushButton6_Click");
  guard.Step(118, [&] { LoadUrlFile(list_, path, dialogs_, events_); });
}

void UrlListCommands::LoadSamples() {
  ErrorGuard guard(dialogs_, "PushButton9_Click");
  guard.Step(102, [&] { list_.Append(kSampleBreakingNews); });
  guard.Step(102, [&] { list_.Append(kSampleEarth); });
}

void UrlListCommands::Clear() {
  ErrorGuard guard(dialogs_, "PushButton7_Click");
  // A run reads the list row by row while it yields; emptying it under the run would only give
  // a cascade of error reports.
  guard.Step(100, [&] {
    if (!run_.running) list_.Clear();
  });
}

void UrlListCommands::RemoveSelected() noexcept {
  try {
    if (pointer_.Value() == BusyPointer::kBusy) return;
    const int64_t selected = list_.SelectedRow();
    if (list_.Count() >= 1 && selected >= 0) list_.Remove(selected);
  } catch (...) {
    // No error report belongs to these gestures.
  }
}

void UrlListCommands::Help() {
  ErrorGuard guard(dialogs_, "PushButton11_Click");
  guard.Step(100, [&] {
    ShowPlainMessage(dialogs_, std::string("Questions? Please contact Team Quillmark at ") +
                                   AppInfo::kContactPage);
  });
}
