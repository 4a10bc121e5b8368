#include "FeedOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

FeedOutcome Outcome(bool read, int64_t rows, int32_t errorCode, std::string errorText,
                    int32_t status, std::string statusText) {
  FeedOutcome outcome;
  outcome.address = "http://a.example/feed";
  outcome.read = read;
  outcome.rowsAdded = rows;
  outcome.errorCode = errorCode;
  outcome.errorText = std::move(errorText);
  outcome.httpStatus = status;
  outcome.httpStatusText = std::move(statusText);
  return outcome;
}

TEST(FeedOutcomeTest, FailedOnlyWhenTheReadFailedAndAddedNothing) {
  struct Case {
    const char* label;
    FeedOutcome outcome;
    bool failed;
  };
  const std::vector<Case> cases = {
      {"read with entries", Outcome(true, 3, 0, "", 200, "OK"), false},
      {"read without entries", Outcome(true, 0, 0, "", 200, "OK"), false},
      {"entries with status 404", Outcome(false, 2, 0, "", 404, "Not Found"), false},
      {"nothing, status 404", Outcome(false, 0, 0, "", 404, "Not Found"), true},
      {"connection refused", Outcome(false, 0, 1003, "Connection refused", 0, ""), true},
      {"HTML page", Outcome(false, 0, 0, "", 200, "OK"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FeedFailed(c.outcome), c.failed);
  }
}

TEST(FeedOutcomeTest, ReasonNamesTheErrorAndTheStatus) {
  struct Case {
    const char* label;
    FeedOutcome outcome;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"error without a response",
       Outcome(false, 0, 1003, "Connection refused: 127.0.0.1 port 1", 0, ""),
       "Connection refused: 127.0.0.1 port 1"},
      {"status only", Outcome(false, 0, 0, "", 404, "Not Found"), "HTTP 404 Not Found"},
      {"status without its text", Outcome(false, 0, 0, "", 503, ""), "HTTP 503"},
      {"error and status", Outcome(false, 0, 1007, "Transfer broken", 500, "Internal Server Error"),
       "Transfer broken (HTTP 500 Internal Server Error)"},
      {"not a feed", Outcome(false, 0, 0, "", 200, "OK"),
       "The response is not an RSS, RDF or Atom feed with entries (HTTP 200 OK)"},
      {"error number without text", Outcome(false, 0, 1099, "", 0, ""), "Error 1099"},
      {"nothing at all", Outcome(false, 0, 0, "", 0, ""), "No response was received"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FeedFailureReason(c.outcome), c.reason);
  }
}

}  // namespace
