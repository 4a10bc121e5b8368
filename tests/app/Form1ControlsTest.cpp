// The window's own handling of its controls: files from the command line and drops on the URL
// list, its removal gestures, the pointer over each control, and the results list's header.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "FormFixture.h"
#include "ResultActions.h"
#include "ResultsHeader.h"
#include "UrlListCommands.h"

namespace {

using Form1Controls = FormFixture;

// Drags data (links, or else text) over the list and drops it there when the list takes the
// drag, or lets it leave again; gives whether the list took the drag.
bool Drop(QTreeWidget* list, const QList<QUrl>& links, const QString& text = {},
          Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction, QMimeData* own = nullptr, bool leave = false) {
  QMimeData data;
  data.setText(text);
  if (!links.isEmpty()) data.setUrls(links);
  const QMimeData* mime = own ? own : &data;
  const QPoint at = list->viewport()->rect().center();
  QDragEnterEvent enter(at, actions, mime, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QApplication::sendEvent(list->viewport(), &enter);
  if (!enter.isAccepted()) return false;
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "a move would let the source delete a file";
  QDragLeaveEvent gone;
  QDropEvent drop(at, actions, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), leave ? static_cast<QEvent*>(&gone) : &drop);
  QCoreApplication::processEvents();
  return true;
}

}  // namespace

TEST_F(Form1Controls, AddressesAndAddressFilesComeFromTheCommandLineAndFromDropsInTheirOrder) {
  QTreeWidget* urls = Shown().ListView1;
  const std::string list = WriteFile("list.TXT", "http://file/1\r\n\r\nhttp://file/2");
  const std::string opml = WriteFile("subs.opml", R"(<opml><body><outline xmlUrl="http://opml/1"/></body></opml>)");
  ASSERT_TRUE(QDir(temp_.path()).mkdir("folder.txt"));
  // Files named on the command line load as "Load RSS URLs From File" loads them.
  Form().LoadUrlFiles({list, Path("absent.txt").toStdString(), Path("folder.txt").toStdString()});
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text, "File not found");
  EXPECT_NE(dialogs_.messages[1].text.find(".Form1.PushButton6_Click at line 118"), std::string::npos);
  EXPECT_TRUE(Drop(urls, {QUrl("http://a.example/feed?x=%C3%BC"), QUrl::fromLocalFile(opml.c_str()),
                          QUrl::fromLocalFile(Path("missing.opml")), QUrl("HTTPS://b.example/atom")}));
  EXPECT_TRUE(Drop(urls, {}, "  http://c.example/rss \r\n\r\nhttps://d.example/\n"));
  const Texts taken = {"http://file/1", "", "http://file/2", "http://a.example/feed?x=%C3%BC", "http://opml/1",
                       "https://b.example/atom", "http://c.example/rss", "https://d.example/"};
  EXPECT_EQ(UrlRows(), taken);
  EXPECT_EQ(dialogs_.messages.back().text, "File not found");

  // A drag that only passes over adds nothing; anything else is refused, and rows are never moved.
  EXPECT_TRUE(Drop(urls, {QUrl("http://a.example/")}, {}, Qt::CopyAction, nullptr, true));
  const QUrl picture = QUrl::fromLocalFile(QString::fromStdString(WriteFile("feed.png", "x")));
  EXPECT_FALSE(Drop(urls, {QUrl("ftp://a.example/feed.rss")}));
  EXPECT_FALSE(Drop(urls, {QUrl("http://a.example/"), picture}));
  EXPECT_FALSE(Drop(urls, {}, "http://a.example/\nand more"));
  EXPECT_FALSE(Drop(urls, {QUrl("http://a.example/")}, {}, Qt::MoveAction));
  const std::unique_ptr<QMimeData> ownRows(urls->model()->mimeData({urls->model()->index(0, 0)}));
  EXPECT_FALSE(Drop(urls, {}, {}, Qt::CopyAction | Qt::MoveAction, ownRows.get()));
  EXPECT_EQ(UrlRows(), taken);
  EXPECT_EQ(dialogs_.messages.size(), 3u);
}

