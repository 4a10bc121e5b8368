// The reasons given for failed feeds that a run against a server does not easily produce, and
// feeds that gave rows yet failed; the common ones (not a feed, a 404 page, a refused
// connection, no reader) are checked on real runs.
#include "FeedOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FeedOutcomeTest, ReasonNamesTheErrorAndTheStatus) {
  struct Case {
    const char* label;
    int64_t rowsAdded;
    int32_t errorCode;
    std::string errorText;
    int32_t status;
    std::string statusText;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"status without its text", 0, 0, "", 503, "", "HTTP 503"},
      {"error and status", 0, 1007, "Transfer broken", 500, "Internal Server Error",
       "Transfer broken (HTTP 500 Internal Server Error)"},
      {"error number without text", 0, 1099, "", 0, "", "Error 1099"},
      // ReadFeed answers false for any status other than 200; the entries still became rows.
      {"a feed served with a 404", 2, 0, "", 404, "Not Found", "HTTP 404 Not Found"},
      {"a feed served with an unfollowed 302", 1, 0, "", 302, "Found", "HTTP 302 Found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FeedOutcome outcome;
    outcome.address = "http://a.example/feed";
    outcome.rowsAdded = c.rowsAdded;
    outcome.errorCode = c.errorCode;
    outcome.errorText = c.errorText;
    outcome.httpStatus = c.status;
    outcome.httpStatusText = c.statusText;
    EXPECT_TRUE(FeedFailed(outcome));
    EXPECT_EQ(FeedFailureReason(outcome), c.reason);
  }
}

}  // namespace
