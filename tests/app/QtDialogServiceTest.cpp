// The Qt dialogs: filters, the shown text, and real boxes answered by a timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

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
      {"A|*.a|B|*.b", "A (*.a);;B (*.b)"},
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

TEST(QtDialogServiceText, ErrorReportShowsAsFourLines) {
  const QString shown = QtDialogService::DisplayText(
      QString::fromStdString(ErrorReportText("File not found", "PushButton6_Click", 118)));
  const QStringList lines = shown.split(u'\n');
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], QStringLiteral("File not found"));
  EXPECT_EQ(lines[1], QStringLiteral("in Feedwright2017/04/05.Form1.PushButton6_Click at line 118"));
  EXPECT_EQ(lines[2], QString());
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Please email screenshot of this message to ")));
  EXPECT_FALSE(shown.contains(u'\r'));
}

TEST(QtDialogServiceText, EmptyTitleMeansTheApplicationTitle) {
  EXPECT_EQ(QtDialogService::TitleOrDefault(""), QStringLiteral("Feedwright"));
  EXPECT_EQ(QtDialogService::TitleOrDefault("Application Error"), QStringLiteral("Application Error"));
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

TEST(QtDialogServiceBox, OrdinaryMessageHasNoIconAndTheApplicationTitle) {
  QtDialogService dialogs;
  bool inspected = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Feedwright"));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->text(), QStringLiteral("Done."));
    inspected = true;
    box->accept();
  });
  dialogs.ShowMessage("Done.", "", DialogService::Icon::None);
  EXPECT_TRUE(inspected);
}

TEST(QtDialogServiceBox, PromptGivesTheTextOrEmptyWhenCancelled) {
  QtDialogService dialogs;
  WhenModalOpens([](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Feedwright"));
    EXPECT_EQ(prompt->labelText(), QStringLiteral("Enter website address to add: "));
    EXPECT_EQ(prompt->textValue(), QStringLiteral("http://feeds.example/news.rss"));
    prompt->setTextValue(QString::fromUtf8("http://n\xc3\xbc.example/"));
    prompt->accept();
  });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "", "http://feeds.example/news.rss"),
            "http://n\xc3\xbc.example/");

  WhenModalOpens([](QWidget* modal) {
    auto* prompt = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(prompt, nullptr);
    prompt->setTextValue(QStringLiteral("typed, then cancelled"));
    prompt->reject();
  });
  EXPECT_EQ(dialogs.Prompt("Enter website address to add: ", "", "x"), "");
}