TEST_F(Form1Controls, TabVisitsTheControlsInOrderWithTheirCaptionsToolTipsAndFonts) {
  Form1& f = Form();
  const auto font = [](const QWidget* widget) {
    const QFont font = widget->font();
    return font.family() + " " + QString::number(font.pointSizeF()) + (font.bold() ? " bold" : "");
  };
  QString order;
  QWidget* widget = f.ListView1;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) {
      const auto* button = qobject_cast<QPushButton*>(widget);
      order += widget->objectName() + (button ? "=" + button->text() : "") + ", ";
      if (button) { EXPECT_EQ(font(button), "Arial 11.25 bold") << button->text().toStdString(); }
    }
    widget = widget->nextInFocusChain();
  } while (widget != f.ListView1 && order.size() < 1000);
  EXPECT_EQ(order, "ListView1, ListView2, PushButton4=Check All, PushButton5=Uncheck All, PushButton3=Save Results As "
                   "HTML, Text1, PushButton8=..., PushButton1=Add RSS Feed URL, PushButton6=Load RSS URLs From File, "
                   "PushButton2=Start Retrieving Data, PushButton7=Clear List, PushButton9=Load Sample/Example Data, "
                   "PushButton10=Clear List, PushButton11=Help, ");
  EXPECT_EQ(font(&f) + ", " + font(f.ListView1) + ", " + font(f.ListView2), "Arial 9 bold, Arial 9 bold, Arial 9 bold");
  EXPECT_EQ(f.ListView1->toolTip(), "Double-click item to remove it. " + f.ListView2->toolTip());
  EXPECT_EQ(f.ListView2->toolTip(), "Move | line to right and out of window to reveal full names.");
  EXPECT_EQ(f.Frame1->title() + " " + f.ProgressBar1->text(), "Save Results To This Folder Progress Bar");
}

TEST_F(Form1Controls, DeleteKeyAndLeftDoubleClickRemoveTheSelectedRowUnlessBusy) {
  QTreeWidget* urls = Shown().ListView1;
  for (const char* text : {"a", "b", "c"}) AddAddress(text);
  Form().PushButton9->click();  // the two sample addresses
  const auto press = [&](int row, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    urls->setCurrentItem(urls->topLevelItem(row));
    QTest::keyClick(urls, key, modifiers);
  };
  const auto doubleClick = [&](int row, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at = urls->visualItemRect(urls->topLevelItem(row)).center();
    QTest::mouseClick(urls->viewport(), button, {}, at);
    QTest::mouseDClick(urls->viewport(), button, {}, at);
  };
  // Other keys and buttons remove nothing, and nothing is removed under the hourglass of a run.
  press(0, Qt::Key_Backspace);
  press(0, Qt::Key_D);
  doubleClick(0, Qt::RightButton);
  Form().SetMousePointer(11);
  press(0, Qt::Key_Delete);
  doubleClick(0);
  Form().SetMousePointer(0);
  EXPECT_EQ(UrlRows().size(), 5u);
  press(1, Qt::Key_Delete, Qt::AltModifier | Qt::ControlModifier);
  doubleClick(1);
  urls->clearSelection();
  QTest::keyClick(urls, Qt::Key_Delete);
  EXPECT_EQ(UrlRows(), (Texts{"a", UrlListCommands::kSampleBreakingNews, UrlListCommands::kSampleEarth}));
  // The URL list's "Clear List" empties only the URL list.
  Form().ListView2->addTopLevelItem(new QTreeWidgetItem(QStringList{"kept result"}));
  Form().PushButton7->click();
  EXPECT_TRUE(UrlRows().empty());
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 1);
}

TEST_F(Form1Controls, PointerIsTheHandOverButtonsTheArrowOverSurfacesAndKeepsTheHourglass) {
  Form1& f = Shown();
  // What a move into each place shows: the arrow over the background, the frame and the lists,
  // nothing new (-1) over the two controls without a rule of their own, the hand over a button.
  std::vector<std::pair<QWidget*, int>> places = {
      {&f, 0}, {f.Frame1, 0}, {f.ListView1->viewport(), 0}, {f.ListView1->header(), 0}, {f.ListView2->viewport(), 0},
      {f.ListView2->header(), 0}, {f.Text1, -1}, {f.ProgressBar1, -1}};
  for (QPushButton* button : f.findChildren<QPushButton*>()) places.push_back({button, 99});
  ASSERT_EQ(places.size(), 19u);
  for (const auto& [widget, shows] : places) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    // From the pointer the move changes, and from the hourglass, which no move replaces.
    for (const int start : {shows == 99 ? 0 : 99, 11}) {
      f.SetMousePointer(start);
      QEnterEvent enter(at, at, widget->mapToGlobal(at));
      QApplication::sendEvent(widget, &enter);
      const int entered = f.MousePointer();
      f.SetMousePointer(start);
      QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
      QApplication::sendEvent(widget, &move);
      const int expected = start == 11 || shows < 0 ? start : shows;
      EXPECT_EQ(std::pair(entered, f.MousePointer()), std::pair(expected, expected))
          << widget->metaObject()->className() << " " << widget->objectName().toStdString() << " from " << start;
    }
  }
  for (const auto& [value, shape] : {std::pair{0, Qt::ArrowCursor}, std::pair{11, Qt::WaitCursor}}) {
    f.SetMousePointer(value);
    EXPECT_EQ(f.cursor().shape(), shape) << value;
  }
}

