#include "Form1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QPointer>
#include <QShortcut>
#include <QStandardPaths>
#include <optional>
#include <stdexcept>
#include <vector>

#include "AppInfo.h"
#include "ApplicationTitle.h"
#include "ArchiveWalk.h"
#include "ErrorGuard.h"
#include "FailedFeedMarks.h"
#include "HandCursor.h"
#include "EnclosureSetting.h"
#include "MenuSetting.h"
#include "HtmlExport.h"
#include "IndexOutOfBounds.h"
#include "LineEditFolderField.h"
#include "ListViewResultsList.h"
#include "ListViewUrlList.h"
#include "LiteralProgressBar.h"
#include "OutputFolderCommand.h"
#include "PathChecks.h"
#include "PointerTracker.h"
#include "ProgressBarSink.h"
#include "QtEventPump.h"
#include "RemovalGestures.h"
#include "ResultActions.h"
#include "ResultsCommands.h"
#include "ResultsHeader.h"
#include "SavedFiles.h"
#include "SavedRecord.h"
#include "SavedRowMarks.h"
#include "SaveFormatMenu.h"
#include "Skin.h"
#include "Twips.h"
#include "UrlListCommands.h"
#include "UrlListDrops.h"
#include "WindowFit.h"

namespace {

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 9840;
const QString kDownloadLocation = QStringLiteral("Download Location");
const QString kTickOnlyNew = QStringLiteral("Tick Only New Entries");
// How long a retrieval run waits for a record another instance holds: the window stands still
// meanwhile.
constexpr int kRecordWaitMilliseconds = 1000;
const QString kListToolTip = QStringLiteral("Move | line to right and out of window to reveal full names.");

QFont ArialBold(qreal pointSize) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(pointSize);
  font.setBold(true);
  return font;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {32, 48, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/feedwright-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QTreeWidget* MakeList(QWidget* parent, const char* name, const QString& toolTip, QRect twips,
                      QHeaderView* header = nullptr) {
  auto* list = new QTreeWidget(parent);
  if (header) list->setHeader(header);
  list->setObjectName(QString::fromLatin1(name));
  list->setGeometry(twips);
  list->setFont(ArialBold(9));
  list->setToolTip(toolTip);
  list->setRootIsDecorated(false);
  list->setColumnCount(0);
  // Columns may be narrowed to a single pixel and widened again by dragging.
  list->header()->setMinimumSectionSize(1);
  list->header()->setStretchLastSection(false);
  return list;
}

// Appends a column with the given header to the list.
void AddColumn(QTreeWidget* list, const QString& header) {
  const int column = list->columnCount();
  list->setColumnCount(column + 1);
  list->headerItem()->setText(column, header);
}

// Sets the width of the list's column (numbered from 1) in twips.
void SetColumnWidth(QTreeWidget* list, int column, int twips) {
  if (column < 1 || column > list->columnCount()) {
    ThrowIndexOutOfBounds();
  }
  list->setColumnWidth(column - 1, std::max(1, TwipsToPixels(twips)));
}

}  // namespace

QString Form1::StandardDesktop() {
  return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

Form1::Form1(DialogService& dialogs, SettingsStore& settings, QString programFolder,
             DesktopLocator desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      settings_(settings),
      programFolder_(std::move(programFolder)),
      desktop_(std::move(desktop)),
      pointer_(this) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
  setFont(ArialBold(9));
  BuildControls();
  SetTabOrder();
  WatchPointer();
  ConnectWorkflow();
  AddShortcuts();
}

Form1::~Form1() = default;

void Form1::BuildControls() {
  ListView1 = MakeList(this, "ListView1",
                       QStringLiteral("Double-click item to remove it. ") + kListToolTip,
                       TwipsRect(120, 90, 7800, 2535));
  // Its one-pixel "Description" and link columns need a header that lets them be dragged open.
  auto* resultsHeader = new ResultsHeader();
  resultsHeader->SetMenuLabel(ResultsList::kLink, QStringLiteral("Link"));
  enclosureSetting_ = std::make_unique<EnclosureSetting>(settings_);
  ListView2 = MakeList(this, "ListView2", kListToolTip, TwipsRect(120, 4260, 7800, 2535),
                       resultsHeader);
  // The window's settings below the columns in the header's menu.
  tickOnlyNew_ = MakeMenuSetting(this, settings_, kTickOnlyNew, QStringLiteral("TickOnlyNew"),
                                 QStringLiteral("Rows already saved into the output folder arrive unticked and greyed"));
  readWholeArchives_ = MakeMenuSetting(
      this, settings_, QStringLiteral("Read Whole Archives"), QStringLiteral("ReadWholeArchives"),
      QStringLiteral("Also read each feed's older pages (its prev-archive and next links), on the feed's own host, "
                     "each entry once"));
  QAction* saveEnclosures = MakeMenuSetting(
      this, settings_, EnclosureSetting::kName, QStringLiteral("SaveEnclosures"),
      QStringLiteral("Also download each saved entry's audio, video, images and documents beside its file"));
  for (QAction* setting : {tickOnlyNew_, readWholeArchives_, saveEnclosures}) resultsHeader->AddMenuSetting(setting);

  PushButton1 = AddButton(this, "PushButton1", "Add RSS Feed URL", {120, 2715, 3840, 405},
                          &Form1::PushButton1_Click);
  PushButton6 = AddButton(this, "PushButton6", "Load RSS URLs From File", {4080, 2715, 3840, 405},
                          &Form1::PushButton6_Click);
  PushButton7 = AddButton(this, "PushButton7", "Clear List", {120, 3240, 3840, 405},
                          &Form1::PushButton7_Click);
  PushButton9 = AddButton(this, "PushButton9", "Load Sample/Example Data", {4080, 3240, 3840, 405},
                          &Form1::PushButton9_Click);
  PushButton2 = AddButton(this, "PushButton2", "Start Retrieving Data", {120, 3765, 7800, 405},
                          &Form1::PushButton2_Click);
  PushButton4 = AddButton(this, "PushButton4", "Check All", {120, 6885, 3840, 405},
                          &Form1::PushButton4_Click);
  PushButton5 = AddButton(this, "PushButton5", "Uncheck All", {4080, 6885, 3840, 405},
                          &Form1::PushButton5_Click);
  PushButton10 = AddButton(this, "PushButton10", "Clear List", {120, 7395, 3840, 405},
                           &Form1::PushButton10_Click);
  PushButton11 = AddButton(this, "PushButton11", "Help", {4080, 7395, 3840, 405},
                           &Form1::PushButton11_Click);

  Frame1 = new QGroupBox(QStringLiteral("Save Results To This Folder"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(TwipsRect(120, 7880, 7800, 800));
  Text1 = new QLineEdit(Frame1);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(TwipsRect(240, 300, 6675, 345));
  connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
  PushButton8 = AddButton(Frame1, "PushButton8", "...", {6960, 300, 615, 345},
                          &Form1::PushButton8_Click);

  PushButton3 = AddButton(this, "PushButton3", "Save Results As HTML", {120, 8805, 7800, 405},
                          &Form1::PushButton3_Click);

  ProgressBar1 = new LiteralProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(TwipsRect(120, 9330, 7800, 405));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
}

QPushButton* Form1::AddButton(QWidget* parent, const char* name, const char* caption, QRect twips,
                              void (Form1::*click)()) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
  button->setFont(ArialBold(11.25));
  // Enter clicks the button that has the focus, as Space does.
  button->setAutoDefault(true);
  connect(button, &QPushButton::clicked, this, click);
  return button;
}

void Form1::SetTabOrder() {
  // ProgressBar1 and Frame1 hold places 5 and 6 of the order but never take the focus.
  QWidget* const order[] = {ListView1,   ListView2,   PushButton4, PushButton5, PushButton3,
                            ProgressBar1, Frame1,     Text1,       PushButton8, PushButton1,
                            PushButton6, PushButton2, PushButton7, PushButton9, PushButton10,
                            PushButton11};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    QWidget::setTabOrder(order[i], order[i + 1]);
  }
}

void Form1::WatchPointer() {
  auto* tracker = new PointerTracker(pointer_, this);
  tracker->Watch(this, PointerTracker::Kind::Surface);
  tracker->Watch(Frame1, PointerTracker::Kind::Surface);
  tracker->WatchList(ListView1);
  tracker->WatchList(ListView2);
  for (QPushButton* button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5,
                              PushButton6, PushButton7, PushButton8, PushButton9, PushButton10,
                              PushButton11}) {
    tracker->Watch(button, PointerTracker::Kind::Button);
  }
  // No handler of their own, and the background's or the frame's must not answer for them.
  PointerTracker::Shield(Text1);
  PointerTracker::Shield(ProgressBar1);
}

void Form1::ConnectWorkflow() {
  urlList_ = std::make_unique<ListViewUrlList>(ListView1);
  resultsList_ = std::make_unique<ListViewResultsList>(ListView2);
  progress_ = std::make_unique<ProgressBarSink>(ProgressBar1);
  events_ = std::make_unique<QtEventPump>();
  folder_ = std::make_unique<LineEditFolderField>(Text1);
  failedFeeds_ = std::make_unique<FailedFeedMarks>(
      *urlList_, ListView1, [this](const QString& summary) { ProgressBar1->setFormat(summary); });
  resultActions_ = new ResultActions(ListView2, desktopOpener_);
  // Owned by the button.
  saveFormats_ = new SaveFormatMenu(PushButton3, settings_, dialogs_);
  // Owned by the list they watch.
  new RemovalGestures(ListView1, [this] { UrlCommands().RemoveSelected(); });
  new UrlListDrops(ListView1, [this](const std::vector<DroppedItem>& items) { TakeDrop(items); });
}

void Form1::AddShortcuts() {
  connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, PushButton6, &QPushButton::click);
  // Only a run under way can be stopped; it says "Stopped." once however often Escape is pressed.
  connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, [this] {
    if (run_.running) run_.stopping = true;
  });
  auto* paste = new QShortcut(QKeySequence::Paste, ListView1, nullptr, nullptr, Qt::WidgetShortcut);
  connect(paste, &QShortcut::activated, this, &Form1::PasteUrls);
}

