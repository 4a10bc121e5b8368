#include "HtmlExport.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ErrorGuard.h"
#include "ExclusiveFile.h"
#include "FileNames.h"
#include "FolderHandle.h"
#include "PathChecks.h"
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

// Runs action on a file being written; when it fails, the file, which cannot be whole, is
// removed before the failure goes on to be reported, and stop says whether it ends the save.
template <class Action>
void RemoveOnFailure(ExclusiveFile& file, bool& stop, const Action& action) {
  try {
    action();
  } catch (const std::system_error& error) {
    stop = EndsTheSave(error.code());
    file.Remove();
    throw;
  } catch (...) {
    file.Remove();
    throw;
  }
}

// The folders of path but its last component, each made and opened inside the one before;
// subfolder is left holding the last of them, or the one that failed (for its path).
std::error_code OpenSubfolders(const FolderHandle& folder, const std::vector<std::string>& path,
                               std::unique_ptr<FolderHandle>& subfolder) {
  subfolder.reset();
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    auto next = std::make_unique<FolderHandle>();
    const std::error_code error = next->OpenInside(subfolder ? *subfolder : folder, path[i]);
    subfolder = std::move(next);
    if (error) return error;
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

void HtmlExport::OnFileWritten(std::function<void(const std::string& path)> observer) {
  fileWritten_ = std::move(observer);
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
  int64_t counter = 0;
  guard.Step(108, [&] { counter = 1; });
  int64_t count = 0;
  int64_t row = 0;
  bool more = guard.Advance(110, [&] {
    count = results_.Count();
    row = 0;
    return row < count;
  });
  // A failure that every later file would meet too has been reported once; the rows left are
  // not tried.
  while (more && SaveRow(guard, folder, row, counter)) {
    more = guard.Advance(142, [&] { return ++row < count; });
  }
  guard.Step(144, [&] { pointer_.SetValue(BusyPointer::kDefault); });
  guard.Step(148, [&] { ShowPlainMessage(dialogs_, "Done."); });
}

RowEntry HtmlExport::ReadRow(int64_t row) const {
  return {results_.Text(row), results_.SubItem(row, ResultsList::kTitle),
          results_.SubItem(row, ResultsList::kDescription), results_.SubItem(row, ResultsList::kLink),
          results_.Entry(row)};
}

bool HtmlExport::SaveRow(ErrorGuard& guard, const FolderHandle& folder, int64_t row,
                         int64_t& counter) {
  guard.Step(112, [&] { pointer_.SetValue(BusyPointer::kBusy); });
  // A tick that cannot be read counts as no tick: nothing is written for that row.
  if (guard.Branch(114, [&] { return !results_.IsChecked(row); })) return true;
  std::string stem;
  guard.Step(116, [&] { stem = results_.Text(row); });
  guard.Step(118, [&] { stem = ShortenName(CleanFileName(stem)); });

  // Trying a name creates the file when the name is free, so nothing can slip in between the
  // test and the opening. Every name tried uses up a number. The path of a file (step 124) is
  // the folder's and the name joined, as ExclusiveFile::Path gives it.
  RowEntry entry;
  guard.Step(120, [&] { entry = ReadRow(row); });
  const NameFields fields = NameFieldsOf(stem, entry);
  const std::string extension = FileExtension(choices_.format);

  ExclusiveFile file;
  std::unique_ptr<FolderHandle> subfolder;
  std::error_code subfolderError;
  for (int64_t tries = 0;; ++tries) {
    std::vector<std::string> path;
    guard.Step(122, [&] { path = choices_.names.Expand(fields, choices_.names.HasNumber() ? counter : tries, extension); });
    guard.Step(126, [&] { ++counter; });
    subfolderError = OpenSubfolders(folder, path, subfolder);
    if (subfolderError) break;
    // The name test (step 128). Create never throws, and an empty name is never taken, so the
    // loop ends.
    const FolderHandle& inside = subfolder ? *subfolder : folder;
    if (file.Create(inside, path.back()) != ExclusiveFile::Outcome::kNameTaken) break;
  }
  bool stop = false;
  if (subfolderError) {
    guard.Step(124, [&] {
      // A subfolder's name taken by a file or a link fails this row only.
      stop = EndsTheSave(subfolderError) && subfolderError != std::errc::not_a_directory &&
             subfolderError != std::errc::too_many_symbolic_link_levels;
      throw std::system_error(subfolderError, subfolder->Path());
    });
    return !stop;
  }
  if (!file.IsOpen()) {
    guard.Step(130, [&] {
      stop = EndsTheSave(file.Error());
      throw std::system_error(file.Error(), file.Path());
    });
    return !stop;
  }
  bool whole = false;
  guard.Step(136, [&] {
    RemoveOnFailure(file, stop, [&] {
      file.Write(RenderRow(choices_.format, entry));
    });
    whole = true;
  });
  if (!whole) return !stop;
  guard.Step(138, [&] {
    RemoveOnFailure(file, stop, [&] { file.Close(); });
    if (fileWritten_) fileWritten_(file.Path());
  });
  return !stop;
}
