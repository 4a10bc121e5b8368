// The window's job against a loopback server, from the first address to the saved files, and
// closing the window in the middle of a run.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "SaveFormatMenu.h"

#include <QApplication>
#include <QDateTime>
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
#include "ResultsHeader.h"
#include "SavedRecord.h"

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
  // "File Names..." offers the template in use and stores the answer, which names the next save.
  dialogs_.AnswerPrompt("{n}{stem}");
  Form().SaveFormats()->Menu()->actions().back()->trigger();
  EXPECT_EQ(dialogs_.prompts.back().back(), "{stem}{n}");
  Form().PushButton3->click();
  EXPECT_TRUE(QFile::exists(Path("out/1" + QString::fromStdString(stem) + "arss.json")));
  // The results list's "Clear List" leaves the URL list alone.
  Form().PushButton10->click();
  EXPECT_TRUE(ResultRows().empty());
  EXPECT_EQ(UrlRows().size(), 3u);
}

// "Save Enclosures", ticked in the results header's menu and stored, saves an entry's enclosure
// beside its file; one that fails is named with its reason in the row's tool tip.
TEST_F(Form1Run, SaveEnclosuresTickedInTheHeaderMenu) {
  Shown();
  Serve("/ep.mp3", 200, "episode", "audio/mpeg");
  server_.Http().Get("/pod.rss", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content("<rss version='2.0'><channel><item><title>Ep</title><enclosure url='" + Url("/ep.mp3") +
                             "'/><enclosure url='gone.mp3'/></item></channel></rss>",
                         "application/rss+xml");
  });
  server_.Start();
  AddAddress(Url("/pod.rss"));
  RetrievalOptions options;
  options.closingWaitSeconds = 0;
  Form().SetRetrievalOptions(options);
  Form().PushButton2->click();
  ASSERT_EQ(ResultRows().size(), 1u);
  ASSERT_TRUE(QDir(temp_.path()).mkdir("out"));
  Form().Text1->setText(Path("out"));

  auto* header = qobject_cast<ResultsHeader*>(Form().ListView2->header());
  ASSERT_NE(header, nullptr);
  const std::unique_ptr<QMenu> menu(header->ColumnMenu());
  auto* entry = Form().findChild<QAction*>("SaveEnclosures");
  ASSERT_TRUE(menu->actions().contains(entry));
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(entry->isChecked());
  entry->trigger();
  EXPECT_EQ(SettingsStore::AtPath(Path("Quillmark.conf")).Read("Feedwright", "Save Enclosures", "<absent>"), "1");
  Form().PushButton3->click();

  const QString stem = Path("out/http127001" + QString::number(server_.Port()) + "podrss1");
  QFile episode(stem + ".mp3");
  ASSERT_TRUE(episode.open(QIODevice::ReadOnly));
  EXPECT_EQ(episode.readAll(), "episode");
  EXPECT_TRUE(QFile::exists(stem + ".html"));
  EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files | QDir::Hidden).size(), 2);
  EXPECT_TRUE(Form().ProgressBar1->text().endsWith("; enclosures: 1 saved, 1 failed"))
      << Form().ProgressBar1->text().toStdString();
  EXPECT_TRUE(Form().ListView2->topLevelItem(0)->toolTip(0).startsWith(
      QString::fromStdString("Enclosures not saved:\n" + Url("/gone.mp3") + ": The server answered HTTP 404")))
      << Form().ListView2->topLevelItem(0)->toolTip(0).toStdString();
  EXPECT_TRUE(Form().PushButton3->isEnabled());
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

// What the window saves is recorded for its folder. "Tick Only New Entries" (off by default,
// remembered at once) then has the saved entry's row arrive unticked and greyed, naming its file;
// a record that cannot be kept is told once and every row arrives ticked.
TEST_F(Form1Run, TickOnlyNewEntriesGreysTheRowsAlreadySaved) {
  Shown();
  Serve("/a.rss", 200, kFeedA);
  server_.Start();
  AddAddress(Url("/a.rss"));
  RetrievalOptions options;
  options.closingWaitSeconds = 0;
  Form().SetRetrievalOptions(options);
  Form().SetRecordFolder(Path("data").toStdString());
  ASSERT_TRUE(QDir(temp_.path()).mkdir("out"));
  Form().Text1->setText(Path("out/"));
  Form().PushButton2->click();
  Form().ListView2->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  Form().PushButton3->click();
  const std::optional<SavedEntry> saved =
      SqliteSavedRecord(Path("data").toStdString(), QDir(Path("out")).canonicalPath().toStdString(), Clock::Steady(),
                        [](const std::string& message) { ADD_FAILURE() << message; })
          .Find("http://a/1");
  ASSERT_TRUE(saved) << "the window's save was not recorded";
  EXPECT_TRUE(QString::fromStdString(saved->file).endsWith("arss1.html") && QFile::exists(saved->file.c_str()));
  Form().PushButton2->click();
  EXPECT_EQ(ResultRows()[0][4], "ticked") << "the setting is off by default";

  std::unique_ptr<QMenu> menu(qobject_cast<ResultsHeader*>(Form().ListView2->header())->ColumnMenu());
  auto* tickOnlyNew = Form().findChild<QAction*>("TickOnlyNew");
  ASSERT_TRUE(tickOnlyNew && menu->actions().contains(tickOnlyNew));
  tickOnlyNew->trigger();
  EXPECT_TRUE(Form1(dialogs_, settings_, Path("program")).findChild<QAction*>("TickOnlyNew")->isChecked());
  Form().PushButton2->click();
  EXPECT_EQ(ResultRows()[0][4] + ResultRows()[1][4], "untickedticked");
  const QTreeWidgetItem* greyed = Form().ListView2->topLevelItem(0);
  EXPECT_EQ(greyed->foreground(1).color(), Form().ListView2->palette().color(QPalette::Disabled, QPalette::Text));
  EXPECT_EQ(greyed->toolTip(2), "Saved into this folder as " + QString::fromStdString(saved->file) + " on " +
                                    QDateTime::fromSecsSinceEpoch(saved->savedAt).toString("yyyy-MM-dd HH:mm") + ".");

  WriteFile("taken", "x");  // where the data folder would be
  Form().SetRecordFolder(Path("taken/feedwright").toStdString());
  const std::size_t shown = dialogs_.messages.size();
  Form().PushButton2->click();
  EXPECT_EQ(ResultRows()[0][4] + ResultRows()[1][4], "tickedticked");
  ASSERT_EQ(dialogs_.messages.size(), shown + 2);
  EXPECT_NE(dialogs_.messages[shown].text.find("cannot keep the record"), std::string::npos) << dialogs_.messages[shown].text;
}
