#include "OutputFolderCommand.h"

#include "ErrorGuard.h"
#include "PathChecks.h"

std::string NormaliseFolderPath(const std::string& path) {
  const std::string appended = path + "/";
  std::string result;
  result.reserve(appended.size());
  for (char c : appended) {
    if (c == '/' && !result.empty() && result.back() == '/') continue;
    result += c;
  }
  return result;
}

OutputFolderCommand::OutputFolderCommand(FolderField& field, DialogService& dialogs)
    : field_(field), dialogs_(dialogs) {}

void OutputFolderCommand::ChooseFolder() {
  ErrorGuard guard(dialogs_, "PushButton8_Click");
  std::string chosen;
  guard.Step(102, [&] { chosen = dialogs_.ChooseFolder("Please select folder:", ExpandHome(field_.Text())); });
  if (guard.Branch(102, [&] { return chosen.empty(); })) return;
  // On this platform every absolute path starts with the separator, so the network-path case
  // of a backslash platform (step 106) has no counterpart: one rule serves every folder.
  guard.Step(108, [&] { field_.SetText(NormaliseFolderPath(chosen)); });
}
