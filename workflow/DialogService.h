// Every modal dialog the program shows goes through this interface, so tests can answer them.
#pragma once

#include <string>

class DialogService {
 public:
  enum class Icon { None, Exclamation };

  virtual ~DialogService() = default;

  // A modal message box with a single OK button; returns when the user has dismissed it.
  virtual void ShowMessage(const std::string& text, const std::string& title, Icon icon) = 0;

  // A modal text prompt; the entered text, or empty text when the user cancels.
  virtual std::string Prompt(const std::string& prompt, const std::string& title,
                             const std::string& defaultText) = 0;

  // A modal open-file dialog for one file. filter is "Label|pattern|Label|pattern...".
  // Returns the chosen path, or empty text when the user cancels.
  virtual std::string OpenFile(const std::string& title, const std::string& filter) = 0;

  // A modal folder chooser opened at startFolder (when it names one); the chosen folder's path,
  // or empty text when nothing was chosen.
  virtual std::string ChooseFolder(const std::string& prompt, const std::string& startFolder) = 0;
};

// A plain message: the text with an OK button only, no icon, under the application title. Every
// ordinary message of the program ("Done.", "File not found", ...) goes through here.
void ShowPlainMessage(DialogService& dialogs, const std::string& text);
