// "Save Results As HTML": writes every ticked results row into a new file of its own in the
// output folder, named from the row's feed address and numbered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "BusyPointer.h"
#include "DialogService.h"
#include "FolderField.h"
#include "NameTemplate.h"
#include "OutputFormats.h"
#include "ResultsList.h"

class Clock;
class EnclosureSaver;
class ErrorGuard;
class FolderHandle;
class SavedRecord;

// What the user chose for the files of a save: their format and how they are named.
struct ExportChoices {
  OutputFormat format = OutputFormat::kText;
  NameTemplate names;
};

class HtmlExport {
 public:
  HtmlExport(const ResultsList& results, const FolderField& folder, BusyPointer& pointer,
             DialogService& dialogs);

  // Files written whole before their syncs and names are given, kept open meanwhile.
  static constexpr std::size_t kFilesPerSync = 64;

  // PushButton3_Click. Each ticked row gets the name its template gives (by default
  // CleanFileName-then-ShortenName of its address and the save's file counter) and the
  // format's extension; the counter starts at 1 and moves on for every name tried, so a name
  // already taken by anything is passed over and never opened. The subfolders a template
  // names are made inside the folder, never through a link.
  // The folder is opened once, and every file is made inside it. A file is written under no
  // name and named only once it is whole and on disk: files are synced kFilesPerSync at a time,
  // then named in row order, and the folders named in are synced once at the end. A file that
  // cannot be written whole never gets a name; its failure is reported once. A failure that
  // every later file would meet too (the folder is gone or takes no new files, the disk is
  // full) is reported once and ends the loop over the rows; the save then ends as usual, with
  // "Done.". Does not process window events.
  void Save();

  // The format and names of the files; by default today's text files and names.
  void SetChoices(ExportChoices choices) { choices_ = std::move(choices); }

  // Called with the row (from 0) and path of every file written whole, named and closed; the
  // batch mode counts them.
  void OnFileWritten(std::function<void(int64_t row, const std::string& path)> observer);

  // Asked before each row; once it answers true, no further row is written, the files already
  // written are named and the save ends as usual. The batch mode stops on SIGINT and SIGTERM.
  void SetStopRequest(std::function<bool()> stopRequested);

  // Notes every file written in record, with its entry's identity and clock's time, once the
  // files and their names are on disk: a crash before that saves them again at worst, and never
  // leaves an entry recorded whose file is lost. Nothing is recorded when record is null.
  void SetRecord(SavedRecord* record, const Clock& clock);

  // Saves each entry's enclosures beside its file once the file has its name, through saver;
  // none when saver is null. Their failures are saver's to report: the entry's file counts as
  // saved either way.
  void SetEnclosures(EnclosureSaver* saver) { enclosures_ = saver; }

 private:
  struct PendingFile;
  struct SaveState;

  // The row's texts and entry.
  RowEntry ReadRow(int64_t row) const;
  // Steps 112 to 136 for row index row: the file written under no name, and the files waiting
  // named when there are kFilesPerSync of them. False when the save must stop.
  bool SaveRow(ErrorGuard& guard, const FolderHandle& folder, int64_t row, SaveState& state);
  // Syncs the files waiting, then names them in row order; false when the save must stop.
  bool NamePending(ErrorGuard& guard, const FolderHandle& folder, SaveState& state);
  // Steps 122 to 130 and 138 for one file: the next free name, then the file closed.
  bool NameFile(ErrorGuard& guard, const FolderHandle& folder, PendingFile& pending, SaveState& state);

  const ResultsList& results_;
  const FolderField& folder_;
  BusyPointer& pointer_;
  DialogService& dialogs_;
  std::function<void(int64_t row, const std::string& path)> fileWritten_;
  std::function<bool()> stopRequested_;
  ExportChoices choices_;
  SavedRecord* record_ = nullptr;
  const Clock* clock_ = nullptr;
  EnclosureSaver* enclosures_ = nullptr;
};