void Form1::SetDesktopOpener(DesktopOpener& opener) { resultActions_->SetOpener(opener); }

void Form1::PasteUrls() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data) TakeDrop(DroppedItems(*data));
}

void Form1::FitScreen(QRect available, qreal devicePixelRatio) {
  const QSize design(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
  // The controls back at their own places, which the new fit starts from.
  if (fit_) fit_->Place(design);
  fit_.reset();
  auto fit = std::make_unique<WindowFit>(design);
  using Across = WindowFit::Across;
  using Down = WindowFit::Down;
  fit->Add(ListView1, Across::kFull, Down::kFirstList);
  fit->Add(PushButton1, Across::kLeftHalf, Down::kBetweenLists);
  fit->Add(PushButton6, Across::kRightHalf, Down::kBetweenLists);
  fit->Add(PushButton7, Across::kLeftHalf, Down::kBetweenLists);
  fit->Add(PushButton9, Across::kRightHalf, Down::kBetweenLists);
  fit->Add(PushButton2, Across::kFull, Down::kBetweenLists);
  fit->Add(ListView2, Across::kFull, Down::kSecondList);
  fit->Add(PushButton4, Across::kLeftHalf, Down::kBelowLists);
  fit->Add(PushButton5, Across::kRightHalf, Down::kBelowLists);
  fit->Add(PushButton10, Across::kLeftHalf, Down::kBelowLists);
  fit->Add(PushButton11, Across::kRightHalf, Down::kBelowLists);
  fit->Add(Frame1, Across::kFull, Down::kBelowLists);
  fit->Add(Text1, Across::kFull, Down::kAboveLists);
  fit->Add(PushButton8, Across::kRightEnd, Down::kAboveLists);
  fit->Add(PushButton3, Across::kFull, Down::kBelowLists);
  fit->Add(ProgressBar1, Across::kFull, Down::kBelowLists);
  const QSize size = fit->SizeFor(available, devicePixelRatio);
  if (size == design) {
    setFixedSize(design);
    return;
  }
  setMinimumSize(fit->MinimumSize());
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  fit_ = std::move(fit);
  resize(size);
  fit_->Place(size);
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fit_) fit_->Place(size());
}

