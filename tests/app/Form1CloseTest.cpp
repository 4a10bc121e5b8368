// Closing the window ends the program, also while a modal box is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "FormFixture.h"
#include "QtDialogService.h"

namespace {

class Form1Close : public FormFixture {
 protected:
  // Runs the application's event loop the way main does, with a watchdog so a hang fails the
  // test instead of the whole run. Returns the loop's exit code.
  int RunEventLoop() {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      timedOut_ = true;
      for (QWidget* window : QApplication::topLevelWidgets()) window->close();
      QCoreApplication::exit(1);
    });
    watchdog.start(5000);
    return QApplication::exec();
  }

  bool timedOut_ = false;
};

}  // namespace

TEST_F(Form1Close, ClosingWithABoxOpenEndsTheBoxAndTheEventLoop) {
  QtDialogService boxes;
  boxes.SetParent(&Form());
  Form().Form_Load();
  Form().show();

  bool firstReturned = false;
  bool secondReturned = false;
  qint64 secondMillis = -1;
  QTimer::singleShot(0, [&] {
    boxes.ShowMessage("Done.", "", DialogService::Icon::None);
    firstReturned = true;
    EXPECT_TRUE(Form().Closing());
    // An operation that goes on after the close must not be held up by another box.
    QElapsedTimer clock;
    clock.start();
    boxes.ShowMessage("No URLs added.", "", DialogService::Icon::None);
    secondMillis = clock.elapsed();
    secondReturned = true;
  });
  QTimer::singleShot(50, [&] {
    ASSERT_NE(QApplication::activeModalWidget(), nullptr) << "the box should be open by now";
    Form().close();
  });

  EXPECT_EQ(RunEventLoop(), 0);
  EXPECT_FALSE(timedOut_);
  EXPECT_TRUE(firstReturned);
  EXPECT_TRUE(secondReturned);
  EXPECT_LT(secondMillis, 1000);
  EXPECT_TRUE(Form().Closing());
  EXPECT_FALSE(Form().isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Form1Close, ClosingWithAPromptOpenCancelsThePrompt) {
  QtDialogService boxes;
  boxes.SetParent(&Form());
  Form().show();

  std::string answer = "not returned";
  QTimer::singleShot(0, [&] { answer = boxes.Prompt("Enter website address to add: ", "", "x"); });
  QTimer::singleShot(50, [&] { Form().close(); });

  EXPECT_EQ(RunEventLoop(), 0);
  EXPECT_FALSE(timedOut_);
  EXPECT_EQ(answer, "");
}

TEST_F(Form1Close, ClosingWithNothingOpenEndsTheEventLoop) {
  Form().show();
  QTimer::singleShot(0, [&] { Form().close(); });
  EXPECT_EQ(RunEventLoop(), 0);
  EXPECT_FALSE(timedOut_);
  EXPECT_TRUE(Form().Closing());
}
