// The window's buttons on the URL list, the output folder and the export, pressed as a user
// would, with every dialog answered by the script.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include "AppInfo.h"
#include "UrlListCommands.h"
#include "WindowJobFixture.h"

namespace {

using Texts = std::vector<std::string>;

class Form1Buttons : public WindowJobFixture {
 protected:
  // Writes bytes into a file of the temporary folder and gives its path.
  std::string WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = temp_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path.toStdString();
  }

  void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
  }

  // A double-click with the left button on the middle of the row, or on the empty area below
  // the rows when row is -1: a click (which selects the row) and the double-click event.
  void DoubleClickUrlList(int row) {
    QWidget* viewport = Form().ListView1->viewport();
    const QPoint at = row >= 0
        ? Form().ListView1->visualItemRect(Form().ListView1->topLevelItem(row)).center()
        : QPoint(viewport->width() / 2, viewport->height() - 5);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
  }
};

}  // namespace

TEST_F(Form1Buttons, AddRssFeedUrlAppendsTheAnswerAsTypedAndNothingForAnEmptyOne) {
  AddAddress("  http://feeds.test/a.rss ");
  AddAddress("");
  AddAddress("  http://feeds.test/a.rss ");

  EXPECT_EQ(UrlRows(), (Texts{"  http://feeds.test/a.rss ", "  http://feeds.test/a.rss "}));
  ASSERT_EQ(dialogs_.prompts.size(), 3u);
  EXPECT_EQ(dialogs_.prompts[0], (Texts{"Enter website address to add: ", AppInfo::kProductName,
                                        UrlListCommands::kDefaultAddress}));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, LoadSampleDataTwiceGivesThePairTwice) {
  Form().PushButton9->click();
  Form().PushButton9->click();
  EXPECT_EQ(UrlRows(), (Texts{UrlListCommands::kSampleBreakingNews, UrlListCommands::kSampleEarth,
                              UrlListCommands::kSampleBreakingNews, UrlListCommands::kSampleEarth}));
}

TEST_F(Form1Buttons, LoadFromFileAppendsEveryLineAfterTheRowsAlreadyThere) {
  AddAddress("first");
  dialogs_.AnswerOpenFile(WriteFile("urls.txt", "\xEF\xBB\xBFhttp://a/1\r\n\r\nhttp://a/2\rlast"));
  Form().PushButton6->click();

  EXPECT_EQ(UrlRows(), (Texts{"first", "http://a/1", "", "http://a/2", "last"}));
  ASSERT_EQ(dialogs_.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs_.fileDialogs[0][0], "Add File(s) - Use Ctrl & Shift to select multiple files");
  EXPECT_EQ(dialogs_.fileDialogs[0][1].rfind("Text Files (*.txt)|*.txt|All Files (*.*)|*.*", 0), 0u)
      << dialogs_.fileDialogs[0][1];
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, AddressBytesThatAreNotUtf8ReachTheReaderUnchanged) {
  std::string requested;
  server_.Http().Get(R"(/caf.*)", [&](const httplib::Request& request, httplib::Response& response) {
    requested = request.path;
    response.set_content("<rss version=\"2.0\"><channel></channel></rss>", "application/rss+xml");
  });
  StartServer();
  const std::string latin1 = Url("/caf\xE9.rss");
  dialogs_.AnswerOpenFile(WriteFile("latin1.txt", QByteArray::fromStdString(latin1 + "\r\n")));
  Form().PushButton6->click();

  // The row shows the text decoded, with a replacement character; the run reads the bytes.
  EXPECT_EQ(UrlRows(), (Texts{Url("/caf\xEF\xBF\xBD.rss")}));
  Form().PushButton2->click();
  EXPECT_EQ(requested, "/caf\xE9.rss");
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Done."}));
}

TEST_F(Form1Buttons, LoadFromFileMissingFileCancelAndTwoNames) {
  AddAddress("kept");
  dialogs_.AnswerOpenFile(temp_.filePath(QStringLiteral("absent.txt")).toStdString());
  Form().PushButton6->click();
  dialogs_.AnswerOpenFile("");
  Form().PushButton6->click();
  // A single-file dialog cannot answer with two names; only a scripted answer holding a NUL can
  // show that the window passes the command's refusal on.
  dialogs_.AnswerOpenFile(std::string("a.txt\0b.txt", 11));
  Form().PushButton6->click();

  EXPECT_EQ(UrlRows(), (Texts{"kept"}));
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"File not found", "Please select just one file."}));
  for (const auto& message : dialogs_.messages) {
    EXPECT_EQ(message.title, AppInfo::kProductName);
    EXPECT_EQ(message.icon, DialogService::Icon::None);
  }
}

TEST_F(Form1Buttons, ClearListEmptiesOnlyTheUrlList) {
  Form().PushButton9->click();
  Form().ListView2->addTopLevelItem(new QTreeWidgetItem(QStringList{"kept result"}));
  Form().PushButton7->click();
  EXPECT_TRUE(UrlRows().empty());
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 1);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, HelpShowsTheContactMessage) {
  Form().PushButton11->click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            std::string("Questions? Please contact Team Quillmark at ") + AppInfo::kContactPage);
  EXPECT_EQ(dialogs_.messages[0].title, AppInfo::kProductName);
  EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::None);
}

