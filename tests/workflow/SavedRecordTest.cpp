// The record of what was saved: which identity an entry has, and the database's faults, none of
// which stops a save or loses what the user had.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "FeedItemBuilder.h"
#include "SavedRecord.h"
#include "TempFolder.h"
#include "UnwritableFolder.h"

namespace {

TEST(SavedRecordTest, IdentityIsIdElseLinkElseHash) {
  const RowEntry withId{"a", "T", "D", "http://l/1", FeedItemBuilder().Id("urn:1").Build()};
  const RowEntry withLink{"a", "T", "D", "http://l/1", FeedItemBuilder().Build()};
  const RowEntry neither{"a", "T", "D", "", nullptr};
  const RowEntry moved{"a", "TD", "", "", nullptr};
  EXPECT_EQ(EntryIdentity(withId), "urn:1");
  EXPECT_EQ(EntryIdentity(withLink), "http://l/1");
  EXPECT_EQ(EntryIdentity(neither).rfind("hash:", 0), 0u);
  EXPECT_EQ(EntryIdentity(neither), EntryIdentity(RowEntry{"b", "T", "D", "", nullptr}));
  EXPECT_NE(EntryIdentity(neither), EntryIdentity(moved));
}

// Locked by another instance, not a database, a data folder that takes no files: each is told
// once, and the run goes on; a damaged file is kept aside, byte for byte, and a new one started.
TEST(SavedRecordTest, FaultsAreToldOnceAndNothingIsLost) {
  TempFolder scratch;
  const FakeClock clock;
  const std::string data = (scratch.Path() / "data").string(), damaged = "not a database, but the user's bytes";
  const struct {
    const char* fault;
    std::string folder;
    std::string told;
    bool recordsAfter;
  } cases[] = {
      {"locked", data, "is in use by another instance", false},
      {"corrupt", data, "was set aside as " + data + "/saved.sqlite.damaged-20260101T000000", true},
      {"read-only", UnwritableFolder(scratch) + "feedwright", "cannot keep the record", false},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(data);
    std::filesystem::create_directories(data);
    sqlite3* other = nullptr;
    if (std::string(c.fault) == "locked") {
      SqliteSavedRecord(data, "/out", clock, [](const std::string&) {}).Record({{"x", "a", "/out/x", 1}});
      sqlite3_open((data + "/saved.sqlite").c_str(), &other);
      ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    if (std::string(c.fault) == "corrupt") scratch.Write("data/saved.sqlite", damaged);
    std::vector<std::string> told;
    SqliteSavedRecord record(c.folder, "/out", clock, [&](const std::string& m) { told.push_back(m); }, 50);
    record.Record({{"id", "http://a/", "/out/a.txt", 7}});
    record.Find("id");
    ASSERT_EQ(told.size(), 1u) << c.fault;
    EXPECT_NE(told[0].find(c.told), std::string::npos) << c.fault << ": " << told[0];
    EXPECT_EQ(record.Find("id").has_value(), c.recordsAfter) << c.fault;
    if (c.recordsAfter) {
      EXPECT_EQ(record.Find("id")->file, "/out/a.txt");
      EXPECT_EQ(TempFolder::Read(data + "/saved.sqlite.damaged-20260101T000000"), damaged);
    }
    sqlite3_close(other);
  }
}

// Kept between instances, per output folder; each instance closes its database.
TEST(SavedRecordTest, KeptPerFolderBetweenRuns) {
  TempFolder scratch;
  const long open = TempFolder::OpenFiles();
  const FakeClock clock;
  const auto ignore = [](const std::string&) {};
  SqliteSavedRecord(scratch.Path().string(), "/one", clock, ignore).Record({{"id", "http://a/", "/one/a.txt", 7}});
  const std::optional<SavedEntry> found = SqliteSavedRecord(scratch.Path().string(), "/one", clock, ignore).Find("id");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->savedAt, 7);
  EXPECT_EQ(found->address, "http://a/");
  EXPECT_FALSE(SqliteSavedRecord(scratch.Path().string(), "/two", clock, ignore).Find("id"));
  EXPECT_EQ(TempFolder::OpenFiles(), open);
}

// A group of lookups shares one read, which its own write ends; another instance can write
// only once the group is over.
TEST(SavedRecordTest, GroupedLookupsHoldOneReadUntilTheyEnd) {
  TempFolder scratch;
  const FakeClock clock;
  std::vector<std::string> told;
  const auto tell = [&](const std::string& message) { told.push_back(message); };
  const std::string data = scratch.Path().string();
  SqliteSavedRecord reader(data, "/out", clock, tell, 50);
  reader.BeginLookups();
  EXPECT_FALSE(reader.Find("a"));
  reader.Record({{"a", "http://a/", "/out/a", 1}});
  EXPECT_TRUE(reader.Find("a"));
  SqliteSavedRecord(data, "/out", clock, tell, 50).Record({{"b", "http://a/", "/out/b", 1}});
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("in use by another instance"), std::string::npos) << told[0];
  reader.EndLookups();
  SqliteSavedRecord(data, "/out", clock, tell, 50).Record({{"c", "http://a/", "/out/c", 1}});
  EXPECT_EQ(told.size(), 1u);
  EXPECT_TRUE(reader.Find("c") && reader.Find("a") && !reader.Find("b"));
}

}  // namespace
