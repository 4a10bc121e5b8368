// Starts the program: the window, prepared, then the event loop until the window closes.
#include <QApplication>

#include "AppInfo.h"
#include "Form1.h"
#include "QtDialogService.h"
#include "SettingsStore.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QtDialogService dialogs;
  SettingsStore settings{QString::fromUtf8(AppInfo::kSettingsApplication)};
  Form1 form(dialogs, settings, QCoreApplication::applicationDirPath());
  dialogs.SetParent(&form);
  form.Form_Load();
  form.show();
  return application.exec();
}
