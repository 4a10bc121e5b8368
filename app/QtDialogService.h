// The program's dialogs, shown with Qt: message boxes, the text prompt, the open-file dialog and
// the folder chooser.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "DialogService.h"

class QtDialogService : public DialogService {
 public:
  // Dialogs are centred on parent once it is set; until then they stand alone.
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text, const std::string& title, Icon icon) override;
  std::string Prompt(const std::string& prompt, const std::string& title,
                     const std::string& defaultText) override;
  std::string OpenFile(const std::string& title, const std::string& filter) override;
  std::string ChooseFolder(const std::string& prompt, const std::string& startFolder) override;

  // "Label|pattern|Label|pattern" as Qt's "Label (pattern);;Label (pattern)". Patterns separated
  // by ";" become space-separated, "*.*" matches every file, and a label that already ends in its
  // pattern in parentheses is kept as it is. A label without a pattern is dropped.
  static QString QtFilter(const QString& filter);

  // The text as a box shows it: CR LF and lone CR become line breaks.
  static QString DisplayText(const QString& text);

  // The title itself, or the application title when it is empty.
  static QString TitleOrDefault(const std::string& title);

 private:
  QPointer<QWidget> parent_;
};