UrlListCommands Form1::UrlCommands() {
  return UrlListCommands(*urlList_, dialogs_, *events_, pointer_, run_);
}

void Form1::LoadUrlFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (Closing()) return;
    UrlCommands().LoadFile(path);
  }
}

void Form1::TakeDrop(const std::vector<DroppedItem>& items) {
  // A drop only ever appends, so it may come during a run: the run reads the rows it counted
  // at its start.
  for (const DroppedItem& item : items) {
    if (Closing()) return;
    if (item.kind == DroppedItem::Kind::kFile) {
      UrlCommands().LoadFile(item.text);
    } else {
      urlList_->Append(item.text);
    }
  }
}

void Form1::PushButton1_Click() { UrlCommands().AddUrl(); }

void Form1::PushButton2_Click() {
  RetrievalOptions options = retrievalOptions_;
  options.observer = failedFeeds_.get();
  // A run under way keeps its own list; a second click only finds it running.
  const std::unique_ptr<SavedRecord> record = run_.running ? nullptr : TickOnlyNewRecord();
  std::optional<SavedRowMarks> marks;
  if (record) marks.emplace(*resultsList_, ListView2, *record);
  ResultsList& results = marks ? static_cast<ResultsList&>(*marks) : *resultsList_;
  if (readWholeArchives_->isChecked()) options.archivePages = ArchiveWalk::kDefaultMaxPages;
  RetrievalRun(*urlList_, results, *progress_, pointer_, *events_, dialogs_, run_, options).Start();
}

