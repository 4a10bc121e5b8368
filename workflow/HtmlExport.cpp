#include "HtmlExport.h"

#include <cstdint>

#include "ErrorGuard.h"
#include "ExclusiveFile.h"
#include "FileNames.h"
#include "PathChecks.h"

namespace {

constexpr const char* kSeparator = "/";
constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string HtmlFileContent(const std::string& title, const std::string& description,
                            const std::string& link) {
  return title + kLineEnd + kLineEnd + description + kLineEnd + kLineEnd + link + kLineEnd;
}

HtmlExport::HtmlExport(const ResultsList& results, const FolderField& folder,
                       BusyPointer& pointer, DialogService& dialogs)
    : results_(results), folder_(folder), pointer_(pointer), dialogs_(dialogs) {}

void HtmlExport::OnFileWritten(std::function<void(const std::string& path)> observer) {
  fileWritten_ = std::move(observer);
}

void HtmlExport::Save() {
  ErrorGuard guard(dialogs_, "PushButton3_Click");
  if (guard.Branch(102, [&] { return results_.Count() == 0; })) {
    guard.Step(152, [&] { ShowPlainMessage(dialogs_, "No URL results to save."); });
    return;
  }
  if (guard.Branch(104, [&] { return !FolderExists(folder_.Text()); })) {
    guard.Step(150, [&] {
      ShowPlainMessage(dialogs_, "Folder does not exist. Please select another folder.");
    });
    return;
  }
  int64_t counter = 0;
  guard.Step(108, [&] { counter = 1; });
  int64_t count = 0;
  int64_t row = 0;
  bool more = guard.Advance(110, [&] {
    count = results_.Count();
    row = 0;
    return row < count;
  });
  while (more) {
    SaveRow(guard, row, counter);
    more = guard.Advance(142, [&] { return ++row < count; });
  }
  guard.Step(144, [&] { pointer_.SetValue(BusyPointer::kDefault); });
  guard.Step(148, [&] { ShowPlainMessage(dialogs_, "Done."); });
}

void HtmlExport::SaveRow(ErrorGuard& guard, int64_t row, int64_t& counter) {
  guard.Step(112, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  // A tick that cannot be read counts as no tick: nothing is written for that row.
  if (guard.Branch(114, [&] { return !results_.IsChecked(row); })) return;
  std::string stem;
  guard.Step(116, [&] { stem = results_.Text(row); });
  guard.Step(118, [&] { stem = ShortenName(CleanFileName(stem)); });

  // Trying a name creates the file when the name is free, so nothing can slip in between the
  // test and the opening. Every name tried uses up a number.
  ExclusiveFile file;
  for (;;) {
    std::string name;
    std::string path;
    guard.Step(122, [&] { name = stem + std::to_string(counter) + ".html"; });
    guard.Step(124, [&] { path = folder_.Text() + kSeparator + name; });
    guard.Step(126, [&] { ++counter; });
    // The name test (step 128). Create never throws, and an empty path is never taken, so the
    // loop ends.
    if (file.Create(path) != ExclusiveFile::Outcome::kNameTaken) break;
  }
  guard.Step(130, [&] {
    if (!file.IsOpen()) throw std::system_error(file.Error(), file.Path());
  });
  bool whole = false;
  guard.Step(136, [&] {
    file.Write(HtmlFileContent(results_.SubItem(row, ResultsList::kTitle),
                               results_.SubItem(row, ResultsList::kDescription),
                               results_.SubItem(row, ResultsList::kLink)));
    whole = true;
  });
  guard.Step(138, [&] {
    file.Close();
    if (whole && fileWritten_) fileWritten_(file.Path());
  });
}
