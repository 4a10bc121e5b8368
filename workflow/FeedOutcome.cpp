#include "FeedOutcome.h"

bool FeedFailed(const FeedOutcome& outcome) { return !outcome.read; }

std::string FeedFailureReason(const FeedOutcome& outcome) {
  std::string status;
  if (outcome.httpStatus != 0) {
    status = "HTTP " + std::to_string(outcome.httpStatus);
    if (!outcome.httpStatusText.empty()) status += " " + outcome.httpStatusText;
  }
  std::string error = outcome.errorText;
  if (error.empty() && outcome.errorCode != 0) error = "Error " + std::to_string(outcome.errorCode);

  if (!error.empty()) return status.empty() ? error : error + " (" + status + ")";
  if (outcome.httpStatus == 200 && outcome.rowsAdded == 0) {
    // The reader records nothing for a body that is not XML, and tells a dialect by its
    // entries, so a feed without any looks the same as an HTML page.
    return "The response is not an RSS, RDF, Atom or JSON feed with entries (" + status + ")";
  }
  if (!status.empty()) return status;
  return "No response was received";
}
