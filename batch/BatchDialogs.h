// The dialogs of the batch mode, where nobody is there to answer: messages become lines on
// standard error, and nothing ever waits for a user.
#pragma once

#include <ostream>
#include <string>

#include "DialogService.h"

class BatchDialogs : public DialogService {
 public:
  // Lines go to err, each opened by "feedwright: ".
  explicit BatchDialogs(std::ostream& err);

  // Writes the message at once, one line per line of the text, control characters shown
  // escaped. "Done." is left out: the batch's own summary says more. An error report (the
  // exclamation icon) is counted and written with its title, description and location, without
  // the request for a screenshot that follows them.
  void ShowMessage(const std::string& text, const std::string& title, Icon icon) override;

  // The batch never asks: each of these is a programming error and throws std::logic_error.
  std::string Prompt(const std::string& prompt, const std::string& title,
                     const std::string& defaultText) override;
  std::string OpenFile(const std::string& title, const std::string& filter) override;
  std::string ChooseFolder(const std::string& prompt, const std::string& startFolder) override;

  // The error reports shown so far.
  int ErrorReports() const { return errorReports_; }

 private:
  std::ostream& err_;
  int errorReports_ = 0;
};
