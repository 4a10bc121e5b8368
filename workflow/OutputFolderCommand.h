// The "..." button of the output folder: lets the user pick a folder and puts it, normalised,
// into the output-folder field.
#pragma once

#include <string>

#include "DialogService.h"
#include "FolderField.h"

// path followed by "/", with every run of separators collapsed to one: "/" stays "/",
// "/home/u/Data" becomes "/home/u/Data/".
std::string NormaliseFolderPath(const std::string& path);

class OutputFolderCommand {
 public:
  OutputFolderCommand(FolderField& field, DialogService& dialogs);

  // PushButton8_Click: shows the folder chooser with "Please select folder:", opened at the
  // folder the field shows (a leading "~/" is the home folder); a chosen folder
  // replaces the field's text, nothing chosen leaves it alone. The folder is not checked here.
  void ChooseFolder();

 private:
  FolderField& field_;
  DialogService& dialogs_;
};
