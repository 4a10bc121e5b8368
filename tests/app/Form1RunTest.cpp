// "Start Retrieving Data" in the window against a loopback server: the whole job from the first
// address to the saved files, the bar while feeds download, the window answering during a slow
// download, and closing the window in the middle of a run.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <atomic>
#include <cctype>
#include <map>
#include <utility>

#include "QtEventPump.h"
#include "WindowJobFixture.h"

namespace {

const char* const kFeedA = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>A</title>
<item><title>Grüße — 日本</title><description>&lt;b&gt;first&lt;/b&gt; body</description><link>http://a/1</link></item>
<item><title></title><description></description><link></link></item>
</channel></rss>)";

const char* const kFeedB = R"(<?xml version="1.0"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>B</title>
<entry><title>B one</title><summary>second</summary><link href="http://b/1"/></entry>
</feed>)";

class Form1Run : public WindowJobFixture {
 protected:
  void SetUp() override {
    WindowJobFixture::SetUp();
    Serve("/a.rss", 200, kFeedA);
    Serve("/b.rss", 200, kFeedB, "application/atom+xml");
  }

  // The output file name stem of a loopback address: its letters and digits.
  std::string Stem(const std::string& path) const {
    std::string stem = "http127001" + std::to_string(server_.Port());
    for (char c : path) {
      if (std::isalnum(static_cast<unsigned char>(c))) stem += c;
    }
    return stem;
  }

  // Every file in the output folder, by name, with its bytes.
  std::map<std::string, std::string> OutputFiles() {
    std::map<std::string, std::string> files;
    const QDir folder(DesktopFolder());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
      QFile file(folder.filePath(name));
      EXPECT_TRUE(file.open(QIODevice::ReadOnly));
      files[name.toStdString()] = file.readAll().toStdString();
    }
    return files;
  }
};

}  // namespace

TEST_F(Form1Run, WholeJobFromTheAddressesToTheSavedFiles) {
  StartServer();
  AddAddress(Url("/a.rss"));
  dialogs_.AnswerOpenFile(
      WriteFile("list.txt", QByteArray::fromStdString(Url("/b.rss") + "\r\n" + Url("/a.rss"))));
  Form().PushButton6->click();
  ASSERT_EQ(UrlRows(), (Texts{Url("/a.rss"), Url("/b.rss"), Url("/a.rss")}));

  Form().PushButton2->click();

  const std::string a = Url("/a.rss"), b = Url("/b.rss");
  const std::vector<ShownResult> rowsA = {{a, "Grüße — 日本", "first body", "http://a/1", true},
                                          {a, "", "", "", true}};
  const ShownResult rowB{b, "B one", "second", "http://b/1", true};
  EXPECT_EQ(ResultRows(), (std::vector<ShownResult>{rowsA[0], rowsA[1], rowB, rowsA[0], rowsA[1]}));
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));
  EXPECT_EQ(Form().MousePointer(), 0);
  EXPECT_FALSE(Form().Running());

  // The user unticks the second row; the others keep the numbers in row order.
  Form().ListView2->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  ASSERT_EQ(Form().Text1->text(), DesktopFolder() + "/");
  Form().PushButton3->click();

  const std::string fileA = "Grüße — 日本\r\n\r\nfirst body\r\n\r\nhttp://a/1\r\n";
  EXPECT_EQ(OutputFiles(), (std::map<std::string, std::string>{
                               {Stem("/a.rss") + "1.html", fileA},
                               {Stem("/b.rss") + "2.html", "B one\r\n\r\nsecond\r\n\r\nhttp://b/1\r\n"},
                               {Stem("/a.rss") + "3.html", fileA},
                               {Stem("/a.rss") + "4.html", "\r\n\r\n\r\n\r\n\r\n"}}));
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done.", "Done."}));
  EXPECT_EQ(Form().MousePointer(), 0);
}

TEST_F(Form1Run, CheckAllUncheckAllAndClearListActOnTheResults) {
  StartServer();
  AddAddress(Url("/a.rss"));
  AddAddress(Url("/b.rss"));
  Form().PushButton2->click();
  ASSERT_EQ(ResultRows().size(), 3u);

  Form().PushButton5->click();
  for (const ShownResult& row : ResultRows()) EXPECT_FALSE(row.checked) << row.text;

  Form().ListView2->topLevelItem(2)->setCheckState(0, Qt::Checked);
  Form().PushButton4->click();
  for (const ShownResult& row : ResultRows()) EXPECT_TRUE(row.checked) << row.text;

  Form().PushButton10->click();
  EXPECT_TRUE(ResultRows().empty());
  EXPECT_EQ(UrlRows().size(), 2u) << "the URL list is not the results list";
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));
}

// Later feeds download meanwhile; the bar names the one whose rows are being added.
TEST_F(Form1Run, TheBarShowsEachRowsShareAndAddressWhileItsRowsAreAdded) {
  StartServer();
  for (const char* path : {"/a.rss", "/b.rss", "/a.rss"}) AddAddress(Url(path));
  std::vector<std::pair<int, std::string>> seen;
  const QMetaObject::Connection rowsAdded =
      QObject::connect(Form().ListView2->model(), &QAbstractItemModel::rowsInserted, [&] {
        const std::pair<int, std::string> now{Form().ProgressBar1->value(),
                                              Form().ProgressBar1->text().toStdString()};
        if (seen.empty() || seen.back() != now) seen.push_back(now);
      });

  Form().PushButton2->click();
  QObject::disconnect(rowsAdded);

  // 33.33 and 66.67 per cent show as the nearest whole per cent.
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{
                      {33, "Processing: " + Url("/a.rss")},
                      {67, "Processing: " + Url("/b.rss")},
                      {100, "Processing: " + Url("/a.rss")}}));
  EXPECT_EQ(Form().ProgressBar1->value(), 0);
  EXPECT_EQ(Form().ProgressBar1->text(), QStringLiteral("Progress Bar"));
}

