// Starts the program: the batch front end for its options, without a window (and without a
// display); otherwise the window, prepared and shown, with the files named on the command line
// loaded into its URL list, then the event loop until the window closes.
#include <QApplication>
#include <QTimer>

#include <iostream>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "BatchMode.h"
#include "CommandLine.h"
#include "Form1.h"
#include "QtDialogService.h"
#include "SettingsStore.h"
#include "TextEscapes.h"

int main(int argc, char* argv[]) {
  const CommandLine command = ReadCommandLine(std::vector<std::string>(argv, argv + argc));
  switch (command.frontEnd) {
    case CommandLine::FrontEnd::kBatch:
      return RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    case CommandLine::FrontEnd::kUsageError:
      std::cerr << UsageErrorText(DisplayText(command.error));
      return kBatchUsage;
    case CommandLine::FrontEnd::kWindow:
      break;
  }
  QtArgumentVector qtArguments(command.qtArguments);
  QApplication application(qtArguments.Count(), qtArguments.Values());
  // Lets a Wayland desktop match the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(FEEDWRIGHT_APP_ID));
  QtDialogService dialogs;
  SettingsStore settings{QString::fromUtf8(AppInfo::kSettingsApplication)};
  Form1 form(dialogs, settings, QCoreApplication::applicationDirPath());
  dialogs.SetParent(&form);
  form.Form_Load();
  form.show();
  // Inside the event loop, as a button's command runs: its messages show over the window, and
  // closing the window during a long load ends the loop.
  QTimer::singleShot(0, &form, [&] { form.LoadUrlFiles(command.files); });
  return application.exec();
}
