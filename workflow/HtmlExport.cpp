#include "HtmlExport.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "EnclosureSaver.h"
#include "ErrorGuard.h"
#include "ExclusiveFile.h"
#include "FileNames.h"
#include "FolderHandle.h"
#include "FolderSyncs.h"
#include "PathChecks.h"
#include "SavedRecord.h"
#include "WebLinks.h"

namespace {

// Failures that every later file of the save would meet too: the folder is gone, takes no new
// files, or the disk is full.
bool EndsTheSave(const std::error_code& error) {
  if (error.category() != std::generic_category()) return false;
  switch (error.value()) {
    case ENOENT:
    case ENOTDIR:
    case ESTALE:
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOSPC:
    case EDQUOT:
      return true;
    default:
      return false;
  }
}

// The folders of path but its last component, each made and opened inside the one before;
// subfolder is left holding the last of them, or the one that failed (for its path).
// Each folder opened, and so each one that may have been made, is noted for its sync.
std::error_code OpenSubfolders(const FolderHandle& folder, const std::vector<std::string>& path,
                               std::unique_ptr<FolderHandle>& subfolder, FolderSyncs& syncs) {
  subfolder.reset();
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    auto next = std::make_unique<FolderHandle>();
    const std::error_code error = next->OpenInside(subfolder ? *subfolder : folder, path[i]);
    subfolder = std::move(next);
    if (error) return error;
    syncs.Add(*subfolder);
  }
  return {};
}

NameFields NameFieldsOf(const std::string& stem, const RowEntry& row) {
  NameFields fields;
  fields.stem = stem;
  fields.title = row.title;
  fields.host = HostOf(row.link).empty() ? HostOf(row.address) : HostOf(row.link);
  if (row.entry) {
    fields.date = row.entry->Published().empty() ? row.entry->Updated() : row.entry->Published();
    fields.identity = row.entry->Id();
  }
  if (fields.identity.empty()) fields.identity = row.link.empty() ? row.title + "\n" + row.description : row.link;
  return fields;
}

}  // namespace

HtmlExport::HtmlExport(const ResultsList& results, const FolderField& folder,
                       BusyPointer& pointer, DialogService& dialogs)
    : results_(results), folder_(folder), pointer_(pointer), dialogs_(dialogs) {}

// A file written whole, waiting for its sync and its name.
struct HtmlExport::PendingFile {
  int64_t row = 0;
  NameFields fields;
  // The entry's identity and feed address, for the record.
  std::string identity;
  std::string address;
  std::unique_ptr<ExclusiveFile> file;
  std::shared_ptr<const FeedItem> entry;
};

// What one save carries from row to row.
struct HtmlExport::SaveState {
  int64_t counter = 0;
  int64_t named = 0;
  std::vector<PendingFile> pending;
  FolderSyncs syncs;
  // The files named, for the record once their names are on disk.
  std::vector<SavedEntry> written;
};

void HtmlExport::OnFileWritten(std::function<void(int64_t row, const std::string& path)> observer) {
  fileWritten_ = std::move(observer);
}

void HtmlExport::SetStopRequest(std::function<bool()> stopRequested) {
  stopRequested_ = std::move(stopRequested);
}

void HtmlExport::SetRecord(SavedRecord* record, const Clock& clock) {
  record_ = record;
  clock_ = &clock;
}

void HtmlExport::Save() {
  ErrorGuard guard(dialogs_, "PushButton3_Click");
  if (guard.Branch(102, [&] { return results_.Count() == 0; })) {
    guard.Step(152, [&] { ShowPlainMessage(dialogs_, "No URL results to save."); });
    return;
  }
  // The folder test opens the folder, once for the whole save; every file is made inside what
  // was opened, so the files land in the folder that was tested whatever happens to its path.
  FolderHandle folder;
  if (guard.Branch(104, [&] { return !folder.Open(ExpandHome(folder_.Text())); })) {
    guard.Step(150, [&] {
      ShowPlainMessage(dialogs_, "Folder does not exist. Please select another folder.");
    });
    return;
  }
  SaveState state;
  guard.Step(108, [&] {
    state.counter = 1;
    state.pending.reserve(kFilesPerSync);
  });
  int64_t count = 0;
  int64_t row = 0;
  bool more = guard.Advance(110, [&] {
    count = results_.Count();
    row = 0;
    return row < count;
  });
  // A failure that every later file would meet too has been reported once; the rows left are
  // not tried. Neither are they once a stop is asked for.
  while (more && !(stopRequested_ && stopRequested_()) && SaveRow(guard, folder, row, state)) {
    more = guard.Advance(142, [&] { return ++row < count; });
  }
  // The files already written whole are finished either way.
  NamePending(guard, folder, state);
  guard.Step(144, [&] { pointer_.SetValue(BusyPointer::kDefault); });
  // The names given reach the disk.
  if (state.named > 0) state.syncs.Add(folder);
  if (const std::optional<FolderSyncs::Failure> failure = state.syncs.SyncAll()) {
    guard.Report(146, FailureText(failure->error, failure->path));
  }
  if (record_) {
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(clock_->WallNow().time_since_epoch()).count();
    for (SavedEntry& entry : state.written) entry.savedAt = now;
    record_->Record(state.written);
  }
  guard.Step(148, [&] { ShowPlainMessage(dialogs_, "Done."); });
}