TEST_F(Form1Controls, ResultsColumnsThreeAndFourCanBeDraggedOpenOrShownFromTheHeaderMenu) {
  auto* header = qobject_cast<ResultsHeader*>(Shown().ListView2->header());
  ASSERT_NE(header, nullptr);
  const auto widths = [&] {
    std::vector<int> sizes;
    for (int column = 0; column < 4; ++column) sizes.push_back(header->sectionSize(column));
    return sizes;
  };
  // A drag with the left button held, from x across dx pixels.
  const auto drag = [grip = header->viewport()](int x, int dx) {
    const int y = grip->height() / 2;
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(x, y));
    QTest::mouseMove(grip, QPoint(x + dx / 2, y));
    QTest::mouseMove(grip, QPoint(x + dx, y));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(x + dx, y));
  };
  // "Result(s)" ends where the one-pixel columns start; it keeps the grip on its own side.
  const int edge = header->sectionViewportPosition(2);
  ASSERT_EQ(edge, 133 + 333);
  drag(edge - 2, -33);
  ASSERT_EQ(widths(), (std::vector<int>{133, 300, 1, 1}));
  // Past the edge the last one-pixel column opens first, the one before it next.
  drag(edge - 33 + 2, 100);
  EXPECT_EQ(widths(), (std::vector<int>{133, 300, 1, 101}));
  drag(edge - 33 + 2, 60);
  EXPECT_EQ(widths(), (std::vector<int>{133, 300, 61, 101}));

  // The header's menu: a one-pixel column counts as hidden, the tick boxes' column always shows.
  header->resizeSection(2, 1);
  const std::unique_ptr<QMenu> menu(header->ColumnMenu());
  QStringList entries;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) break;  // the window's settings follow the columns
    entries << action->text() + (action->isChecked() ? " shown" : " hidden") + (action->isEnabled() ? "" : " fixed");
  }
  EXPECT_EQ(entries.join(", "), "Feed URL(s) shown fixed, Result(s) shown, Description hidden, Link shown");
  menu->actions()[2]->trigger();
  menu->actions()[1]->trigger();
  EXPECT_EQ(widths(), (std::vector<int>{133, 0, header->defaultSectionSize(), 101}));
}

// "Read Whole Archives" below the columns: remembered at once, and the next run walks each
// feed's archive, the note of its end on the feed's row.
TEST_F(Form1Controls, ReadWholeArchivesIsRememberedAndTheRunWalksTheArchive) {
  const auto page = [](const std::string& link, const std::string& title) {
    return "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel><atom:link rel=\"prev-archive\" "
           "href=\"" + link + "\"/><item><title>" + title + "</title></item></channel></rss>";
  };
  Serve("/1.rss", 200, page("2.rss", "one"));
  Serve("/2.rss", 200, page("1.rss", "two"));
  server_.Start();
  auto* header = qobject_cast<ResultsHeader*>(Shown().ListView2->header());
  ASSERT_NE(header, nullptr);
  auto* entry = Form().findChild<QAction*>("ReadWholeArchives");
  ASSERT_TRUE(entry && std::unique_ptr<QMenu>(header->ColumnMenu())->actions().contains(entry));
  EXPECT_FALSE(entry->isChecked());
  entry->trigger();
  EXPECT_EQ(SettingsStore::AtPath(Path("Quillmark.conf")).Read("Feedwright", "Read Whole Archives", ""), "1");
  RetrievalOptions options;
  options.closingWaitSeconds = 0;
  Form().SetRetrievalOptions(options);
  AddAddress(Url("/1.rss"));
  Form().PushButton2->click();
  ASSERT_EQ(ResultRows().size(), 2u);
  EXPECT_EQ(ResultRows()[1][1], "two");
  EXPECT_EQ(Form().ListView1->topLevelItem(0)->toolTip(0).toStdString(),
            "The archive walk ended after page 2: it links back to page 1, " + Url("/1.rss"));
}

