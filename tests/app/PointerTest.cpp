// The window's pointer values: the hand over buttons, the arrow over surfaces, and the hourglass
// that no movement replaces.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QHeaderView>
#include <QMouseEvent>

#include "FormFixture.h"

namespace {

// Delivers a mouse movement to widget the way Qt delivers one from the screen: through the
// application, so that it may travel on to the parents.
void MoveOver(QWidget* widget) {
  const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

void EnterInto(QWidget* widget) {
  const QPointF local(1, 1);
  QEnterEvent enter(local, local, widget->mapToGlobal(local));
  QApplication::sendEvent(widget, &enter);
}

enum class Expect { Hand, Arrow, Unchanged };

struct Place {
  const char* name;
  QWidget* (*get)(Form1&);
  Expect expect;
};

const Place kPlaces[] = {
    {"PushButton1", [](Form1& f) -> QWidget* { return f.PushButton1; }, Expect::Hand},
    {"PushButton2", [](Form1& f) -> QWidget* { return f.PushButton2; }, Expect::Hand},
    {"PushButton3", [](Form1& f) -> QWidget* { return f.PushButton3; }, Expect::Hand},
    {"PushButton4", [](Form1& f) -> QWidget* { return f.PushButton4; }, Expect::Hand},
    {"PushButton5", [](Form1& f) -> QWidget* { return f.PushButton5; }, Expect::Hand},
    {"PushButton6", [](Form1& f) -> QWidget* { return f.PushButton6; }, Expect::Hand},
    {"PushButton7", [](Form1& f) -> QWidget* { return f.PushButton7; }, Expect::Hand},
    {"PushButton8 inside Frame1", [](Form1& f) -> QWidget* { return f.PushButton8; }, Expect::Hand},
    {"PushButton9", [](Form1& f) -> QWidget* { return f.PushButton9; }, Expect::Hand},
    {"PushButton10", [](Form1& f) -> QWidget* { return f.PushButton10; }, Expect::Hand},
    {"PushButton11", [](Form1& f) -> QWidget* { return f.PushButton11; }, Expect::Hand},
    {"background", [](Form1& f) -> QWidget* { return &f; }, Expect::Arrow},
    {"Frame1", [](Form1& f) -> QWidget* { return f.Frame1; }, Expect::Arrow},
    {"ListView1 rows", [](Form1& f) -> QWidget* { return f.ListView1->viewport(); }, Expect::Arrow},
    {"ListView1 header", [](Form1& f) -> QWidget* { return f.ListView1->header(); }, Expect::Arrow},
    {"ListView2 rows", [](Form1& f) -> QWidget* { return f.ListView2->viewport(); }, Expect::Arrow},
    {"ListView2 header", [](Form1& f) -> QWidget* { return f.ListView2->header(); }, Expect::Arrow},
    {"Text1", [](Form1& f) -> QWidget* { return f.Text1; }, Expect::Unchanged},
    {"ProgressBar1", [](Form1& f) -> QWidget* { return f.ProgressBar1; }, Expect::Unchanged},
};

class Form1Pointer : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    Form().Form_Load();
    Form().show();
  }
};

}  // namespace

TEST_F(Form1Pointer, MovementSetsTheHandOverButtonsAndTheArrowElsewhere) {
  for (void (*deliver)(QWidget*) : {&MoveOver, &EnterInto}) {
    for (const Place& place : kPlaces) {
      for (int start : {0, 99, 7}) {
        SCOPED_TRACE(std::string(place.name) + " from " + std::to_string(start) +
                     (deliver == &MoveOver ? " by a move" : " by entering"));
        Form().SetMousePointer(start);
        deliver(place.get(Form()));
        const int expected = place.expect == Expect::Hand    ? 99
                             : place.expect == Expect::Arrow ? 0
                                                             : start;
        EXPECT_EQ(Form().MousePointer(), expected);
      }
    }
  }
}

TEST_F(Form1Pointer, NoMovementReplacesTheHourglass) {
  Form().SetMousePointer(11);
  for (const Place& place : kPlaces) {
    SCOPED_TRACE(place.name);
    MoveOver(place.get(Form()));
    EnterInto(place.get(Form()));
    EXPECT_EQ(Form().MousePointer(), 11);
    EXPECT_EQ(Form().cursor().shape(), Qt::WaitCursor);
  }
}

TEST_F(Form1Pointer, AfterTheHourglassTheNextMovementChangesThePointerAgain) {
  Form().SetMousePointer(11);
  MoveOver(Form().PushButton2);
  ASSERT_EQ(Form().MousePointer(), 11);
  Form().SetMousePointer(0);
  MoveOver(Form().PushButton2);
  EXPECT_EQ(Form().MousePointer(), 99);
  EXPECT_EQ(Form().cursor().shape(), Qt::PointingHandCursor);
  MoveOver(Form().ListView2->viewport());
  EXPECT_EQ(Form().MousePointer(), 0);
  EXPECT_EQ(Form().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Pointer, PointerValuesShowTheirCursors) {
  const struct {
    int value;
    Qt::CursorShape shape;
  } rows[] = {{0, Qt::ArrowCursor}, {11, Qt::WaitCursor}, {99, Qt::PointingHandCursor},
              {1, Qt::ArrowCursor}, {-5, Qt::ArrowCursor}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    Form().SetMousePointer(row.value);
    EXPECT_EQ(Form().MousePointer(), row.value);
    EXPECT_EQ(Form().cursor().shape(), row.shape);
  }
}