RowEntry HtmlExport::ReadRow(int64_t row) const {
  return {results_.Text(row), results_.SubItem(row, ResultsList::kTitle),
          results_.SubItem(row, ResultsList::kDescription), results_.SubItem(row, ResultsList::kLink),
          results_.Entry(row)};
}

bool HtmlExport::SaveRow(ErrorGuard& guard, const FolderHandle& folder, int64_t row, SaveState& state) {
  guard.Step(112, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  // A tick that cannot be read counts as no tick: nothing is written for that row.
  if (guard.Branch(114, [&] { return !results_.IsChecked(row); })) return true;
  std::string stem;
  guard.Step(116, [&] { stem = results_.Text(row); });
  guard.Step(118, [&] { stem = ShortenName(CleanFileName(stem)); });
  RowEntry entry;
  guard.Step(120, [&] { entry = ReadRow(row); });

  // The file is written under no name; it gets one only once it is whole and on disk (see
  // NamePending), so an interrupted save leaves no partial file under a name.
  PendingFile pending{row, NameFieldsOf(stem, entry), record_ ? EntryIdentity(entry) : std::string(), entry.address,
                      std::make_unique<ExclusiveFile>(), entry.entry};
  ExclusiveFile& file = *pending.file;
  if (!file.Create(folder)) {
    guard.Report(130, FailureText(file.Error(), file.Path()));
    return !EndsTheSave(file.Error());
  }
  std::optional<bool> written;
  guard.Step(136, [&] { written = file.Write(RenderRow(choices_.format, entry)); });
  if (!written) return true;  // the row could not be rendered: reported, and the save goes on
  if (!*written) {
    guard.Report(136, FailureText(file.Error(), file.Path()));
    return !EndsTheSave(file.Error());
  }
  // The disk starts on it now; the sync before its name then waits for little.
  file.StartSync();
  state.pending.push_back(std::move(pending));
  if (state.pending.size() < kFilesPerSync) return true;
  return NamePending(guard, folder, state);
}

bool HtmlExport::NamePending(ErrorGuard& guard, const FolderHandle& folder, SaveState& state) {
  bool stop = false;
  // All the syncs first: the first waits for the disk, and by then the others are mostly done.
  for (PendingFile& pending : state.pending) {
    ExclusiveFile& file = *pending.file;
    if (file.Sync()) continue;
    stop = stop || EndsTheSave(file.Error());
    file.Remove();
    guard.Report(138, FailureText(file.Error(), file.Path()));
  }
  for (PendingFile& pending : state.pending) {
    if (pending.file->IsOpen() && !stop) stop = !NameFile(guard, folder, pending, state);
  }
  // Files left unnamed after a failure that ends the save vanish here.
  state.pending.clear();
  return !stop;
}

bool HtmlExport::NameFile(ErrorGuard& guard, const FolderHandle& folder, PendingFile& pending,
                          SaveState& state) {
  // Trying a name gives the file that name when it is free, so nothing can slip in between the
  // test and the naming, and nothing there is replaced. Every name tried uses up a number.
  ExclusiveFile& file = *pending.file;
  const std::string extension = FileExtension(choices_.format);
  std::unique_ptr<FolderHandle> subfolder;
  std::error_code subfolderError;
  std::string name;
  ExclusiveFile::Outcome outcome = ExclusiveFile::Outcome::kFailed;
  for (int64_t tries = 0;; ++tries) {
    std::vector<std::string> path;
    guard.Step(122, [&] {
      path = choices_.names.Expand(pending.fields, choices_.names.HasNumber() ? state.counter : tries, extension);
    });
    guard.Step(126, [&] { ++state.counter; });
    subfolderError = OpenSubfolders(folder, path, subfolder, state.syncs);
    if (subfolderError) break;
    // The name test (step 128). An empty name is never taken, so the loop ends.
    name = path.empty() ? std::string() : path.back();
    outcome = file.Name(subfolder ? *subfolder : folder, name);
    if (outcome != ExclusiveFile::Outcome::kNameTaken) break;
  }
  if (subfolderError) {
    guard.Report(124, FailureText(subfolderError, subfolder->Path()));
    // A subfolder's name taken by a file or a link fails this row only.
    return !(EndsTheSave(subfolderError) && subfolderError != std::errc::not_a_directory &&
             subfolderError != std::errc::too_many_symbolic_link_levels);
  }
  if (outcome != ExclusiveFile::Outcome::kNamed) {
    guard.Report(130, FailureText(file.Error(), JoinPath((subfolder ? *subfolder : folder).Path(), name)));
    return !EndsTheSave(file.Error());
  }
  if (!file.Close()) {
    file.Remove();
    guard.Report(138, FailureText(file.Error(), file.Path()));
    return true;
  }
  ++state.named;
  guard.Step(138, [&] {
    if (fileWritten_) fileWritten_(pending.row, file.Path());
    if (record_) state.written.push_back({pending.identity, pending.address, file.Path(), 0});
  });
  // After a stop, the files already written get their names but no more downloads start.
  if (enclosures_ && pending.entry && !pending.entry->Enclosures().empty() && !(stopRequested_ && stopRequested_())) {
    // Named after the entry's file, its extension left out.
    const std::string stem = name.substr(0, name.size() - std::min(name.size(), extension.size()));
    enclosures_->SaveAll(pending.row, *pending.entry, pending.address, subfolder ? *subfolder : folder, stem,
                         state.syncs);
  }
  return true;
}
