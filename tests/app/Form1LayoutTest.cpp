// The window's controls: kinds, texts, places, fonts, tab order and the lists' columns.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>

#include "FormFixture.h"
#include "ResultsHeader.h"

namespace {

struct ControlRow {
  const char* name;
  QWidget* (*get)(Form1&);
  const char* text;  // caption, or nullptr for lists and the text field
  QRect pixels;      // relative to the parent: the window, or Frame1 for its children
  QWidget* (*parent)(Form1&);
};

QWidget* Window(Form1& f) { return &f; }
QWidget* Frame(Form1& f) { return f.Frame1; }

// Twips divided by 15 and rounded: 7880 twips is 525.33 pixels, 800 twips 53.33.
const ControlRow kControls[] = {
    {"ListView1", [](Form1& f) -> QWidget* { return f.ListView1; }, nullptr, {8, 6, 520, 169}, Window},
    {"ListView2", [](Form1& f) -> QWidget* { return f.ListView2; }, nullptr, {8, 284, 520, 169}, Window},
    {"PushButton4", [](Form1& f) -> QWidget* { return f.PushButton4; }, "Check All", {8, 459, 256, 27}, Window},
    {"PushButton5", [](Form1& f) -> QWidget* { return f.PushButton5; }, "Uncheck All", {272, 459, 256, 27}, Window},
    {"PushButton3", [](Form1& f) -> QWidget* { return f.PushButton3; }, "Save Results As HTML", {8, 587, 520, 27}, Window},
    {"ProgressBar1", [](Form1& f) -> QWidget* { return f.ProgressBar1; }, "Progress Bar", {8, 622, 520, 27}, Window},
    {"Frame1", [](Form1& f) -> QWidget* { return f.Frame1; }, "Save Results To This Folder", {8, 525, 520, 53}, Window},
    {"Text1", [](Form1& f) -> QWidget* { return f.Text1; }, nullptr, {16, 20, 445, 23}, Frame},
    {"PushButton8", [](Form1& f) -> QWidget* { return f.PushButton8; }, "...", {464, 20, 41, 23}, Frame},
    {"PushButton1", [](Form1& f) -> QWidget* { return f.PushButton1; }, "Add RSS Feed URL", {8, 181, 256, 27}, Window},
    {"PushButton6", [](Form1& f) -> QWidget* { return f.PushButton6; }, "Load RSS URLs From File", {272, 181, 256, 27}, Window},
    {"PushButton2", [](Form1& f) -> QWidget* { return f.PushButton2; }, "Start Retrieving Data", {8, 251, 520, 27}, Window},
    {"PushButton7", [](Form1& f) -> QWidget* { return f.PushButton7; }, "Clear List", {8, 216, 256, 27}, Window},
    {"PushButton9", [](Form1& f) -> QWidget* { return f.PushButton9; }, "Load Sample/Example Data", {272, 216, 256, 27}, Window},
    {"PushButton10", [](Form1& f) -> QWidget* { return f.PushButton10; }, "Clear List", {8, 493, 256, 27}, Window},
    {"PushButton11", [](Form1& f) -> QWidget* { return f.PushButton11; }, "Help", {272, 493, 256, 27}, Window},
};

QString TextOf(QWidget* widget) {
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* bar = qobject_cast<QProgressBar*>(widget)) return bar->text();
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
  return {};
}

std::vector<int> ColumnWidths(QTreeWidget* list) {
  std::vector<int> widths;
  for (int column = 0; column < list->columnCount(); ++column) {
    widths.push_back(list->columnWidth(column));
  }
  return widths;
}

QStringList HeaderTexts(QTreeWidget* list) {
  QStringList texts;
  for (int column = 0; column < list->columnCount(); ++column) {
    texts << list->headerItem()->text(column);
  }
  return texts;
}

}  // namespace

using Form1Layout = FormFixture;

TEST_F(Form1Layout, EveryControlHasItsNameTextPlaceAndParentInAFixedWindow) {
  Form1& form = Form();
  EXPECT_EQ(form.size(), QSize(536, 656));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window must not be resizable";
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* widget = row.get(form);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->objectName(), QString::fromLatin1(row.name));
    EXPECT_EQ(widget->parentWidget(), row.parent(form));
    EXPECT_EQ(widget->geometry(), row.pixels);
    if (row.text) {
      EXPECT_EQ(TextOf(widget).toStdString(), row.text);
    }
  }
}

TEST_F(Form1Layout, FontsAreArialBoldNinePointAndButtonsElevenAndAQuarter) {
  Form1& form = Form();
  for (QWidget* widget : std::initializer_list<QWidget*>{&form, form.ListView1, form.ListView2}) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_EQ(widget->font().family(), QStringLiteral("Arial"));
    EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 9.0);
    EXPECT_TRUE(widget->font().bold());
  }
  for (QPushButton* button : form.findChildren<QPushButton*>()) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_EQ(button->font().family(), QStringLiteral("Arial"));
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
    EXPECT_TRUE(button->font().bold());
  }
  EXPECT_EQ(form.findChildren<QPushButton*>().size(), 11);
}

TEST_F(Form1Layout, ListsCarryTheirToolTipsAndNoTreeDecoration) {
  Form1& form = Form();
  EXPECT_EQ(form.ListView1->toolTip().toStdString(),
            "Double-click item to remove it. Move | line to right and out of window to reveal "
            "full names.");
  EXPECT_EQ(form.ListView2->toolTip().toStdString(),
            "Move | line to right and out of window to reveal full names.");
  EXPECT_FALSE(form.ListView1->rootIsDecorated());
  EXPECT_FALSE(form.ListView2->rootIsDecorated());
}

