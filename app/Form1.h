// The program's one window: the URL list, the results list, the command buttons, the output
// folder field and the progress bar, with the preparation that runs before it is shown.
#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DesktopOpener.h"
#include "DialogService.h"
#include "PointerState.h"
#include "RetrievalRun.h"
#include "RunState.h"
#include "SettingsStore.h"

class FailedFeedMarks;
class LineEditFolderField;
class ListViewResultsList;
class ListViewUrlList;
class ProgressBarSink;
class EnclosureSetting;
class SaveFormatMenu;
class QtEventPump;
class ResultActions;
class ResultsHeader;
class SavedRecord;
class QAction;
class UrlListCommands;
class WindowFit;
struct DroppedItem;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // Gives the user's desktop folder, or an empty text when there is none.
  using DesktopLocator = std::function<QString()>;
  static QString StandardDesktop();

  // programFolder is where the optional skin (x/o.cjs) and hand cursor (HAND-M.CUR) are looked for.
  Form1(DialogService& dialogs, SettingsStore& settings, QString programFolder,
        DesktopLocator desktop = &Form1::StandardDesktop, QWidget* parent = nullptr);
  ~Form1() override;

  // The window's preparation: skin, hand cursor, caption and icon, application title, output
  // folder, columns. Each step runs under the error guard; call it once before showing the window.
  void Form_Load();

  // Loads each file into the URL list, in order, as "Load RSS URLs From File" loads a chosen
  // one: the same messages, and a failure reported under that command. Stops when the window
  // closes. For the files named on the command line.
  void LoadUrlFiles(const std::vector<std::string>& paths);

  // The window's pointer: 0 arrow, 11 hourglass, 99 hand.
  int MousePointer() const { return pointer_.Value(); }
  void SetMousePointer(int value) { pointer_.SetValue(value); }
  // Whether the window has a hand cursor picture from HAND-M.CUR.
  bool HasHandCursor() const { return pointer_.HasHandCursor(); }

  // Set once the window is closing; long operations stop when they see it.
  bool Closing() const { return run_.closing; }
  // True while "Start Retrieving Data" is under way.
  bool Running() const { return run_.running; }

  // Time-outs, closing wait and feed reader of the runs that start from now on. The program
  // keeps the defaults; tests shorten the waits. The observer is always the window's own, which
  // marks the feeds that failed.
  void SetRetrievalOptions(RetrievalOptions options) { retrievalOptions_ = std::move(options); }

  // The folder of the record of saved files; the program gives the user's, and without one
  // (as in the tests) saves record nothing.
  void SetRecordFolder(std::string folder) { recordFolder_ = std::move(folder); }

  // Where the window opens links and files; the program keeps the desktop's own. Not owned.
  void SetDesktopOpener(DesktopOpener& opener);

  // Fits the window to a screen's available area (in the window's pixels): a window that fits
  // keeps its fixed size; else it takes the largest size that fits and may be resized. Call it
  // before the window is shown.
  void FitScreen(QRect available, qreal devicePixelRatio);

  // The default output folder: the desktop folder and a separator. Throws
  // std::invalid_argument when the desktop folder cannot be found.
  QString DefaultOutputFolder() const;

  QTreeWidget* ListView1;
  QTreeWidget* ListView2;
  QPushButton* PushButton1;
  QPushButton* PushButton2;
  QPushButton* PushButton3;
  QPushButton* PushButton4;
  QPushButton* PushButton5;
  QPushButton* PushButton6;
  QPushButton* PushButton7;
  QPushButton* PushButton8;
  QPushButton* PushButton9;
  QPushButton* PushButton10;
  QPushButton* PushButton11;
  QProgressBar* ProgressBar1;
  QGroupBox* Frame1;
  QLineEdit* Text1;
  // The menu of PushButton3: the files' format and names.
  SaveFormatMenu* SaveFormats() const { return saveFormats_; }

 public slots:
  // The buttons' commands: each hands its work to the workflow, which runs it under the error
  // guard with the handler's name as the operation name.
  void PushButton1_Click();
  void PushButton2_Click();
  void PushButton3_Click();
  void PushButton4_Click();
  void PushButton5_Click();
  void PushButton6_Click();
  void PushButton7_Click();
  void PushButton8_Click();
  void PushButton9_Click();
  void PushButton10_Click();
  void PushButton11_Click();

  // Stores the field's whole text under "Download Location" at once. No guard: a failed
  // write leaves the field as it is.
  void Text1_Change();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  QPushButton* AddButton(QWidget* parent, const char* name, const char* caption, QRect twips,
                         void (Form1::*click)());
  void SetTabOrder();
  void WatchPointer();
  void ConnectWorkflow();
  void AddShortcuts();
  // Appends the addresses (and loads the address files) on the clipboard, as a drop would.
  void PasteUrls();
  UrlListCommands UrlCommands();
  // Appends the dropped addresses and loads the dropped files, in their order.
  void TakeDrop(const std::vector<DroppedItem>& items);

  // "Tick Only New Entries" in the results header's menu: remembered at once, off by default.
  // The record of the output folder when that setting is on and there is one to read.
  std::unique_ptr<SavedRecord> TickOnlyNewRecord();

  void ApplySkin();
  void LoadHandCursor();
  void Form_Unload();

  DialogService& dialogs_;
  SettingsStore& settings_;
  QString programFolder_;
  DesktopLocator desktop_;
  PointerState pointer_;
  RunState run_;
  RetrievalOptions retrievalOptions_;
  std::string recordFolder_;

  // The controls as the workflow sees them.
  std::unique_ptr<ListViewUrlList> urlList_;
  std::unique_ptr<ListViewResultsList> resultsList_;
  std::unique_ptr<ProgressBarSink> progress_;
  std::unique_ptr<QtEventPump> events_;
  std::unique_ptr<LineEditFolderField> folder_;
  std::unique_ptr<FailedFeedMarks> failedFeeds_;
  StandardDesktopOpener desktopOpener_;
  ResultActions* resultActions_ = nullptr;
  // Set when the window does not fit its screen and may be resized.
  std::unique_ptr<WindowFit> fit_;
  // The format and file names of "Save Results As HTML", chosen from its menu.
  SaveFormatMenu* saveFormats_ = nullptr;
  std::unique_ptr<EnclosureSetting> enclosureSetting_;
  // "Tick Only New Entries" and "Read Whole Archives" in the results header's menu; owned by the
  // window.
  QAction* tickOnlyNew_ = nullptr;
  QAction* readWholeArchives_ = nullptr;
};
