// The window's pointer values: the hand over buttons, the arrow over surfaces, and the hourglass
// that no movement replaces.
#include <gtest/gtest.h>

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
  std::string name;
  QWidget* widget;
  Expect expect;
};

// Every button (PushButton8 sits inside Frame1), every surface, and the two controls without a
// pointer rule of their own.
std::vector<Place> Places(Form1& f) {
  std::vector<Place> places;
  for (QPushButton* button : f.findChildren<QPushButton*>()) {
    places.push_back({button->objectName().toStdString(), button, Expect::Hand});
  }
  places.insert(places.end(), {{"background", &f, Expect::Arrow},
                               {"Frame1", f.Frame1, Expect::Arrow},
                               {"ListView1 rows", f.ListView1->viewport(), Expect::Arrow},
                               {"ListView1 header", f.ListView1->header(), Expect::Arrow},
                               {"ListView2 rows", f.ListView2->viewport(), Expect::Arrow},
                               {"ListView2 header", f.ListView2->header(), Expect::Arrow},
                               {"Text1", f.Text1, Expect::Unchanged},
                               {"ProgressBar1", f.ProgressBar1, Expect::Unchanged}});
  return places;
}

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
    for (const Place& place : Places(Form())) {
      for (int start : {0, 99, 7}) {
        SCOPED_TRACE(place.name + " from " + std::to_string(start) +
                     (deliver == &MoveOver ? " by a move" : " by entering"));
        Form().SetMousePointer(start);
        deliver(place.widget);
        const int expected = place.expect == Expect::Hand    ? 99
                             : place.expect == Expect::Arrow ? 0
                                                             : start;
        EXPECT_EQ(Form().MousePointer(), expected);
      }
    }
  }
}

TEST_F(Form1Pointer, NoMovementReplacesTheHourglassButTheNextOneAfterItDoes) {
  Form().SetMousePointer(11);
  for (const Place& place : Places(Form())) {
    SCOPED_TRACE(place.name);
    MoveOver(place.widget);
    EnterInto(place.widget);
    EXPECT_EQ(Form().MousePointer(), 11);
    EXPECT_EQ(Form().cursor().shape(), Qt::WaitCursor);
  }
  Form().SetMousePointer(0);
  MoveOver(Form().PushButton2);
  EXPECT_EQ(Form().MousePointer(), 99);
  EXPECT_EQ(Form().cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(Form1Pointer, PointerValuesShowTheirCursors) {
  const struct {
    int value;
    Qt::CursorShape shape;
  } rows[] = {{0, Qt::ArrowCursor}, {11, Qt::WaitCursor}, {99, Qt::PointingHandCursor}, {-5, Qt::ArrowCursor}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    Form().SetMousePointer(row.value);
    EXPECT_EQ(Form().MousePointer(), row.value);
    EXPECT_EQ(Form().cursor().shape(), row.shape);
  }
}