namespace {

// Records what the window would open instead of opening it.
struct FakeOpener : DesktopOpener {
  bool Open(const QUrl& url) override {
    opened.push_back(url.toString().toStdString());
    return true;
  }
  Texts opened;
};

}  // namespace

TEST_F(Form1Controls, KeysTickOpenPasteAndTheResultMenuActsOnItsRow) {
  Form1& f = Shown();
  QApplication::setActiveWindow(&f);
  FakeOpener opener;
  f.SetDesktopOpener(opener);
  QTreeWidget* results = f.ListView2;
  for (const char* link : {"https://a.example/1", "javascript:alert(1)"}) {
    auto* item = new QTreeWidgetItem(results, QStringList{"feed", "title", "text", link});
    item->setCheckState(0, Qt::Checked);
  }
  // Space toggles the row's tick whatever column is current.
  for (int column = 0; column < 4; ++column) {
    SCOPED_TRACE(column);
    results->setCurrentIndex(results->model()->index(0, column));
    QTest::keyClick(results, Qt::Key_Space);
    EXPECT_EQ(results->topLevelItem(0)->checkState(0), column % 2 == 0 ? Qt::Unchecked : Qt::Checked);
  }
  // Enter opens an http(s) link only.
  for (int row : {0, 1}) {
    results->setCurrentItem(results->topLevelItem(row));
    QTest::keyClick(results, Qt::Key_Return);
  }
  EXPECT_EQ(opener.opened, Texts{"https://a.example/1"});
  // The menu: a row saved in this session opens its file and its folder; copy puts the link on the clipboard.
  const std::unique_ptr<QMenu> menu(f.findChild<ResultActions*>()->MenuFor(results->topLevelItem(0)));
  QStringList enabled;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) enabled << action->text() + (action->isEnabled() ? "+" : "-");
  }
  EXPECT_EQ(enabled.join(", "), "Open Link+, Copy Link+, Open Saved File-, Show Saved File in Folder-");
  menu->actions()[1]->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "https://a.example/1");
  f.findChild<ResultActions*>()->SetSavedFile(0, "/out/feed1.html");
  const std::unique_ptr<QMenu> saved(f.findChild<ResultActions*>()->MenuFor(results->topLevelItem(0)));
  saved->actions()[3]->trigger();
  saved->actions()[4]->trigger();
  EXPECT_EQ(opener.opened, (Texts{"https://a.example/1", "file:///out/feed1.html", "file:///out"}));

  // Ctrl+V on the URL list appends the clipboard's addresses; Enter clicks the focused button.
  QGuiApplication::clipboard()->setText("http://a.example/rss\nhttps://b.example/atom\n");
  f.ListView1->setFocus();
  QTest::keyClick(f.ListView1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(UrlRows(), (Texts{"http://a.example/rss", "https://b.example/atom"}));
  f.PushButton7->setFocus();
  QTest::keyClick(f.PushButton7, Qt::Key_Return);
  EXPECT_TRUE(UrlRows().empty());
  // Ctrl+O runs "Load RSS URLs From File".
  dialogs_.AnswerOpenFile("");
  QTest::keyClick(f.ListView2, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(dialogs_.fileDialogs.size(), 1u);
}

TEST_F(Form1Controls, OnASmallScreenTheWindowShrinksAndKeepsEveryControlInView) {
  Form1& f = Form();
  f.Form_Load();
  f.FitScreen(QRect(0, 0, 1280, 1024), 1);
  EXPECT_EQ(f.size(), QSize(536, 656));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  // 1024 x 768 at twice the size: 512 x 384 of the window's pixels.
  f.FitScreen(QRect(0, 0, 512, 384), 2);
  f.show();
  EXPECT_LE(f.width(), 512);
  EXPECT_LE(f.height(), 384);
  EXPECT_NE(f.minimumSize(), f.maximumSize());
  for (QWidget* control : {static_cast<QWidget*>(f.PushButton3), static_cast<QWidget*>(f.ProgressBar1),
                           static_cast<QWidget*>(f.Frame1), static_cast<QWidget*>(f.PushButton5)}) {
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_TRUE(f.rect().contains(control->geometry())) << control->geometry().y();
  }
  EXPECT_TRUE(f.Frame1->rect().contains(f.PushButton8->geometry()));
  EXPECT_LE(f.ListView1->geometry().bottom(), f.PushButton1->geometry().top());
  EXPECT_LT(f.ListView2->height(), 169);
  EXPECT_GE(f.ListView2->height(), 30);
}
