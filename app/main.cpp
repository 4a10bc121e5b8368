// Starts the program: with options, one job in batch mode without a window (and without a
// display); without, the window, prepared, then the event loop until the window closes.
#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "BatchMode.h"
#include "Form1.h"
#include "QtDialogService.h"
#include "SettingsStore.h"

int main(int argc, char* argv[]) {
  if (argc > 1) {
    return RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  }
  QApplication application(argc, argv);
  QtDialogService dialogs;
  SettingsStore settings{QString::fromUtf8(AppInfo::kSettingsApplication)};
  Form1 form(dialogs, settings, QCoreApplication::applicationDirPath());
  dialogs.SetParent(&form);
  form.Form_Load();
  form.show();
  return application.exec();
}
