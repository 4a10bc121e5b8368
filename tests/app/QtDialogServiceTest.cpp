// The Qt dialogs: filters, and real boxes answered by a timer.
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

// Runs answer on the modal dialog as soon as it is open. If none opens, the watchdog closes
// whatever is open so the test fails instead of hanging.
void WhenModalOpens(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  auto started = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, answer, started] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      QPointer<QWidget> open(modal);
      answer(modal);
      // An answer that failed half-way must not leave the test waiting on the box.
      if (open && open->isVisible()) open->close();
    } else if (++*started > 400) {
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no modal dialog opened";
    }
  });
  poll->start();
}

}  // namespace

TEST(QtDialogServiceFilter, VerticalBarFiltersBecomeQtFilters) {
  const struct {
    const char* given;
    const char* expected;
  } rows[] = {
      {"Text Files (*.txt)|*.txt|All Files (*.*)|*.*", "Text Files (*.txt);;All Files (*)"},
      {"Lists|*.txt;*.lst", "Lists (*.txt *.lst)"},
      {"Lists (*.txt;*.lst)|*.txt;*.lst", "Lists (*.txt *.lst)"},
      {"Odd|*.a|Dangling label", "Odd (*.a)"},
      {"|*.x", "*.x (*.x)"},
      {"No pattern|", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.given);
    EXPECT_EQ(QtDialogService::QtFilter(QString::fromUtf8(row.given)).toStdString(), row.expected);
  }
}

TEST(QtDialogServiceBox, ErrorReportBoxHasTitleIconSingleOkAndPlainText) {
  QtDialogService dialogs;
  bool inspected = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Application Error"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    // The report's CR LF and CR CR show as four lines.
    EXPECT_EQ(box->text(), QStringLiteral("<b>not bold</b>\nin Feedwright2017/04/05.Form1.Form_Load at "
                                          "line 130\n\nPlease email screenshot of this message to "
                                          "support@feedwright.example"));
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
    inspected = true;
    box->buttons()[0]->click();
  });
  ShowErrorReport(dialogs, "<b>not bold</b>", "Form_Load", 130);
  EXPECT_TRUE(inspected);
}

TEST(QtDialogServiceBox, MessageWithoutTitleHasTheApplicationTitleAndItsLineWhole) {
  QtDialogService dialogs;
  const QString help = QStringLiteral(
      "Questions? Please contact Team Quillmark at https://www.feedwright.example/contact");
  SetApplicationTitle(QStringLiteral("Set at step 128"));
  bool inspected = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Set at step 128"));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->text(), help);
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing()) << "the text is one line";
    inspected = true;
    box->accept();
  });
  dialogs.ShowMessage(help.toStdString(), "", DialogService::Icon::None);
  SetApplicationTitle(QStringLiteral("Feedwright"));
  EXPECT_TRUE(inspected);
}

TEST(QtDialogServiceBox, PromptGivesTheTextOrEmptyWhenCancelled) {
  QtDialogService dialogs;
  WhenModalOpens([](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Feedwright"));
    EXPECT_EQ(prompt->labelText(), QStringLiteral("Enter website address to add: "));
    EXPECT_EQ(prompt->textValue(), QStringLiteral("http://news.feedwright.example/rss/world.rss"));
    // The field shows the default address whole, with room to spare.
    auto* field = prompt->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    EXPECT_GT(field->width(), field->fontMetrics().horizontalAdvance(prompt->textValue()) +
                                  field->fontMetrics().averageCharWidth());
    prompt->setTextValue(QString::fromUtf8("http://n\xc3\xbc.example/"));
    prompt->accept();
  });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "",
                           "http://news.feedwright.example/rss/world.rss"),
            "http://n\xc3\xbc.example/");

  WhenModalOpens([](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(prompt, nullptr);
    prompt->setTextValue(QStringLiteral("typed, then cancelled"));
    prompt->reject();
  });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "", "x"), "");
}
