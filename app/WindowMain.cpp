// The window module's entry point: the window prepared and shown, with the files named on the
// command line loaded into its URL list, then the event loop until the window closes.
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <string>
#include <vector>

#include "AppInfo.h"
#include "CommandLine.h"
#include "Form1.h"
#include "HttpCache.h"
#include "SavedRecord.h"
#include "QtDialogService.h"
#include "SettingsStore.h"
#include "WindowModule.h"

int FeedwrightWindowMain(int argc, char* argv[]) {
  const CommandLine command = ReadCommandLine(std::vector<std::string>(argv, argv + argc));
  QtArgumentVector qtArguments(command.qtArguments);
  QApplication application(qtArguments.Count(), qtArguments.Values());
  // Lets a Wayland desktop match the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(FEEDWRIGHT_APP_ID));
  QtDialogService dialogs;
  SettingsStore settings{QString::fromUtf8(AppInfo::kSettingsApplication)};
  // The process is the program's, so this is the executable's folder, not the module's.
  Form1 form(dialogs, settings, QCoreApplication::applicationDirPath());
  dialogs.SetParent(&form);
  RetrievalOptions retrieval;
  // The window asks for unchanged feeds only if changed, as the batch mode does.
  const std::string cacheFolder = HttpCache::UserFolder();
  if (!cacheFolder.empty()) retrieval.cache = std::make_shared<HttpCache>(cacheFolder);
  form.SetRetrievalOptions(retrieval);
  form.SetRecordFolder(SqliteSavedRecord::UserFolder());
  form.Form_Load();
  if (const QScreen* screen = form.screen()) {
    form.FitScreen(screen->availableGeometry(), screen->devicePixelRatio());
  }
  form.show();
  // Inside the event loop, as a button's command runs: its messages show over the window, and
  // closing the window during a long load ends the loop.
  QTimer::singleShot(0, &form, [&] { form.LoadUrlFiles(command.files); });
  return application.exec();
}
