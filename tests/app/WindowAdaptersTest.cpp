// The window's controls as the workflow sees them: exact row texts, row and column bounds, the
// deferred scroll, the bar's whole percent, and the event pump's pace.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <chrono>
#include <thread>

#include "ItemText.h"
#include "ListViewResultsList.h"
#include "ListViewUrlList.h"
#include "ProgressBarSink.h"
#include "QtEventPump.h"

TEST(ItemText, EveryTextComesBackByteForByte) {
  const std::string texts[] = {
      "",
      "Grüße — 日本 🎉",
      std::string("nul\0inside", 10),
      "caf\xE9",               // Latin-1
      "\xFF\xFE",              // never UTF-8
      "\xE2\x82",              // a cut sequence
      "\xC0\xAF",              // an overlong slash
      "\xED\xA0\x80",          // an encoded surrogate
  };
  QTreeWidgetItem item;
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    ItemText::Set(&item, 0, text);
    EXPECT_EQ(ItemText::Get(&item, 0), text);
  }
  // A valid text set after an invalid one leaves no old bytes behind.
  ItemText::Set(&item, 0, "plain");
  EXPECT_EQ(ItemText::Get(&item, 0), "plain");
  item.setText(0, QStringLiteral("set by the view"));
  EXPECT_EQ(ItemText::Get(&item, 0), "set by the view");
}

TEST(ListViewUrlList, RowsOutsideTheListThrowAndChangeNothing) {
  QTreeWidget view;
  ListViewUrlList list(&view);
  list.Append("a");
  for (int64_t row : {int64_t{-1}, int64_t{1}, int64_t{1} << 40}) {
    SCOPED_TRACE(row);
    EXPECT_THROW(list.Text(row), std::out_of_range);
    EXPECT_THROW(list.Remove(row), std::out_of_range);
  }
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.SelectedRow(), -1);
  view.setCurrentItem(view.topLevelItem(0));
  EXPECT_EQ(list.SelectedRow(), 0);
}

TEST(ListViewResultsList, RowsAndSubItemsOutsideTheListThrow) {
  QTreeWidget view;
  view.setColumnCount(4);
  ListViewResultsList list(&view);
  EXPECT_EQ(list.Append("http://a/"), 0);
  EXPECT_EQ(list.Append("http://b/"), 1);
  EXPECT_FALSE(list.IsChecked(1)) << "rows start unticked; the run ticks them";
  for (int64_t row : {int64_t{-1}, int64_t{2}}) {
    SCOPED_TRACE(row);
    EXPECT_THROW(list.Text(row), std::out_of_range);
    EXPECT_THROW(list.SetChecked(row, true), std::out_of_range);
    EXPECT_THROW(list.SetSubItem(row, ResultsList::kTitle, "x"), std::out_of_range);
    EXPECT_THROW(list.ScrollIntoView(row), std::out_of_range);
  }
  for (int column : {0, 4, -1}) {
    SCOPED_TRACE(column);
    EXPECT_THROW(list.SetSubItem(0, column, "x"), std::out_of_range);
    EXPECT_THROW(list.SubItem(0, column), std::out_of_range);
  }
  list.SetSubItem(1, ResultsList::kLink, "\xFFlink");
  EXPECT_EQ(list.SubItem(1, ResultsList::kLink), "\xFFlink");
  EXPECT_EQ(view.topLevelItem(1)->text(3), QString::fromUtf8("\xEF\xBF\xBDlink"));
  EXPECT_TRUE(view.topLevelItem(0)->flags() & Qt::ItemIsUserCheckable);
  // The rows of one feed share its decoded address, exact bytes included, until the next feed's.
  for (const char* address : {"\xFF" "a", "\xFF" "a", "http://c/"}) list.Append(address);
  EXPECT_EQ(list.Text(2), "\xFF" "a");
  EXPECT_EQ(list.Text(3), "\xFF" "a");
  EXPECT_EQ(list.Text(4), "http://c/");
}

TEST(ListViewResultsList, TheLastRowAskedForIsInViewOnceEventsAreHandled) {
  QTreeWidget view;
  view.setColumnCount(4);
  view.resize(300, 120);
  view.show();
  ListViewResultsList list(&view);
  for (int row = 0; row < 200; ++row) {
    list.ScrollIntoView(list.Append("row " + std::to_string(row)));
  }
  QCoreApplication::processEvents();
  const QRect shown = view.visualItemRect(view.topLevelItem(199));
  EXPECT_TRUE(shown.top() >= 0 && shown.bottom() < view.viewport()->height())
      << "the last row is out of sight at " << shown.top() << " to " << shown.bottom();
  EXPECT_GT(view.verticalScrollBar()->value(), 0);

  // Clearing forgets a scroll still pending, so it cannot land on a row that has gone.
  list.ScrollIntoView(150);
  list.Clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(list.Count(), 0);
}

TEST(ListViewResultsList, RowsAreOneLineHighWhateverTheDescriptionsHold) {
  QTreeWidget view;
  view.setColumnCount(4);
  view.resize(400, 300);
  view.show();
  ListViewResultsList list(&view);
  std::string manyLines;
  for (int line = 0; line < 20; ++line) manyLines += "line " + std::to_string(line) + "\r\n";
  list.Append("first");
  list.SetSubItem(0, ResultsList::kTitle, "Title\nwith a break");
  list.SetSubItem(0, ResultsList::kDescription, manyLines);
  list.Append("second");
  list.SetSubItem(1, ResultsList::kTitle, "One line");
  QCoreApplication::processEvents();

  const int lineHeight = view.fontMetrics().height();
  for (int row : {0, 1}) {
    SCOPED_TRACE(row);
    EXPECT_LT(view.visualItemRect(view.topLevelItem(row)).height(), 2 * lineHeight);
  }
  EXPECT_EQ(list.SubItem(0, ResultsList::kDescription), manyLines) << "the text keeps its breaks";
}

TEST(ProgressBarSink, PositionsShowAsTheNearestWholePercentWithinTheBarAndTextsAsGiven) {
  const struct {
    double position;
    int shown;
  } cases[] = {
      {100.0 / 3, 33}, {200.0 / 3, 67}, {0.5, 1}, {0.49, 0}, {100.4, 100}, {-1, 0},
      {1e300, 100},    {-1e300, 0},     {std::numeric_limits<double>::quiet_NaN(), 0},
      {std::numeric_limits<double>::infinity(), 100},
  };
  QProgressBar bar;
  bar.setRange(0, 100);
  ProgressBarSink sink(&bar);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    sink.SetPosition(c.position);
    EXPECT_EQ(bar.value(), c.shown);
  }
  sink.SetText("Processing: http://a/%p%v%m?x=100%");
  EXPECT_EQ(bar.format(), QStringLiteral("Processing: http://a/%p%v%m?x=100%"));
}

TEST(QtEventPump, HandlesPendingEventsAndThenAtMostEveryTenMilliseconds) {
  QtEventPump pump;
  int fired = 0;
  QTimer::singleShot(0, [&] { ++fired; });
  pump.ProcessEvents();
  EXPECT_EQ(fired, 1) << "the first pass handles what is pending";

  QTimer::singleShot(0, [&] { ++fired; });
  QElapsedTimer clock;
  clock.start();
  pump.ProcessEvents();
  // Only meaningful when the machine did not pause between the two passes.
  if (clock.elapsed() < QtEventPump::kMinPassMilliseconds / 2) {
    EXPECT_EQ(fired, 1) << "a pass right after another returns at once";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(QtEventPump::kMinPassMilliseconds + 5));
  pump.ProcessEvents();
  EXPECT_EQ(fired, 2);
}
