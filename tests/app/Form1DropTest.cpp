// Drops on the URL list: addresses and address files are taken, anything else is refused, and a
// drop during a run only appends.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "WindowJobFixture.h"

namespace {

class Form1Drop : public WindowJobFixture {
 protected:
  // Drags data over the URL list and, when the list takes the drag, drops it there and lets the
  // list take the items. Gives whether the list took the drag.
  bool Drop(const QMimeData& data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    QWidget* viewport = Form().ListView1->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted()) return false;
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "a move would let the source delete a file";
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    QCoreApplication::processEvents();
    return true;
  }

  static std::unique_ptr<QMimeData> Links(const QList<QUrl>& urls) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
  }

  static std::unique_ptr<QMimeData> Text(const QString& text) {
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
  }
};

}  // namespace

TEST_F(Form1Drop, AddressesAndAddressFilesAreTakenInTheirOrder) {
  const QUrl list = QUrl::fromLocalFile(
      QString::fromStdString(WriteFile("list.TXT", "http://file/1\r\n\r\nhttp://file/2")));
  const QUrl opml = QUrl::fromLocalFile(QString::fromStdString(
      WriteFile("subs.opml", R"(<opml><body><outline xmlUrl="http://opml/1"/></body></opml>)")));
  const QUrl missing = QUrl::fromLocalFile(temp_.filePath(QStringLiteral("missing.opml")));

  EXPECT_TRUE(Drop(*Links({QUrl("http://a.example/feed?x=%C3%BC"), list, opml, missing,
                           QUrl("HTTPS://b.example/atom")})));
  EXPECT_TRUE(Drop(*Text(QStringLiteral("  http://c.example/rss \r\n\r\nhttps://d.example/\n"))));

  EXPECT_EQ(UrlRows(), (Texts{"http://a.example/feed?x=%C3%BC", "http://file/1", "",
                              "http://file/2", "http://opml/1", "https://b.example/atom",
                              "http://c.example/rss", "https://d.example/"}));
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"File not found"}));
}

TEST_F(Form1Drop, AnythingElseIsRefused) {
  const QUrl picture = QUrl::fromLocalFile(QString::fromStdString(WriteFile("feed.png", "x")));
  const struct {
    const char* name;
    std::unique_ptr<QMimeData> data;
    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  } rows[] = {
      {"a picture", Links({picture})},
      {"another scheme", Links({QUrl("ftp://a.example/feed.rss")})},
      {"an address beside a picture", Links({QUrl("http://a.example/"), picture})},
      {"words", Text(QStringLiteral("read this"))},
      {"an address beside words", Text(QStringLiteral("http://a.example/\nand more"))},
      {"a move only", Links({QUrl("http://a.example/")}), Qt::MoveAction},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(Drop(*row.data, row.actions));
  }
  EXPECT_TRUE(UrlRows().empty());
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Drop, ADropDuringARunOnlyAppends) {
  ServeSlowly("/slow.rss", R"(<rss><channel><item><title>T</title></item></channel></rss>)",
              300);
  StartServer();
  AddAddress(Url("/slow.rss"));
  Form().SetRetrievalOptions(ShortWaits());
  // Fires while the run waits for the slow feed and handles the window's events.
  bool dropped = false;
  QTimer::singleShot(100, &Form(), [&] {
    dropped = Form().Running();
    EXPECT_TRUE(Drop(*Text(QStringLiteral("http://late.example/feed"))));
  });

  Form().PushButton2->click();
  QCoreApplication::processEvents();

  ASSERT_TRUE(dropped) << "the drop was to come while the feed downloaded";
  EXPECT_EQ(UrlRows(), (Texts{Url("/slow.rss"), "http://late.example/feed"}));
  EXPECT_EQ(ResultRows(), (std::vector<ShownResult>{{Url("/slow.rss"), "T", "", "", true}}));
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));
}
