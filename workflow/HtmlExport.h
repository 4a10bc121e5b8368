// "Save Results As HTML": writes every ticked results row into a new file of its own in the
// output folder, named from the row's feed address and numbered.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "BusyPointer.h"
#include "DialogService.h"
#include "FolderField.h"
#include "ResultsList.h"

class ErrorGuard;
class FolderHandle;

// The bytes of one output file: title, blank line, description, blank line, link, each line
// ended by CR LF; the texts are written whole, as UTF-8.
std::string HtmlFileContent(const std::string& title, const std::string& description,
                            const std::string& link);

class HtmlExport {
 public:
  HtmlExport(const ResultsList& results, const FolderField& folder, BusyPointer& pointer,
             DialogService& dialogs);

  // PushButton3_Click. Each ticked row gets the name CleanFileName-then-ShortenName of its
  // address, the save's file counter and ".html"; the counter starts at 1 and moves on for
  // every name tried, so a name already taken by anything is passed over and never opened.
  // The folder is opened once, and every file is made inside it. A file that cannot be written
  // whole is removed, and its failure reported once. A failure that every later file would
  // meet too (the folder is gone or takes no new files, the disk is full) is reported once and
  // ends the loop over the rows; the save then ends as usual, with "Done.". Does not process
  // window events.
  void Save();

  // Called with the path of every file written whole and closed; the batch mode counts them.
  void OnFileWritten(std::function<void(const std::string& path)> observer);

 private:
  // Steps 112 to 138 for row index row; false when the save must stop.
  bool SaveRow(ErrorGuard& guard, const FolderHandle& folder, int64_t row, int64_t& counter);

  const ResultsList& results_;
  const FolderField& folder_;
  BusyPointer& pointer_;
  DialogService& dialogs_;
  std::function<void(const std::string& path)> fileWritten_;
};
