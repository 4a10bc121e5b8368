#include "SavedRecord.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

// FNV-1a: stable across runs and builds, which std::hash is not.
uint64_t Hash64(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
  return hash;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// The wall time as 20260101T000000, for the name of a file set aside.
std::string TimeSuffix(Clock::WallTime time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &parts);
  return text;
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS saved ("
    " folder TEXT NOT NULL, identity TEXT NOT NULL, address TEXT NOT NULL,"
    " file TEXT NOT NULL, saved_at INTEGER NOT NULL, PRIMARY KEY (folder, identity))";

// A statement finalized however its scope ends.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  ~Statement() { sqlite3_finalize(handle); }
};

void Bind(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string Column(sqlite3_stmt* statement, int index) {
  const unsigned char* text = sqlite3_column_text(statement, index);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement, index)))
              : std::string();
}

}  // namespace

std::string EntryIdentity(const RowEntry& row) {
  if (row.entry && !row.entry->Id().empty()) return row.entry->Id();
  if (!row.link.empty()) return row.link;
  // The title's length first, so that moving text between the two changes the hash.
  return "hash:" + Hex(Hash64(std::to_string(row.title.size()) + ":" + row.title + row.description));
}

std::optional<SavedEntry> MemorySavedRecord::Find(const std::string& identity) const {
  const auto found = entries_.find(identity);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

void MemorySavedRecord::Record(const std::vector<SavedEntry>& entries) {
  for (const SavedEntry& entry : entries) entries_[entry.identity] = entry;
}

SqliteSavedRecord::SqliteSavedRecord(const std::string& dataFolder, std::string folderKey, const Clock& clock,
                                     std::function<void(const std::string&)> report, int busyMilliseconds)
    : path_(dataFolder + "/saved.sqlite"),
      folderKey_(std::move(folderKey)),
      clock_(clock),
      report_(std::move(report)),
      busyMilliseconds_(busyMilliseconds) {
  std::error_code error;
  std::filesystem::create_directories(dataFolder, error);
  if (error) {
    told_ = true;
    report_("cannot keep the record of saved entries in " + dataFolder + ": " + error.message() +
            "; this run saves without it");
    return;
  }
  OpenDatabase();
}

SqliteSavedRecord::~SqliteSavedRecord() { Close(); }

void SqliteSavedRecord::Close() const {
  sqlite3_finalize(find_);
  find_ = nullptr;
  sqlite3_close_v2(db_);
  db_ = nullptr;
  reading_ = false;
}

void SqliteSavedRecord::EndRead() const {
  if (reading_ && db_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  reading_ = false;
}

void SqliteSavedRecord::EndLookups() {
  grouped_ = false;
  EndRead();
}

bool SqliteSavedRecord::OpenDatabase() {
  int code = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code == SQLITE_OK) {
    sqlite3_busy_timeout(db_, busyMilliseconds_);
    code = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
  }
  if (code == SQLITE_OK) return true;
  // A damaged file set aside gets one new database in its place.
  if (Fault(code, "open") && !retried_) {
    retried_ = true;
    told_ = true;
    return OpenDatabase();
  }
  return false;
}

bool SqliteSavedRecord::Fault(int code, const std::string& doing) const {
  const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  Close();
  const int primary = code & 0xff;
  const bool damaged = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
  bool setAside = false;
  std::string message;
  if (damaged) {
    // Renamed, never removed: what was there may still be of use to its owner.
    const std::string aside = path_ + ".damaged-" + TimeSuffix(clock_.WallNow());
    std::error_code error;
    std::filesystem::rename(path_, aside, error);
    setAside = !error;
    message = setAside ? "the record of saved entries " + path_ + " was damaged (" + reason + "); it was set aside as " +
                             aside + " and a new one started"
                       : "the record of saved entries " + path_ + " is damaged (" + reason +
                             ") and could not be set aside; this run saves without it";
  } else if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    message = "the record of saved entries " + path_ + " is in use by another instance (waited " +
              std::to_string(busyMilliseconds_ / 1000.0).substr(0, 3) + " seconds); this run saves without it";
  } else {
    message = "cannot " + doing + " the record of saved entries " + path_ + ": " + reason +
              "; this run saves without it";
  }
  if (!told_) report_(message);
  told_ = true;
  return setAside;
}

std::optional<SavedEntry> SqliteSavedRecord::Find(const std::string& identity) const {
  if (!db_) return std::nullopt;
  // A deferred transaction takes its lock at the first read and keeps it until EndLookups.
  if (grouped_ && !reading_) reading_ = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  // Prepared once: a run looks up every row it adds, and preparing costs more than the lookup.
  int code = find_ ? SQLITE_OK
                   : sqlite3_prepare_v2(db_, "SELECT address, file, saved_at FROM saved WHERE folder = ?1 AND identity = ?2",
                                        -1, &find_, nullptr);
  if (code == SQLITE_OK) {
    Bind(find_, 1, folderKey_);
    Bind(find_, 2, identity);
    code = sqlite3_step(find_);
  }
  std::optional<SavedEntry> found;
  if (code == SQLITE_ROW) found = SavedEntry{identity, Column(find_, 0), Column(find_, 1), sqlite3_column_int64(find_, 2)};
  // Reset at once: a statement left stepping would hold its read open.
  if (find_) sqlite3_reset(find_);
  if (code != SQLITE_ROW && code != SQLITE_DONE && Fault(code, "read") && !retried_) {
    retried_ = true;
    const_cast<SqliteSavedRecord*>(this)->OpenDatabase();
  }
  return found;
}

void SqliteSavedRecord::Record(const std::vector<SavedEntry>& entries) {
  if (!db_ || entries.empty()) return;
  // The read of a group of lookups ends here: a write cannot start inside it. The next lookup of
  // the group starts another.
  EndRead();
  int code = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  Statement statement;
  if (code == SQLITE_OK) {
    code = sqlite3_prepare_v2(db_,
                              "INSERT OR REPLACE INTO saved (folder, identity, address, file, saved_at)"
                              " VALUES (?1, ?2, ?3, ?4, ?5)",
                              -1, &statement.handle, nullptr);
  }
  for (std::size_t i = 0; code == SQLITE_OK && i < entries.size(); ++i) {
    const SavedEntry& entry = entries[i];
    sqlite3_reset(statement.handle);
    Bind(statement.handle, 1, folderKey_);
    Bind(statement.handle, 2, entry.identity);
    Bind(statement.handle, 3, entry.address);
    Bind(statement.handle, 4, entry.file);
    sqlite3_bind_int64(statement.handle, 5, entry.savedAt);
    code = sqlite3_step(statement.handle);
    if (code == SQLITE_DONE) code = SQLITE_OK;
  }
  sqlite3_finalize(statement.handle);
  statement.handle = nullptr;
  if (code == SQLITE_OK) code = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) return;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  // A database found damaged here is set aside and the entries go into a new one.
  if (Fault(code, "write") && !retried_) {
    retried_ = true;
    if (OpenDatabase()) Record(entries);
  }
}

std::string SqliteSavedRecord::UserFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  // The base directory rules ask for an absolute path; a relative one is ignored.
  if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/feedwright";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/feedwright";
  return {};
}

std::unique_ptr<SavedRecord> OpenSavedRecord(const std::string& dataFolder, const std::string& folderPath,
                                             const Clock& clock, std::function<void(const std::string&)> report,
                                             int busyMilliseconds) {
  if (dataFolder.empty()) return nullptr;
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(folderPath, error);
  if (error) return nullptr;
  return std::make_unique<SqliteSavedRecord>(dataFolder, real.string(), clock, std::move(report), busyMilliseconds);
}
