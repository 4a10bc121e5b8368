// The reasons given for failed feeds that a run against a server does not easily produce; the
// common ones (not a feed, a 404, a refused connection, no reader) are checked on real runs.
#include "FeedOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FeedOutcomeTest, ReasonNamesTheErrorAndTheStatus) {
  struct Case {
    const char* label;
    int32_t errorCode;
    std::string errorText;
    int32_t status;
    std::string statusText;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"status without its text", 0, "", 503, "", "HTTP 503"},
      {"error and status", 1007, "Transfer broken", 500, "Internal Server Error",
       "Transfer broken (HTTP 500 Internal Server Error)"},
      {"error number without text", 1099, "", 0, "", "Error 1099"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FeedOutcome outcome;
    outcome.address = "http://a.example/feed";
    outcome.errorCode = c.errorCode;
    outcome.errorText = c.errorText;
    outcome.httpStatus = c.status;
    outcome.httpStatusText = c.statusText;
    EXPECT_TRUE(FeedFailed(outcome));
    EXPECT_EQ(FeedFailureReason(outcome), c.reason);
  }
}

}  // namespace
