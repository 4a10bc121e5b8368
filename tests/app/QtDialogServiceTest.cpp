// The Qt dialogs: real boxes inspected and answered as soon as they open, and the file filter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "ApplicationTitle.h"
#include "ErrorGuard.h"
#include "QtDialogService.h"

namespace {

// Runs answer on the modal dialog once it is open; closes it afterwards if the answer did not,
// so that a failed check cannot leave the test waiting on the box.
template <typename Dialog>
void WhenOpen(std::function<void(Dialog*)> answer) {
  QTimer::singleShot(0, [answer] {
    QPointer<QWidget> open(QApplication::activeModalWidget());
    auto* dialog = qobject_cast<Dialog*>(open.data());
    EXPECT_NE(dialog, nullptr) << "no such dialog is open";
    if (dialog) answer(dialog);
    if (open && open->isVisible()) open->close();
  });
}

}  // namespace

TEST(QtDialogService, BoxesAndThePromptShowTheirExactTitlesAndTextsWhole) {
  QtDialogService dialogs;
  // The error report: plain text, its CR LF and CR CR shown as line breaks, one OK button.
  WhenOpen<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "Application Error");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), "<b>not bold</b>\nin Feedwright2017/04/05.Form1.Form_Load at line 130\n\n"
                           "Please email screenshot of this message to support@feedwright.example");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
  });
  ShowErrorReport(dialogs, "<b>not bold</b>", "Form_Load", 130);

  // A box without a title of its own has the application title; the Help text stays on one line.
  const QString help = "Questions? Please contact Team Quillmark at https://www.feedwright.example/contact";
  SetApplicationTitle("Set at step 128");
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle() + "|" + box->text(), "Set at step 128|" + help);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing()) << "the text is one line";
  });
  dialogs.ShowMessage(help.toStdString(), "", DialogService::Icon::None);
  SetApplicationTitle("Feedwright");

  // The prompt's field shows the default address whole; cancelling gives an empty text.
  const QString address = "http://news.feedwright.example/rss/world.rss";
  WhenOpen<QInputDialog>([&](QInputDialog* prompt) {
    EXPECT_EQ(prompt->windowTitle() + "|" + prompt->labelText() + "|" + prompt->textValue(),
              "Feedwright|Enter website address to add: |" + address);
    const auto* field = prompt->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    const QFontMetrics metrics = field->fontMetrics();
    EXPECT_GT(field->width(), metrics.horizontalAdvance(address) + metrics.averageCharWidth());
    prompt->setTextValue(QString::fromUtf8("http://n\xc3\xbc.example/"));
    prompt->accept();
  });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "", address.toStdString()), "http://n\xc3\xbc.example/");
  WhenOpen<QInputDialog>([](QInputDialog* prompt) { prompt->reject(); });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "", "x"), "");
}

TEST(QtDialogService, TheFileFilterBecomesAQtFilter) {
  EXPECT_EQ(QtDialogService::QtFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|OPML Files (*.opml)|*.opml|Feeds|*.rss"),
            "Text Files (*.txt);;All Files (*);;OPML Files (*.opml);;Feeds (*.rss)");
}
