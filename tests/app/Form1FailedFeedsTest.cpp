// After a run, the URL-list rows whose feed failed carry the reason as their tool tip and show in
// the failure colours; the marks go when the next run starts.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "FailedFeedMarks.h"
#include "WindowJobFixture.h"

namespace {

const char* const kFeed = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>A</title>
<item><title>one</title><description>body</description><link>http://a/1</link></item>
</channel></rss>)";
const char* const kPage = "<html><body><p>Not a feed<br></body></html>";

struct Mark {
  std::string toolTip;
  bool coloured = false;
  bool operator==(const Mark&) const = default;
};

void PrintTo(const Mark& mark, std::ostream* out) {
  *out << "{\"" << mark.toolTip << "\", " << (mark.coloured ? "coloured" : "plain") << "}";
}

class Form1FailedFeeds : public WindowJobFixture {
 protected:
  void SetUp() override {
    WindowJobFixture::SetUp();
    Serve("/good.rss", 200, kFeed);
    Serve("/empty.rss", 200, R"(<rss version="2.0"><channel><title>E</title></channel></rss>)");
    Serve("/gone", 404, kPage, "text/html");
    Serve("/gone-but-a-feed", 404, kFeed);
    server_.Http().Get("/page", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(pageIsAFeed_ ? kFeed : kPage, pageIsAFeed_ ? "application/rss+xml" : "text/html");
    });
    StartServer();
  }

  // The mark of every URL-list row; a row with only some of the failure colours fails the test.
  std::vector<Mark> Marks() {
    std::vector<Mark> marks;
    for (int row = 0; row < Form().ListView1->topLevelItemCount(); ++row) {
      const QTreeWidgetItem* item = Form().ListView1->topLevelItem(row);
      const bool text = item->data(0, Qt::ForegroundRole).isValid();
      EXPECT_EQ(text, item->data(0, Qt::BackgroundRole).isValid()) << "row " << row;
      if (text) {
        EXPECT_EQ(item->foreground(0).color(), FailedFeedMarks::kText) << "row " << row;
        EXPECT_EQ(item->background(0).color(), FailedFeedMarks::kBackground) << "row " << row;
      }
      marks.push_back({item->toolTip(0).toStdString(), text});
    }
    return marks;
  }

  std::atomic<bool> pageIsAFeed_{false};
};

}  // namespace

TEST_F(Form1FailedFeeds, FailedFeedsCarryTheirReasonAndColoursAndOnlyThey) {
  // A port that was just free: nothing listens there, so the connection is refused at once.
  LoopbackServer closed;
  closed.Start();
  const std::string refused = closed.Url("/refused.rss");
  closed.Stop();
  for (const std::string& address : {Url("/good.rss"), Url("/page"), Url("/gone"), refused,
                                     Url("/empty.rss"), Url("/gone-but-a-feed")}) {
    AddAddress(address);
  }
  Form().PushButton2->click();
  ASSERT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));

  std::vector<Mark> marks = Marks();
  ASSERT_EQ(marks.size(), 6u);
  EXPECT_EQ(marks[0], Mark{}) << "a feed that was read";
  const Mark notAFeed{"The response is not an RSS, RDF or Atom feed with entries (HTTP 200 OK)", true};
  EXPECT_EQ(marks[1], notAFeed);
  EXPECT_TRUE(marks[2].coloured);
  EXPECT_NE(marks[2].toolTip.find("HTTP 404 Not Found"), std::string::npos) << marks[2].toolTip;
  EXPECT_TRUE(marks[3].coloured);
  EXPECT_NE(marks[3].toolTip.find("refused"), std::string::npos) << marks[3].toolTip;
  // The reader tells a dialect by its entries, so a feed without any cannot be told from a page.
  EXPECT_EQ(marks[4], notAFeed);
  EXPECT_EQ(marks[5], (Mark{"HTTP 404 Not Found", true})) << "a feed with entries under a 404";
  // Its entry still became a row, beside the good feed's.
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 2);

  // Rows added after a run are plain; the marked rows keep their marks until a run starts.
  AddAddress(Url("/good.rss"));
  marks.push_back(Mark{});
  EXPECT_EQ(Marks(), marks);
}

TEST_F(Form1FailedFeeds, FailureColoursShowOnTheScreen) {
  AddAddress(Url("/good.rss"));
  AddAddress(Url("/gone"));
  Form().PushButton2->click();
  Form().ListView1->clearSelection();
  Form().ListView1->setCurrentItem(nullptr);

  const QImage shot = Form().ListView1->viewport()->grab().toImage();
  // Right of the text, inside the column: only the row's background is painted there.
  auto backgroundOf = [&](int row) {
    const QRect rect = Form().ListView1->visualItemRect(Form().ListView1->topLevelItem(row));
    return shot.pixelColor(QPoint(rect.right() - 10, rect.center().y()) * shot.devicePixelRatio());
  };
  EXPECT_EQ(backgroundOf(1), FailedFeedMarks::kBackground);
  EXPECT_NE(backgroundOf(0), FailedFeedMarks::kBackground);
}

TEST_F(Form1FailedFeeds, MarksGoWhenTheNextRunStartsAndReturnOnlyWhereFeedsStillFail) {
  AddAddress(Url("/page"));
  AddAddress(Url("/gone"));
  Form().PushButton2->click();
  ASSERT_TRUE(Marks()[0].coloured);
  ASSERT_TRUE(Marks()[1].coloured);

  // While the next run adds the rows of its first feed, no row is marked any more.
  std::vector<std::vector<Mark>> duringRun;
  const QMetaObject::Connection rowsAdded =
      QObject::connect(Form().ListView2->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (duringRun.empty()) duringRun.push_back(Marks());
      });
  pageIsAFeed_ = true;
  Form().PushButton2->click();
  QObject::disconnect(rowsAdded);

  ASSERT_EQ(duringRun.size(), 1u);
  EXPECT_EQ(duringRun[0], (std::vector<Mark>{Mark{}, Mark{}}));
  const std::vector<Mark> after = Marks();
  EXPECT_EQ(after[0], Mark{}) << "the page is a feed now";
  EXPECT_TRUE(after[1].coloured);
  EXPECT_FALSE(after[1].toolTip.empty());
}
