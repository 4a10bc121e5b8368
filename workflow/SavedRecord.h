// The record of what was saved: every file written is noted with its entry's identity, the
// feed's address, the file's path and the time, per output folder, so that a later run can
// save only the entries that are new. Kept in an SQLite database in the user's data folder.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "OutputFormats.h"

struct sqlite3;
struct sqlite3_stmt;

// What identifies an entry between runs: its Id; else its link; else a hash of its title and
// description (marked "hash:" so that it never equals a link).
std::string EntryIdentity(const RowEntry& row);

// One entry saved into a folder.
struct SavedEntry {
  std::string identity;
  std::string address;
  // The file's path; empty for an entry recorded by --catch-up, which wrote no file.
  std::string file;
  // Seconds since 1970, UTC.
  int64_t savedAt = 0;
};

class SavedRecord {
 public:
  virtual ~SavedRecord() = default;
  // The entry saved into the folder under identity, if any.
  virtual std::optional<SavedEntry> Find(const std::string& identity) const = 0;
  // Notes the entries as saved into the folder, all at once; an identity noted before takes the
  // newer file and time.
  virtual void Record(const std::vector<SavedEntry>& entries) = 0;
  // The lookups from BeginLookups to EndLookups may share one read of the record, which makes
  // each of them far cheaper; a writer elsewhere waits meanwhile, so keep the group short. By
  // default each lookup reads on its own.
  virtual void BeginLookups() {}
  virtual void EndLookups() {}
};

// The record kept in memory, for tests and for a run without a database.
class MemorySavedRecord : public SavedRecord {
 public:
  std::optional<SavedEntry> Find(const std::string& identity) const override;
  void Record(const std::vector<SavedEntry>& entries) override;

 private:
  std::map<std::string, SavedEntry> entries_;
};

// The record of one output folder in the database saved.sqlite of a data folder.
// Nothing here is ever fatal: a database that another instance holds locked is waited for
// (busyMilliseconds), then left alone for the run; a corrupt file, or one that is no database,
// is renamed aside with a time suffix and a new one started; a data folder that cannot be
// written means no record for the run. Each of these is told once through report, and the
// run then saves as it would without a record.
class SqliteSavedRecord : public SavedRecord {
 public:
  static constexpr int kBusyMilliseconds = 5000;

  // folderKey is the output folder's real path.
  SqliteSavedRecord(const std::string& dataFolder, std::string folderKey, const Clock& clock,
                    std::function<void(const std::string&)> report, int busyMilliseconds = kBusyMilliseconds);
  ~SqliteSavedRecord() override;
  SqliteSavedRecord(const SqliteSavedRecord&) = delete;
  SqliteSavedRecord& operator=(const SqliteSavedRecord&) = delete;

  std::optional<SavedEntry> Find(const std::string& identity) const override;
  void Record(const std::vector<SavedEntry>& entries) override;
  // One read transaction from the first lookup on; Record ends it first.
  void BeginLookups() override { grouped_ = true; }
  void EndLookups() override;

  // Whether the database is in use; false once a fault has been told.
  bool IsOpen() const { return db_ != nullptr; }

  // $XDG_DATA_HOME/feedwright, else ~/.local/share/feedwright; empty when neither is known.
  static std::string UserFolder();

 private:
  // Opens the database and makes its table; true when that worked.
  bool OpenDatabase();
  // Handles the result code of an SQLite call that failed: closes the database, tells why once,
  // and sets a damaged file aside. Corrupt gives whether the file was set aside.
  bool Fault(int code, const std::string& doing) const;
  void Close() const;
  // Ends the read transaction of a group of lookups, if one is open.
  void EndRead() const;

  std::string path_;
  std::string folderKey_;
  const Clock& clock_;
  std::function<void(const std::string&)> report_;
  int busyMilliseconds_;
  mutable sqlite3* db_ = nullptr;
  // The statement of Find, prepared at its first use; finalized with the database.
  mutable sqlite3_stmt* find_ = nullptr;
  mutable bool told_ = false;
  mutable bool retried_ = false;
  bool grouped_ = false;
  // Whether a read transaction of a group of lookups is open.
  mutable bool reading_ = false;
};

// The record of the output folder at folderPath in the user's data folder, or nothing when the
// folder has no real path or there is no data folder. A database held by another instance is
// waited for busyMilliseconds; the window waits less than a batch run, as it must not freeze.
std::unique_ptr<SavedRecord> OpenSavedRecord(const std::string& dataFolder, const std::string& folderPath,
                                             const Clock& clock, std::function<void(const std::string&)> report,
                                             int busyMilliseconds = SqliteSavedRecord::kBusyMilliseconds);
