// The window's controls as the workflow sees them: exact row texts, failure marks, the results
// list's deferred scroll and one-line rows, and the bar's text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <stdexcept>
#include <string>

#include "FailedFeedMarks.h"
#include "ItemText.h"
#include "ListViewResultsList.h"
#include "LiteralProgressBar.h"
#include "ProgressBarSink.h"

TEST(ListViewUrlList, EveryTextComesBackByteForByte) {
  QTreeWidget view;
  ListViewUrlList list(&view);
  // Not UTF-8: Latin-1, a cut sequence, an encoded surrogate; then a valid text leaves no old bytes.
  const std::string texts[] = {"",       "Grüße — 日本 🎉", {"nul\0inside", 10}, "caf\xE9",
                               "\xE2\x82", "\xED\xA0\x80",    "plain"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    list.Append(text);
    ItemText::Set(view.topLevelItem(0), 0, text);
    EXPECT_EQ(list.Text(list.Count() - 1) + list.Text(0), text + text);
  }
  EXPECT_EQ(view.topLevelItem(3)->text(0), QString::fromUtf8("caf\xEF\xBF\xBD"));
  view.topLevelItem(6)->setText(0, QStringLiteral("set by the view"));
  EXPECT_EQ(list.Text(6), "set by the view");
}

TEST(FailedFeedMarks, MarkTheRowThatStillHoldsTheFailedAddressUntilTheNextRunStarts) {
  QTreeWidget view;
  ListViewUrlList list(&view);
  for (const char* address : {"http://a/", "http://b/"}) list.Append(address);
  FailedFeedMarks marks(list, &view, nullptr);
  // Row, address, read, rows added, error code and text, HTTP status and text.
  marks.FeedFinished({0, "http://a/", true, 1, 0, "", 200, "OK", "", 0, ""});
  marks.FeedFinished({1, "http://b/", false, 0, 0, "", 404, "Not Found", "", 0, ""});
  marks.FeedFinished({0, "http://b/", false, 0, 0, "", 404, "Not Found", "", 0, ""});  // the row holds another address
  const auto shown = [&](int row) {
    const QTreeWidgetItem* item = view.topLevelItem(row);
    const auto colour = [&](int role) { return item->data(0, role).value<QBrush>().color().name().toStdString(); };
    return item->toolTip(0).toStdString() + "|" + colour(Qt::ForegroundRole) + "|" + colour(Qt::BackgroundRole);
  };
  EXPECT_EQ(shown(0), "|#000000|#000000");
  EXPECT_EQ(shown(1), "HTTP 404 Not Found|" + view.palette().color(QPalette::Text).name().toStdString() + "|" +
                          FailedFeedMarks::BackgroundFor(view.palette()).name().toStdString());
  marks.RunStarted();
  EXPECT_EQ(shown(1), "|#000000|#000000");
  EXPECT_FALSE(view.topLevelItem(1)->data(0, Qt::BackgroundRole).isValid()) << "no empty entry left behind";
}

TEST(ListViewResultsList, RowsStayOneLineHighAndTheLastAskedForIsInViewOnceEventsAreHandled) {
  QTreeWidget view;
  view.setColumnCount(4);
  view.resize(300, 120);
  view.show();
  ListViewResultsList list(&view);
  std::string manyLines;
  for (int line = 0; line < 20; ++line) manyLines += "line " + std::to_string(line) + "\r\n";
  list.Append("first");
  list.SetSubItem(0, ResultsList::kTitle, "Title\nwith a break");
  list.SetSubItem(0, ResultsList::kDescription, manyLines);
  for (int row = 1; row < 200; ++row) list.ScrollIntoView(list.Append("row " + std::to_string(row)));
  QCoreApplication::processEvents();
  // Line breaks show as spaces, so the title is as wide as its words on one line.
  EXPECT_LT(view.visualItemRect(view.topLevelItem(0)).height(), 2 * view.fontMetrics().height());
  view.resizeColumnToContents(1);
  EXPECT_GT(view.columnWidth(1), view.fontMetrics().horizontalAdvance("Title with a"));
  EXPECT_EQ(list.SubItem(0, ResultsList::kDescription), manyLines) << "the text keeps its breaks";
  const QRect shown = view.visualItemRect(view.topLevelItem(199));
  EXPECT_TRUE(shown.top() >= 0 && shown.bottom() < view.viewport()->height()) << shown.top() << " " << shown.bottom();
  EXPECT_GT(view.verticalScrollBar()->value(), 0);
  // Clearing forgets a scroll still pending, so it cannot land on a row that has gone.
  list.ScrollIntoView(150);
  list.Clear();
  EXPECT_THROW(list.ScrollIntoView(0), std::out_of_range);
  QCoreApplication::processEvents();
}

TEST(ProgressBarSink, TheBarShowsItsTextAsGiven) {
  // Feed addresses may hold percent escapes; QProgressBar alone would put numbers in their place.
  LiteralProgressBar bar;
  ProgressBarSink(&bar).SetText("Processing: http://a/%p%v%m?x=100%");
  EXPECT_EQ(bar.text(), QStringLiteral("Processing: http://a/%p%v%m?x=100%"));
}