TEST_F(Form1Layout, TabKeyVisitsTheControlsInTheirOrder) {
  Form1& form = Form();
  const std::vector<QWidget*> expected = {
      form.ListView1,   form.ListView2,   form.PushButton4, form.PushButton5,
      form.PushButton3, form.Text1,       form.PushButton8, form.PushButton1,
      form.PushButton6, form.PushButton2, form.PushButton7, form.PushButton9,
      form.PushButton10, form.PushButton11};
  // Walk Qt's focus chain from the first list, keeping what the Tab key would stop at.
  std::vector<QWidget*> visited;
  QWidget* widget = form.ListView1;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) visited.push_back(widget);
    widget = widget->nextInFocusChain();
  } while (widget != form.ListView1 && visited.size() < 50);
  ASSERT_EQ(visited.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(visited[i], expected[i]) << "place " << i << ": " << visited[i]->objectName().toStdString();
  }
}

TEST_F(Form1Layout, ProgressBarShowsItsTextLiterally) {
  Form1& form = Form();
  // Feed addresses may hold percent escapes; QProgressBar alone would put numbers in their place.
  const QString text = QStringLiteral("Processing: http://feeds.example/a%20b?x=%p%v%m");
  form.ProgressBar1->setFormat(text);
  form.ProgressBar1->setValue(42);
  EXPECT_EQ(form.ProgressBar1->text(), text);
}

TEST_F(Form1Layout, ColumnsAreMadeByTheWindowsPreparation) {
  Form1& form = Form();
  EXPECT_EQ(form.ListView1->columnCount(), 0);
  EXPECT_EQ(form.ListView2->columnCount(), 0);
  form.Form_Load();
  EXPECT_TRUE(dialogs_.messages.empty());

  EXPECT_EQ(HeaderTexts(form.ListView1), QStringList{QStringLiteral("Feed URL(s)")});
  EXPECT_EQ(form.ListView1->columnWidth(0), 467);  // 7000 twips

  const QStringList results = {QStringLiteral("Feed URL(s)"), QStringLiteral("Result(s)"),
                               QStringLiteral("Description"), QString()};
  EXPECT_EQ(HeaderTexts(form.ListView2), results);
  EXPECT_EQ(form.ListView2->columnWidth(0), 133);  // 2000 twips
  EXPECT_EQ(form.ListView2->columnWidth(1), 333);  // 5000 twips
  // 1 twip rounds to nothing; the columns stay one pixel wide so they can be dragged open.
  EXPECT_EQ(form.ListView2->columnWidth(2), 1);
  EXPECT_EQ(form.ListView2->columnWidth(3), 1);
  EXPECT_FALSE(form.ListView2->header()->isSectionHidden(2));
  EXPECT_EQ(form.ListView2->header()->sectionResizeMode(3), QHeaderView::Interactive);
}

TEST_F(Form1Layout, EachResultsColumnCanBeDraggedOpenOnTheHeader) {
  Form1& form = Form();
  form.Form_Load();
  form.show();
  QWidget* header = form.ListView2->header()->viewport();
  const int y = header->height() / 2;
  // A drag with the left button held, from x across dx pixels.
  const auto drag = [&](int x, int dx) {
    QTest::mousePress(header, Qt::LeftButton, {}, QPoint(x, y));
    QTest::mouseMove(header, QPoint(x + dx / 2, y));
    QTest::mouseMove(header, QPoint(x + dx, y));
    QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(x + dx, y));
  };
  // "Result(s)" ends where the one-pixel columns start; it keeps the grip on its own side.
  const int edge = form.ListView2->header()->sectionViewportPosition(2);
  ASSERT_EQ(edge, 133 + 333);
  drag(edge - 2, -33);
  ASSERT_EQ(ColumnWidths(form.ListView2), (std::vector<int>{133, 300, 1, 1}));
  // Past the edge the last one-pixel column opens first, the one before it next.
  drag(edge - 33 + 2, 100);
  EXPECT_EQ(ColumnWidths(form.ListView2), (std::vector<int>{133, 300, 1, 101}));
  drag(edge - 33 + 2, 60);
  EXPECT_EQ(ColumnWidths(form.ListView2), (std::vector<int>{133, 300, 61, 101}));
  drag(edge - 33 - 2, 20);
  EXPECT_EQ(ColumnWidths(form.ListView2), (std::vector<int>{133, 320, 61, 101}));
}

TEST_F(Form1Layout, HeaderMenuShowsAndHidesResultsColumns) {
  Form().Form_Load();
  auto* header = qobject_cast<ResultsHeader*>(Form().ListView2->header());
  ASSERT_NE(header, nullptr);
  const std::unique_ptr<QMenu> menu(header->ColumnMenu());
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 4);
  const QStringList labels = {QStringLiteral("Feed URL(s)"), QStringLiteral("Result(s)"),
                              QStringLiteral("Description"), QStringLiteral("Link")};
  for (int column = 0; column < 4; ++column) {
    SCOPED_TRACE(column);
    EXPECT_EQ(actions[column]->text(), labels[column]);
    EXPECT_EQ(actions[column]->isChecked(), column < 2) << "one-pixel columns count as not shown";
    EXPECT_EQ(actions[column]->isEnabled(), column > 0) << "the tick boxes' column always shows";
  }
  actions[2]->trigger();
  actions[1]->trigger();
  EXPECT_EQ(Form().ListView2->columnWidth(2), header->defaultSectionSize());
  EXPECT_TRUE(header->isSectionHidden(1));
}
