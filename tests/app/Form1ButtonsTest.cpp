// The window's buttons on the URL list, the output folder and the export, pressed as a user
// would, with every dialog answered by the script.
#include <gtest/gtest.h>

#include <QTest>

#include "UrlListCommands.h"
#include "WindowJobFixture.h"

namespace {

class Form1Buttons : public WindowJobFixture {
 protected:
  // A click and a double-click with the left button on the middle of the row, or on the empty
  // area below the rows when row is -1.
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

TEST_F(Form1Buttons, AddSampleAndLoadFromFileAppendToTheUrlList) {
  AddAddress("  http://feeds.test/a.rss ");
  AddAddress("");  // an empty answer adds nothing
  Form().PushButton9->click();
  dialogs_.AnswerOpenFile(WriteFile("urls.txt", "\xEF\xBB\xBFhttp://a/1\r\n\r\nhttp://a/2\rlast"));
  Form().PushButton6->click();

  EXPECT_EQ(UrlRows(), (Texts{"  http://feeds.test/a.rss ", UrlListCommands::kSampleBreakingNews,
                              UrlListCommands::kSampleEarth, "http://a/1", "", "http://a/2", "last"}));
  ASSERT_EQ(dialogs_.prompts.size(), 2u);
  EXPECT_EQ(dialogs_.prompts[0], (Texts{"Enter website address to add: ", AppInfo::kProductName,
                                        UrlListCommands::kDefaultAddress}));
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
  dialogs_.AnswerOpenFile(WriteFile("latin1.txt", QByteArray::fromStdString(Url("/caf\xE9.rss") + "\r\n")));
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
  Form().PushButton11->click();

  EXPECT_EQ(UrlRows(), (Texts{"kept"}));
  EXPECT_EQ(dialogs_.MessageTexts(),
            (Texts{"File not found", "Please select just one file.",
                   std::string("Questions? Please contact Team Quillmark at ") + AppInfo::kContactPage}));
  for (const auto& message : dialogs_.messages) {
    EXPECT_EQ(message.title, AppInfo::kProductName);
    EXPECT_EQ(message.icon, DialogService::Icon::None);
  }
}

TEST_F(Form1Buttons, FilesFromTheCommandLineLoadAsTheLoadButtonLoadsThemInTheirOrder) {
  const std::string list = WriteFile("list.txt", "http://a/1\r\nhttp://a/2");
  const std::string opml = WriteFile(
      "subs.opml", R"(<opml version="2.0"><body><outline xmlUrl="http://b/1"/></body></opml>)");
  ASSERT_TRUE(QDir(temp_.path()).mkdir(QStringLiteral("folder.txt")));
  const std::string folder = temp_.filePath(QStringLiteral("folder.txt")).toStdString();
  Form().LoadUrlFiles({list, temp_.filePath(QStringLiteral("absent.txt")).toStdString(), folder,
                       opml});

  EXPECT_EQ(UrlRows(), (Texts{"http://a/1", "http://a/2", "http://b/1"}));
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text, "File not found");
  EXPECT_EQ(dialogs_.messages[0].title, AppInfo::kProductName);
  EXPECT_EQ(dialogs_.messages[1].title, "Application Error");
  EXPECT_NE(dialogs_.messages[1].text.find(".Form1.PushButton6_Click at line 118"),
            std::string::npos)
      << dialogs_.messages[1].text;
}

TEST_F(Form1Buttons, StartWithAnEmptyListOnlySaysSo) {
  Form().ListView2->addTopLevelItem(new QTreeWidgetItem(QStringList{"earlier result"}));
  Form().ProgressBar1->setValue(40);
  Form().SetMousePointer(99);
  Form().PushButton2->click();
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"No URLs added."}));
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 1);
  EXPECT_EQ(Form().ProgressBar1->value(), 40);
  EXPECT_EQ(Form().MousePointer(), 99);
}

TEST_F(Form1Buttons, SaveSaysWhatIsMissingNoResultsFirstThenTheFolder) {
  Form().Text1->setText(QString());
  Form().PushButton3->click();
  EXPECT_EQ(dialogs_.MessageTexts(), (Texts{"No URL results to save."}));

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
  for (const auto& [chosen, field] : {std::pair{"/home/user/Feeds", "/home/user/Feeds/"},
                                      std::pair{"//srv//share/", "/srv/share/"}}) {
    SCOPED_TRACE(chosen);
    dialogs_.AnswerChooseFolder(chosen);
    Form().PushButton8->click();
    EXPECT_EQ(Form().Text1->text().toStdString(), field);
    EXPECT_EQ(StoredLocation().toStdString(), field);
  }
  dialogs_.AnswerChooseFolder("");  // cancelling changes nothing
  Form().PushButton8->click();
  EXPECT_EQ(Form().Text1->text(), QStringLiteral("/srv/share/"));
  EXPECT_EQ(dialogs_.folderDialogs, (Texts(3, "Please select folder:")));
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Form1Buttons, DeleteKeyWithAnyModifiersAndDoubleClickRemoveOneRow) {
  for (const char* text : {"a", "b", "c", "d", "e"}) AddAddress(text);
  SelectUrlRow(1);
  PressKey(Qt::Key_Delete);
  SelectUrlRow(1);
  PressKey(Qt::Key_Delete, Qt::AltModifier | Qt::ControlModifier);
  EXPECT_EQ(UrlRows(), (Texts{"a", "d", "e"}));
  DoubleClickUrlList(1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "e"}));
}

TEST_F(Form1Buttons, OtherKeysNoSelectionAndTheHourglassRemoveNothing) {
  for (const char* text : {"a", "b"}) AddAddress(text);
  SelectUrlRow(0);
  for (int key : {Qt::Key_Backspace, Qt::Key_D, Qt::Key_Insert}) PressKey(key);
  Form().ListView1->clearSelection();
  PressKey(Qt::Key_Delete);
  DoubleClickUrlList(-1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "b"}));

  // The hourglass shows while a run is under way: no removal then.
  Form().SetMousePointer(11);
  SelectUrlRow(0);
  PressKey(Qt::Key_Delete);
  DoubleClickUrlList(1);
  EXPECT_EQ(UrlRows(), (Texts{"a", "b"}));
  Form().SetMousePointer(0);

  // "Clear List" empties only the URL list; the gestures on the empty list do nothing.
  Form().ListView2->addTopLevelItem(new QTreeWidgetItem(QStringList{"kept result"}));
  Form().PushButton7->click();
  PressKey(Qt::Key_Delete);
  DoubleClickUrlList(-1);
  EXPECT_TRUE(UrlRows().empty());
  EXPECT_EQ(Form().ListView2->topLevelItemCount(), 1);
  EXPECT_TRUE(dialogs_.messages.empty());
}
