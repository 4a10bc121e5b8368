// The batch summary keeps a bounded list of failed feeds however many fail.
#include "BatchReport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(BatchReportTest, ListsTheFirstFailuresAndCountsTheRest) {
  std::ostringstream err;
  BatchReport report(err);
  const int64_t count = static_cast<int64_t>(BatchReport::kMaxListedFailures) + 3;
  for (int64_t row = 0; row < count; ++row) {
    FeedOutcome outcome;
    outcome.row = row;
    outcome.address = "http://a.example/" + std::to_string(row);
    // Every feed fails but the first, which leaves two more failures than are listed.
    outcome.read = row == 0;
    outcome.httpStatus = 500;
    report.FeedStarting(row, count, outcome.address);
    report.FeedFinished(outcome);
  }
  err.str("");
  report.WriteSummary(0, 0);
  EXPECT_EQ(report.FeedsFailed(), count - 1);

  std::vector<std::string> lines;
  std::istringstream in(err.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4 + BatchReport::kMaxListedFailures + 1);
  EXPECT_EQ(lines[0], "Feeds read: 1 of " + std::to_string(count));
  EXPECT_EQ(lines[3], "Failed feeds: " + std::to_string(count - 1));
  EXPECT_EQ(lines[4], "  [2/" + std::to_string(count) + "] http://a.example/1: HTTP 500");
  EXPECT_EQ(lines[lines.size() - 2], "  [1001/" + std::to_string(count) +
                                         "] http://a.example/1000: HTTP 500");
  EXPECT_EQ(lines.back(), "  ... and 2 more failed feeds");
}

}  // namespace