std::unique_ptr<SavedRecord> Form1::TickOnlyNewRecord() {
  if (!tickOnlyNew_->isChecked()) return nullptr;
  // A record that cannot be used is told once, and the rows arrive as they would without it.
  return OpenSavedRecord(
      recordFolder_, ExpandHome(folder_->Text()), Clock::Steady(),
      [this](const std::string& message) {
        ShowPlainMessage(dialogs_, "Feedwright: " + message +
                                       ". Tick Only New Entries cannot tell which rows were saved before, so they "
                                       "arrive ticked.");
      },
      kRecordWaitMilliseconds);
}

namespace {

// While a save downloads enclosures: counts as a run under way (so Escape stops it and a start
// waits), with the controls that would change the results under it disabled.
class SaveHold {
 public:
  SaveHold(RunState& run, std::vector<QWidget*> controls) : run_(run), controls_(std::move(controls)) {
    run_.running = true;
    run_.stopping = false;
    for (QWidget* control : controls_) {
      enabled_.push_back(control->isEnabled());
      control->setEnabled(false);
    }
  }
  ~SaveHold() {
    run_.running = false;
    for (std::size_t i = 0; i < controls_.size(); ++i) controls_[i]->setEnabled(enabled_[i]);
  }
  SaveHold(const SaveHold&) = delete;
  SaveHold& operator=(const SaveHold&) = delete;

 private:
  RunState& run_;
  std::vector<QWidget*> controls_;
  std::vector<bool> enabled_;
};

}  // namespace

void Form1::PushButton3_Click() {
  // The rows remember their files for their menu, and the bar keeps what the save wrote.
  SavedFiles saved(*resultsList_, [this](int64_t row, const std::string& path) {
    resultActions_->SetSavedFile(row, path);
  });
  HtmlExport save(saved, *folder_, pointer_, dialogs_);
  save.SetChoices(saveFormats_->Choices());
  save.OnFileWritten([&saved](int64_t row, const std::string& path) { saved.FileWritten(row, path); });
  // Every file saved is recorded for its folder; a fault of the record is told and the save goes on.
  const std::unique_ptr<SavedRecord> record =
      OpenSavedRecord(recordFolder_, ExpandHome(folder_->Text()), Clock::Steady(),
                      [this](const std::string& message) { ShowPlainMessage(dialogs_, "Feedwright: " + message); });
  save.SetRecord(record.get(), Clock::Steady());
  // Enclosures take a while: the window stays alive meanwhile, with what a click could change
  // under the save held back; Escape or closing the window stops the save.
  const std::unique_ptr<EnclosureSaver> enclosures =
      enclosureSetting_->MakeSaver(retrievalOptions_.http, *progress_, ListView2, [this] {
        events_->ProcessEvents();
        return !run_.Halted();
      });
  std::optional<SaveHold> hold;
  if (enclosures) {
    hold.emplace(run_, std::vector<QWidget*>{PushButton2, PushButton3, PushButton4, PushButton5, PushButton10,
                                             ListView2});
    save.SetEnclosures(enclosures.get());
    save.SetStopRequest([this] { return run_.Halted(); });
  }
  save.Save();
  ProgressBar1->setFormat(saved.Summary() + enclosureSetting_->Summary());
}

void Form1::PushButton4_Click() { ResultsCommands(*resultsList_, dialogs_).CheckAll(); }