// A box opened during a run has an event loop of its own; the downloads go on in it, and
// staying open longer than the idle limit fails none of them.
TEST_F(Form1Run, AModalBoxDuringARunDoesNotHoldTheDownloadsUp) {
  std::atomic<int> requests{0};
  const std::vector<std::string> paths = {"/one.rss", "/two.rss", "/three.rss"};
  for (const std::string& path : paths) {
    server_.Http().Get(path, [&requests](const httplib::Request&, httplib::Response& response) {
      ++requests;
      response.set_content(kFeedB, "application/atom+xml");
    });
  }
  StartServer();
  for (const std::string& path : paths) AddAddress(Url(path));
  RetrievalOptions options = ShortWaits();
  options.http.idleTimeout = std::chrono::milliseconds(300);
  Form().SetRetrievalOptions(options);

  // "Help", pressed as the run starts: its box stays open until every feed has been asked for
  // and twice the idle limit has passed, or for three seconds at most.
  int requestsWhileOpen = -1;
  dialogs_.onMessage = [&](const ScriptedDialogs::Message& message) {
    if (message.text == "Done.") return;
    QEventLoop box;
    QElapsedTimer open;
    open.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      if ((requests == 3 && open.elapsed() > 600) || open.elapsed() > 3000) box.quit();
    });
    check.start(10);
    box.exec();
    requestsWhileOpen = requests;
  };
  QTimer::singleShot(0, [&] { Form().PushButton11->click(); });
  // Past the pump's pause between passes, so that the run's first pass (before it reads the
  // first feed, with every feed queued) opens the box.
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * QtEventPump::kMinPassMilliseconds));
  Form().PushButton2->click();

  EXPECT_EQ(requestsWhileOpen, 3) << "the downloads stood still while the box was open";
  EXPECT_EQ(ResultRows().size(), 3u);
  EXPECT_EQ(dialogs_.MessageTexts().size(), 2u);
  EXPECT_EQ(dialogs_.MessageTexts().back(), "Done.");
}

TEST_F(Form1Run, TheWindowAnswersWhileAFeedDownloadsSlowly) {
  ServeSlowly("/slow.rss", kFeedB);
  StartServer();
  AddAddress(Url("/slow.rss"));
  AddAddress(Url("/a.rss"));

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);

  std::vector<std::string> duringRun;
  QTimer::singleShot(100, [&] {
    EXPECT_TRUE(Form().Running());
    EXPECT_EQ(Form().MousePointer(), 11);
    // Allowed during a run: adding an address.
    AddAddress("added meanwhile");
    // Held back: a second start, the URL list's "Clear List" and the removal gestures.
    Form().PushButton2->click();
    Form().PushButton7->click();
    SelectUrlRow(0);
    PressKey(Qt::Key_Delete);
    duringRun = UrlRows();
  });
  QTimer::singleShot(300, [&] { releaseSlow_ = true; });

  QElapsedTimer clock;
  clock.start();
  Form().PushButton2->click();
  const qint64 millis = clock.elapsed();
  ticker.stop();

  EXPECT_EQ(duringRun, (Texts{Url("/slow.rss"), Url("/a.rss"), "added meanwhile"}));
  EXPECT_GE(millis, 250) << "the download should have waited for the release";
  // Every 20 ms over about 300 ms; a loaded machine may merge some ticks, never all of them.
  EXPECT_GE(ticks, 5) << "the window stood still for " << millis << " ms";
  EXPECT_EQ(slowRequests_, 1) << "a second start was not held back";
  // The bound was read once: the row added meanwhile is not read in this run.
  EXPECT_EQ(ResultRows().size(), 3u);
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));
  EXPECT_EQ(Form().MousePointer(), 0);

  SelectUrlRow(2);
  PressKey(Qt::Key_Delete);
  EXPECT_EQ(UrlRows(), (Texts{Url("/slow.rss"), Url("/a.rss")})) << "removal works again after the run";
}

TEST_F(Form1Run, ClosingTheWindowDuringADownloadEndsTheProgramPromptly) {
  ServeSlowly("/stall.rss", kFeedB, 5000);
  StartServer();
  AddAddress(Url("/stall.rss"));
  AddAddress(Url("/a.rss"));
  // The program's own closing wait; closing must not sit through it either.
  RetrievalOptions options = ShortWaits();
  options.closingWaitSeconds = 1.0;
  Form().SetRetrievalOptions(options);

  bool runReturned = false;
  QElapsedTimer sinceClose;
  QTimer::singleShot(0, [&] {
    Form().PushButton2->click();
    runReturned = true;
  });
  QTimer::singleShot(200, [&] {
    EXPECT_TRUE(Form().Running());
    EXPECT_EQ(slowRequests_, 1) << "the download should be waiting by now";
    sinceClose.start();
    Form().close();
  });

  EXPECT_EQ(RunEventLoop(), 0);
  const qint64 millis = sinceClose.elapsed();
  EXPECT_FALSE(timedOut_);
  EXPECT_TRUE(runReturned);
  EXPECT_LT(millis, 1000);
  EXPECT_FALSE(Form().Running());
  EXPECT_TRUE(Form().Closing());
  EXPECT_TRUE(dialogs_.messages.empty()) << "nobody is left to read a message";
  EXPECT_TRUE(ResultRows().empty()) << "the feed after the closed one is not read";
}
