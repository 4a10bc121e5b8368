// "Save Results As HTML": writes every ticked results row into a new file of its own in the
// output folder, named from the row's feed address and numbered.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "BusyPointer.h"
#include "DialogService.h"
#include "FolderField.h"
#include "NameTemplate.h"
#include "OutputFormats.h"
#include "ResultsList.h"

class ErrorGuard;
class FolderHandle;

// What the user chose for the files of a save: their format and how they are named.
struct ExportChoices {
  OutputFormat format = OutputFormat::kText;
  NameTemplate names;
};

class HtmlExport {
 public:
  HtmlExport(const ResultsList& results, const FolderField& folder, BusyPointer& pointer,
             DialogService& dialogs);

  // PushButton3_Click. Each ticked row gets the name its template gives (by default
  // CleanFileName-then-ShortenName of its address and the save's file counter) and the
  // format's extension; the counter starts at 1 and moves on for every name tried, so a name
  // already taken by anything is passed over and never opened. The subfolders a template
  // names are made inside the folder, never through a link.
  // The folder is opened once, and every file is made inside it. A file that cannot be written
  // whole is removed, and its failure reported once. A failure that every later file would
  // meet too (the folder is gone or takes no new files, the disk is full) is reported once and
  // ends the loop over the rows; the save then ends as usual, with "Done.". Does not process
  // window events.
  void Save();

  // The format and names of the files; by default today's text files and names.
  void SetChoices(ExportChoices choices) { choices_ = std::move(choices); }

  // Called with the path of every file written whole and closed; the batch mode counts them.
  void OnFileWritten(std::function<void(const std::string& path)> observer);

 private:
  // The row's texts and entry.
  RowEntry ReadRow(int64_t row) const;
  // Steps 112 to 138 for row index row; false when the save must stop.
  bool SaveRow(ErrorGuard& guard, const FolderHandle& folder, int64_t row, int64_t& counter);

  const ResultsList& results_;
  const FolderField& folder_;
  BusyPointer& pointer_;
  DialogService& dialogs_;
  std::function<void(const std::string& path)> fileWritten_;
  ExportChoices choices_;
};