TEST_F(Form1Buttons, StartWithAnEmptyListOnlySaysSo) {
  Form().ListView2->addTopLevelItem(new QTreeWidgetItem(QStringList{"earlier result"}));
  Form().ProgressBar1->setValue(40);
  Form().ProgressBar1->setFormat(QStringLiteral("as it was"));
  Form().SetMousePointer(99);

  Form().PushButton2->click();

  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"No URLs added."}));
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 1);
  EXPECT_EQ(Form().ProgressBar1->value(), 40);
  EXPECT_EQ(Form().ProgressBar1->text(), QStringLiteral("as it was"));
  EXPECT_EQ(Form().MousePointer(), 99);
}

TEST_F(Form1Buttons, SaveWithNoResultsSaysSoBeforeLookingAtTheFolder) {
  Form().Text1->setText(QString());
  Form().PushButton3->click();
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"No URL results to save."}));
}

TEST_F(Form1Buttons, SaveIntoAMissingFolderOrAFileSaysTheFolderDoesNotExist) {
  auto* row = new QTreeWidgetItem(QStringList{"http://a/feed", "T", "D", "L"});
  row->setCheckState(0, Qt::Checked);
  Form().ListView2->addTopLevelItem(row);
  const std::string file = WriteFile("plain-file", "x");

  for (const QString& folder : {temp_.filePath(QStringLiteral("absent")) + "/", QString(),
                                QString::fromStdString(file)}) {
    SCOPED_TRACE(folder.toStdString());
    dialogs_.messages.clear();
    Form().Text1->setText(folder);
    Form().PushButton3->click();
    EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"Folder does not exist. Please select another folder."}));
  }
  EXPECT_EQ(Form().MousePointer(), 0);
}

TEST_F(Form1Buttons, ChooseFolderPutsTheNormalisedPathIntoTheFieldAndTheStore) {
  const struct {
    std::string chosen;
    std::string field;
  } cases[] = {
      {"/home/user/Feeds", "/home/user/Feeds/"},
      {"/", "/"},
      {"//srv//share/", "/srv/share/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen);
    dialogs_.AnswerChooseFolder(c.chosen);
    Form().PushButton8->click();
    EXPECT_EQ(Form().Text1->text().toStdString(), c.field);
    EXPECT_EQ(StoredLocation().toStdString(), c.field);
  }
  // Cancelling changes nothing.
  dialogs_.AnswerChooseFolder("");
  Form().PushButton8->click();
  EXPECT_EQ(Form().Text1->text(), QStringLiteral("/srv/share/"));
  EXPECT_EQ(dialogs_.folderDialogs, (Texts(4, "Please select folder:")));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, DeleteKeyRemovesTheSelectedRowWithAnyModifiers) {
  for (const char* text : {"a", "b", "c", "d", "e"}) AddAddress(text);
  const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ShiftModifier,
                                             Qt::ControlModifier,
                                             Qt::AltModifier | Qt::ControlModifier};
  Texts expected = UrlRows();
  for (Qt::KeyboardModifiers held : modifiers) {
    SCOPED_TRACE(held.toInt());
    SelectUrlRow(1);
    expected.erase(expected.begin() + 1);
    PressKey(Form().ListView1, Qt::Key_Delete, held);
    EXPECT_EQ(UrlRows(), expected);
  }
  EXPECT_EQ(UrlRows(), (Texts{"a"}));
}

TEST_F(Form1Buttons, OtherKeysAndNoSelectionRemoveNothing) {
  for (const char* text : {"a", "b"}) AddAddress(text);
  SelectUrlRow(0);
  for (int key : {Qt::Key_Backspace, Qt::Key_D, Qt::Key_Insert}) PressKey(Form().ListView1, key, {});
  EXPECT_EQ(UrlRows(), (Texts{"a", "b"}));

  Form().ListView1->clearSelection();
  PressKey(Form().ListView1, Qt::Key_Delete, {});
  DoubleClickUrlList(-1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "b"}));

  Form().PushButton7->click();
  PressKey(Form().ListView1, Qt::Key_Delete, {});
  DoubleClickUrlList(-1);
  EXPECT_TRUE(UrlRows().empty());
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, DoubleClickRemovesTheRowClickedAndOnlyThatOne) {
  for (const char* text : {"a", "b", "c"}) AddAddress(text);
  DoubleClickUrlList(1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "c"}));
  DoubleClickUrlList(0);
  EXPECT_EQ(UrlRows(), (Texts{"c"}));
}

TEST_F(Form1Buttons, RemovalGesturesDoNothingWhileTheHourglassShows) {
  for (const char* text : {"a", "b"}) AddAddress(text);
  Form().SetMousePointer(11);
  SelectUrlRow(0);
  PressKey(Form().ListView1, Qt::Key_Delete, {});
  DoubleClickUrlList(1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "b"}));

  Form().SetMousePointer(0);
  SelectUrlRow(0);
  PressKey(Form().ListView1, Qt::Key_Delete, {});
  EXPECT_EQ(UrlRows(), (Texts{"b"}));
}
