// The menu of "Save Results As HTML", opened with a right click or the menu key on the button:
// the format of the files and their name template, each stored in the settings the moment it
// is chosen, so the window keeps its fixed layout and a click still saves.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPushButton>

#include "DialogService.h"
#include "HtmlExport.h"
#include "SettingsStore.h"

class SaveFormatMenu : public QObject {
  Q_OBJECT

 public:
  // The menu of button, started from what settings hold; owned by the button.
  SaveFormatMenu(QPushButton* button, SettingsStore& settings, DialogService& dialogs);

  // The format and names the next save uses: the stored ones, or text and today's names when
  // nothing or something unreadable is stored.
  ExportChoices Choices() const;

  // The menu, for tests to trigger its actions.
  QMenu* Menu() const { return menu_; }

 private:
  void ChooseFormat(OutputFormat format);
  void AskForTemplate();

  SettingsStore& settings_;
  DialogService& dialogs_;
  QMenu* menu_;
};
