// Told about each feed of a retrieval run as it is read: the window marks the URL-list rows
// whose feed failed, the batch mode prints its progress lines and its summary from it.
#pragma once

#include <cstdint>
#include <string>

#include "FeedOutcome.h"

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // The run has found addresses and emptied the results list; no feed has been read yet.
  virtual void RunStarted() {}
  // The feed of URL-list row `row` (from 0) is about to be read; count is the number of rows
  // the run goes through.
  virtual void FeedStarting(int64_t /*row*/, int64_t /*count*/, const std::string& /*address*/) {}
  // Page `page` (2 and up) of the archive of row `row`'s feed, at address, is about to be read.
  virtual void PageStarting(int64_t /*row*/, int64_t /*page*/, const std::string& /*address*/) {}
  // The feed has been read and its rows added to the results list.
  virtual void FeedFinished(const FeedOutcome& /*outcome*/) {}
  // The run has shown its closing message ("Done." or "Stopped.") and the box is closed. Not
  // called when the window closes during the run.
  virtual void RunFinished() {}
};
