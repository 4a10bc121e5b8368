#include "UrlFileLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <vector>

#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "WorkflowFakes.h"

namespace {

using Rows = std::vector<std::string>;

const std::string kMark = "\xEF\xBB\xBF";

class LoadUrlFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  VectorUrlList list_;
  ScriptedDialogs dialogs_;
  CountingEvents events_;
};

TEST_F(LoadUrlFileTest, LineRules) {
  struct Case {
    const char* label;
    std::string bytes;
    Rows expected;
  };
  const std::string longLine(64 * 1024 - 1, 'a');
  const std::vector<Case> cases = {
      {"CR LF lines", "a\r\nb\r\n", {"a", "b"}},
      {"CR LF, blank line in the middle", "a\r\n\r\nb\r\n", {"a", "", "b"}},
      {"last line without terminator", "a\r\nb", {"a", "b"}},
      {"lone CR", "a\rb\r", {"a", "b"}},
      {"two CRs give an empty row", "a\r\r", {"a", ""}},
      {"LF only, final LF adds no row", "a\nb\n", {"a", "b"}},
      {"LF only, blank line in the middle", "a\n\nb\n", {"a", "", "b"}},
      {"LF only, no final LF", "a\nb", {"a", "b"}},
      {"only LFs", "\n\n", {"", ""}},
      {"only CR LF", "\r\n", {""}},
      {"LF then CR", "a\n\rb", {"a", "", "b"}},
      {"mixed ends", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"nothing trimmed", "  http://x  \r\n\t\r\n", {"  http://x  ", "\t"}},
      {"single line", "http://x", {"http://x"}},
      {"empty file", "", {}},
      {"byte-order mark dropped", kMark + "http://a\r\nhttp://b\r\n", {"http://a", "http://b"}},
      {"byte-order mark alone", kMark, {}},
      {"only the first mark is dropped", kMark + kMark + "a", {kMark + "a"}},
      {"mark later in the file kept", "a\r\n" + kMark + "b", {"a", kMark + "b"}},
      {"start of a mark is text", "\xEF\xBBx", {"\xEF\xBBx"}},
      {"short file of a mark's first byte", "\xEF", {"\xEF"}},
      {"CR LF split across reads", longLine + "\r\nb", {longLine, "b"}},
      {"NUL bytes kept", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    list_.rows.clear();
    LoadUrlFile(list_, folder_.Write("urls.txt", c.bytes), dialogs_, events_);
    EXPECT_EQ(list_.rows, c.expected);
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(LoadUrlFileTest, MissingFileShowsFileNotFound) {
  list_.rows = {"kept"};
  for (const std::string& path : {(folder_.Path() / "missing.txt").string(), std::string()}) {
    SCOPED_TRACE(path);
    dialogs_.messages.clear();
    LoadUrlFile(list_, path, dialogs_, events_);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, "File not found");
    EXPECT_EQ(dialogs_.messages[0].title, "Feedwright");
    EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
  }
  EXPECT_EQ(list_.rows, Rows{"kept"});
  EXPECT_EQ(events_.calls, 0);
}

TEST_F(LoadUrlFileTest, FolderAndDeviceAreRefusedInsteadOfRead) {
  for (const std::string& path : {folder_.Path().string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    EXPECT_THROW(LoadUrlFile(list_, path, dialogs_, events_), std::system_error);
    EXPECT_TRUE(list_.rows.empty());
  }
}

TEST_F(LoadUrlFileTest, RowAtTheCeilingIsAcceptedAndALongerOneStopsTheLoad) {
  const std::string row(kMaxUrlFileRowBytes, 'x');
  EXPECT_EQ(LoadUrlFile(list_, folder_.Write("urls.txt", row), dialogs_, events_),
            UrlFileLoad::kLoaded);
  EXPECT_EQ(list_.rows, Rows{row});
  EXPECT_TRUE(dialogs_.messages.empty());
  const std::string bytes = "a\r\n" + row + "x\r\nb\r\n";
  EXPECT_EQ(LoadUrlFile(list_, folder_.Write("urls.txt", bytes), dialogs_, events_),
            UrlFileLoad::kTooLarge);
  EXPECT_EQ(list_.rows, (Rows{row, "a"}));
  EXPECT_EQ(dialogs_.MessageTexts(),
            Rows{"An address in the file is longer than 1 MiB, on line 2. The load stopped "
                 "before that line."});
  EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
}

TEST_F(LoadUrlFileTest, LoadStopsAfterTheMostRowsOneFileMayGive) {
  std::string lines;
  for (std::size_t i = 0; i < kMaxUrlFileRows; ++i) lines += "a\n";
  // The end of the last line is no row of its own, so the full count passes in silence.
  EXPECT_EQ(LoadUrlFile(list_, folder_.Write("urls.txt", lines), dialogs_, events_),
            UrlFileLoad::kLoaded);
  EXPECT_EQ(list_.rows.size(), kMaxUrlFileRows);
  EXPECT_TRUE(dialogs_.messages.empty());

  list_.rows.clear();
  EXPECT_EQ(LoadUrlFile(list_, folder_.Write("urls.txt", lines + "b\n"), dialogs_, events_),
            UrlFileLoad::kTooManyRows);
  EXPECT_EQ(list_.rows.size(), kMaxUrlFileRows);
  EXPECT_EQ(list_.rows.back(), "a");
  EXPECT_EQ(dialogs_.MessageTexts(),
            Rows{"The file has more than 100,000 lines. The load stopped after the first "
                 "100,000."});
}

TEST_F(LoadUrlFileTest, EventsBeforeEachLine) {
  // Three lines, three passes, and each pass sees the rows appended before it.
  std::vector<Rows> seen;
  events_.onProcess = [&](int) { seen.push_back(list_.rows); };
  LoadUrlFile(list_, folder_.Write("urls.txt", "a\nb\r\nc"), dialogs_, events_);
  EXPECT_EQ(seen, (std::vector<Rows>{{}, {"a"}, {"a", "b"}}));
  EXPECT_EQ(list_.rows, (Rows{"a", "b", "c"}));
}

TEST_F(LoadUrlFileTest, ClearDuringTheLoadKeepsTheRemainingLines) {
  events_.onProcess = [&](int call) {
    if (call == 3) list_.rows.clear();
  };
  LoadUrlFile(list_, folder_.Write("urls.txt", "a\r\nb\r\nc\r\nd"), dialogs_, events_);
  EXPECT_EQ(list_.rows, (Rows{"c", "d"}));
}

TEST_F(LoadUrlFileTest, FailingAppendLeavesEarlierRows) {
  list_.rows = {"first"};
  int appends = 0;
  list_.fail = [&](std::string_view member) {
    if (member == "Append" && ++appends == 2) throw std::runtime_error("List refused");
  };
  EXPECT_THROW(LoadUrlFile(list_, folder_.Write("urls.txt", "a\r\nb\r\nc"), dialogs_, events_),
               std::runtime_error);
  EXPECT_EQ(list_.rows, (Rows{"first", "a"}));
}

}  // namespace