void Form1::PushButton5_Click() { ResultsCommands(*resultsList_, dialogs_).UncheckAll(); }

void Form1::PushButton6_Click() { UrlCommands().LoadFromFile(); }

void Form1::PushButton7_Click() { UrlCommands().Clear(); }

void Form1::PushButton8_Click() { OutputFolderCommand(*folder_, dialogs_).ChooseFolder(); }

void Form1::PushButton9_Click() { UrlCommands().LoadSamples(); }

void Form1::PushButton10_Click() { ResultsCommands(*resultsList_, dialogs_).Clear(); }

void Form1::PushButton11_Click() { UrlCommands().Help(); }

void Form1::Form_Load() {
  ErrorGuard guard(dialogs_, "Form_Load");
  guard.Step(102, [&] { ApplySkin(); });
  guard.Step(106, [&] { LoadHandCursor(); });
  guard.Step(126, [&] {
    setWindowTitle(QString::fromUtf8(AppInfo::kProductName));
    setWindowIcon(ApplicationIcon());
  });
  guard.Step(128, [&] {
    SetApplicationTitle(ApplicationTitle(QString::fromUtf8(AppInfo::kProductName)));
  });
  guard.Step(130, [&] {
    Text1->setText(settings_.Read(QString::fromUtf8(AppInfo::kSettingsSection), kDownloadLocation,
                                  DefaultOutputFolder()));
  });
  guard.Step(132, [&] { AddColumn(ListView1, QStringLiteral("Feed URL(s)")); });
  guard.Step(134, [&] { SetColumnWidth(ListView1, 1, 7000); });
  guard.Step(136, [&] { AddColumn(ListView2, QStringLiteral("Feed URL(s)")); });
  guard.Step(138, [&] { AddColumn(ListView2, QStringLiteral("Result(s)")); });
  guard.Step(140, [&] { AddColumn(ListView2, QStringLiteral("Description")); });
  guard.Step(142, [&] { AddColumn(ListView2, QString()); });
  guard.Step(144, [&] { SetColumnWidth(ListView2, 1, 2000); });
  guard.Step(146, [&] { SetColumnWidth(ListView2, 2, 5000); });
  guard.Step(148, [&] {
    SetColumnWidth(ListView2, 3, 1);
    SetColumnWidth(ListView2, 4, 1);
  });
}

void Form1::ApplySkin() {
  const QString path = Skin::FilePath(programFolder_);
  if (!QFileInfo(path).isFile()) return;

  // The skin look starts from the button-face colour behind the window and its frames.
  for (QWidget* surface : std::initializer_list<QWidget*>{this, Frame1}) {
    QPalette palette = surface->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    surface->setPalette(palette);
    surface->setAutoFillBackground(true);
  }
  setStyleSheet(Skin::Load(path));
}

void Form1::LoadHandCursor() {
  const QString path = HandCursor::FilePath(programFolder_);
  if (!FileExists(path.toStdString())) return;
  pointer_.SetHandCursor(HandCursor::Load(path));
}

QString Form1::DefaultOutputFolder() const {
  const QString desktop = desktop_ ? desktop_() : QString();
  if (desktop.isEmpty()) {
    throw std::invalid_argument("Invalid procedure call or argument: the desktop folder was not found");
  }
  return QDir::toNativeSeparators(desktop) + QDir::separator();
}

void Form1::Text1_Change() {
  settings_.Write(QString::fromUtf8(AppInfo::kSettingsSection), kDownloadLocation, Text1->text());
}

void Form1::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void Form1::Form_Unload() {
  // A retrieval run under way sees this between its steps and while it waits on the network,
  // abandons its download and returns without its closing wait or message.
  run_.closing = true;
  // A modal box may be open with its own event loop; close it so that loop ends too.
  // Closing one window may delete another, so each is held by a guarded pointer.
  QList<QPointer<QWidget>> windows;
  for (QWidget* window : QApplication::topLevelWidgets()) windows.push_back(window);
  for (const QPointer<QWidget>& window : windows) {
    if (!window || window == this || !window->isVisible()) continue;
    if (auto* dialog = qobject_cast<QDialog*>(window.data())) dialog->reject();
    if (window) window->close();
  }
  // Ends every running event loop, the nested ones of dialogs included; later ones return at once.
  QCoreApplication::exit(0);
}
