// Closing the window ends the program, also while a modal box is open.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "FormFixture.h"
#include "QtDialogService.h"

using Form1Close = FormFixture;

TEST_F(Form1Close, ClosingWithABoxOpenEndsTheBoxAndTheEventLoop) {
  QtDialogService boxes;
  boxes.SetParent(&Form());
  Form().Form_Load();
  Form().show();

  bool secondReturned = false;
  qint64 secondMillis = -1;
  QTimer::singleShot(0, [&] {
    boxes.ShowMessage("Done.", "", DialogService::Icon::None);
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
  EXPECT_TRUE(secondReturned);
  EXPECT_LT(secondMillis, 1000);
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
