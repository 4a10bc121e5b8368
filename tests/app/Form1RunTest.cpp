// The window's job against a loopback server, from the first address to the saved files, and
// closing the window in the middle of a run.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "SaveFormatMenu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <map>
#include <optional>
#include <thread>

#include "FailedFeedMarks.h"
#include "FakeClock.h"
#include "FormFixture.h"
#include "QtDialogService.h"
#include "QtEventPump.h"

namespace {

const char* const kFeedA = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>A</title>
<item><title>Grüße — 日本</title><description>&lt;b&gt;first&lt;/b&gt; body</description>
<link>http://a/1</link></item>
<item><title></title><description></description><link></link></item>
</channel></rss>)";

const char* const kFeedB = R"(<feed xmlns="http://www.w3.org/2005/Atom"><title>B</title>
<entry><title>B one</title><summary>second</summary><link href="http://b/1"/></entry></feed>)";

using Form1Run = FormFixture;

}  // namespace

TEST_F(Form1Run, WholeJobFromTheAddressesToTheSavedFiles) {
  Shown();
  Serve("/a.rss", 200, kFeedA);
  Serve("/gone", 404, "<html><body>gone<br></body></html>", "text/html");
  Serve("/b.rss", 200, kFeedB, "application/atom+xml");
  server_.Start();
  const std::string a = Url("/a.rss"), gone = Url("/gone"), b = Url("/b.rss");
  AddAddress(a);
  dialogs_.AnswerOpenFile(WriteFile("list.txt", QByteArray::fromStdString(gone + "\r\n" + b)));
  Form().PushButton6->click();
  ASSERT_EQ(UrlRows(), (Texts{a, gone, b}));

  // "Help", pressed as the run starts. Its box has an event loop of its own, in which the
  // downloads go on; it stays open until every feed has been asked for and twice the idle limit
  // has passed on the run's clock, and that fails none of them. The clock moves on a little at
  // each reading and by the box's ticks.
  FakeClock clock(std::chrono::milliseconds(1));
  RetrievalOptions options;
  options.closingWaitSeconds = 0;
  options.http.idleTimeout = std::chrono::milliseconds(300);
  options.clock = &clock;
  Form().SetRetrievalOptions(options);
  int requestsWhileOpen = -1;
  dialogs_.onMessage = [&](const ScriptedDialogs::Message& message) {
    if (message.text == "Done.") return;
    QEventLoop box;
    QElapsedTimer hung;
    hung.start();
    std::optional<Clock::TimePoint> allAsked;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      clock.SleepFor(std::chrono::milliseconds(10));
      if (requests_ == 3 && !allAsked) allAsked = clock.Now();
      if ((allAsked && clock.Now() - *allAsked > 2 * options.http.idleTimeout) || hung.elapsed() > 20000) box.quit();
    });
    check.start(10);
    box.exec();
    requestsWhileOpen = requests_;
  };
  QTimer::singleShot(0, &Form(), [&] { Form().PushButton11->click(); });
  // Past the pump's pause between passes, so that the run's first pass opens the box.
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * QtEventPump::kMinPassMilliseconds));
  // The bar names the feed whose rows are being added, with the share of rows reached.
  Texts bar;
  QObject::connect(Form().ListView2->model(), &QAbstractItemModel::rowsInserted, [&] {
    const QProgressBar* shown = Form().ProgressBar1;
    const std::string now = std::to_string(shown->value()) + " " + shown->text().toStdString();
    if (bar.empty() || bar.back() != now) bar.push_back(now);
  });
  Form().PushButton2->click();

  EXPECT_EQ(requestsWhileOpen, 3) << "the downloads stood still while the box was open";
  EXPECT_EQ(ResultRows(), (std::vector<Texts>{{a, "Grüße — 日本", "first body", "http://a/1", "ticked"},
                                              {a, "", "", "", "ticked"},
                                              {b, "B one", "second", "http://b/1", "ticked"}}));
  EXPECT_EQ(bar, (Texts{"33 Processing: " + a, "100 Processing: " + b}));
  // Once "Done." is dismissed the bar keeps what the run did.
  EXPECT_EQ(Form().ProgressBar1->text() + QString::number(Form().ProgressBar1->value()), "3 feeds read, 1 failed, 3 rows0");
  EXPECT_EQ(Form().MousePointer(), 0);
  // The failed feed's row shows in the failure colours with the reason as its tool tip.
  const QTreeWidgetItem* failed = Form().ListView1->topLevelItem(1);
  EXPECT_TRUE(failed->toolTip(0).contains("HTTP 404 Not Found")) << failed->toolTip(0).toStdString();
  EXPECT_EQ(failed->background(0).color(), FailedFeedMarks::BackgroundFor(Form().ListView1->palette()));
  // Readable under a dark palette too: the palette's own text on its base tinted red.
  QPalette dark;
  dark.setColor(QPalette::Base, Qt::black);
  EXPECT_LT(FailedFeedMarks::BackgroundFor(dark).lightness(), 80);
  EXPECT_GT(FailedFeedMarks::BackgroundFor(QPalette(Qt::white, Qt::white)).lightness(), 160);
  EXPECT_TRUE(Form().ListView1->topLevelItem(0)->toolTip(0).isEmpty());

  // "Uncheck All", "Check All", then the user unticks the second row and picks a folder with "...".
  Form().PushButton5->click();
  EXPECT_EQ(ResultRows()[2][4], "unticked");
  Form().PushButton4->click();
  EXPECT_EQ(ResultRows()[0][4], "ticked");
  Form().ListView2->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  ASSERT_TRUE(QDir(temp_.path()).mkdir("out"));
  dialogs_.AnswerChooseFolder(Path("out").toStdString());
  Form().PushButton8->click();
  EXPECT_EQ(Form().Text1->text() + " " + StoredLocation(), Path("out/") + " " + Path("out/"));
  Form().PushButton3->click();
  EXPECT_EQ(Form().ProgressBar1->text(), "2 files written to " + Path("out/"));

  std::map<std::string, std::string> files;
  for (const QString& name : QDir(Path("out")).entryList(QDir::Files | QDir::Hidden)) {
    QFile file(Path("out/" + name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    files[name.toStdString()] = file.readAll().toStdString();
  }
  // Named after the address's letters and digits and the count of ticked rows so far.
  const std::string stem = "http127001" + std::to_string(server_.Port());
  EXPECT_EQ(files, (std::map<std::string, std::string>{
                       {stem + "arss1.html", "Grüße — 日本\r\n\r\nfirst body\r\n\r\nhttp://a/1\r\n"},
                       {stem + "brss2.html", "B one\r\n\r\nsecond\r\n\r\nhttp://b/1\r\n"}}));
  EXPECT_EQ(dialogs_.MessageTexts().size(), 3u);
  EXPECT_EQ(dialogs_.MessageTexts().back(), "Done.");
  // The save button's menu: JSON is stored at once, and the next save writes .json files.
  QAction* json = Form().SaveFormats()->Menu()->actions().at(3);
  ASSERT_EQ(json->data().toString(), "json");
  json->trigger();
  EXPECT_EQ(SettingsStore::AtPath(Path("Quillmark.conf")).Read("Feedwright", "Output Format", "<absent>"), "json");
  Form().PushButton3->click();
  EXPECT_TRUE(QFile::exists(Path("out/" + QString::fromStdString(stem) + "arss1.json")));
  // The results list's "Clear List" leaves the URL list alone.
  Form().PushButton10->click();
  EXPECT_TRUE(ResultRows().empty());
  EXPECT_EQ(UrlRows().size(), 3u);
}

// Closing while a feed stalls and a real box is open ends the box, the run and the event loop
// at once, without the run's closing wait or any further message.
// Escape, pressed twice as the first feed's rows come in, stops the run after it and says so once.
TEST_F(Form1Run, EscapeStopsTheRunAfterTheFeedBeingRead) {
  Shown();
  Serve("/a.rss", 200, kFeedA);
  Serve("/b.rss", 200, kFeedB, "application/atom+xml");
  server_.Start();
  AddAddress(Url("/a.rss"));
  AddAddress(Url("/b.rss"));
  QObject::connect(Form().ListView2->model(), &QAbstractItemModel::rowsInserted, &Form(), [&] {
    for (int press = 0; press < 2; ++press) QTest::keyClick(&Form(), Qt::Key_Escape);
  });
  Form().PushButton2->click();
  EXPECT_EQ(dialogs_.MessageTexts(), Texts{"Stopped."});
  EXPECT_EQ(ResultRows().size(), 2u) << "the rows of the first feed only";
}

TEST_F(Form1Run, ClosingDuringARunWithABoxOpenEndsTheProgramPromptly) {
  Shown();
  std::atomic<bool> release{false};
  std::atomic<int> stalled{0};
  server_.Http().Get("/stall", [&](const httplib::Request&, httplib::Response& response) {
    ++stalled;
    for (int waited = 0; waited < 5000 && !release; waited += 5) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    response.set_content(kFeedB, "application/atom+xml");
  });
  Serve("/a.rss", 200, kFeedA);
  server_.Start();
  AddAddress(Url("/stall"));
  AddAddress(Url("/a.rss"));
  Form().SetRetrievalOptions({});  // with the program's own closing wait, which closing skips
  QtDialogService boxes;
  boxes.SetParent(&Form());

  bool runReturned = false, laterBoxReturned = false;
  // Every timer goes with the window, so none outlives the test.
  QTimer::singleShot(0, &Form(), [&] {
    Form().PushButton2->click();
    runReturned = true;
  });
  QTimer::singleShot(200, &Form(), [&] {
    EXPECT_TRUE(Form().Running());
    EXPECT_EQ(Form().MousePointer(), 11);
    Form().PushButton2->click();  // held back: no second request
    boxes.ShowMessage("Done.", "", DialogService::Icon::None);
    EXPECT_TRUE(Form().Closing());
    // An operation that goes on after the close is not held up by another box.
    boxes.ShowMessage("No URLs added.", "", DialogService::Icon::None);
    laterBoxReturned = true;
  });
  QTimer::singleShot(400, &Form(), [&] {
    EXPECT_NE(QApplication::activeModalWidget(), nullptr) << "the box should be open by now";
    Form().close();
  });
  // A watchdog ends a hang, so that the test fails instead of the whole run.
  QTimer::singleShot(5000, &Form(), [] {
    for (QWidget* window : QApplication::topLevelWidgets()) window->close();
    QCoreApplication::exit(1);
  });

  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(runReturned);
  EXPECT_TRUE(laterBoxReturned);
  EXPECT_EQ(stalled, 1) << "a second start was not held back";
  EXPECT_FALSE(Form().Running() || Form().isVisible() || QApplication::activeModalWidget()) << "still open";
  EXPECT_TRUE(dialogs_.messages.empty()) << "nobody is left to read a message";
  EXPECT_TRUE(ResultRows().empty()) << "the feed after the stalled one is not read";
  release = true;
  server_.Stop();
}
