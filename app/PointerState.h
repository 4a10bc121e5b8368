// The window's mouse pointer as a number that other code reads and sets, shown as a Qt cursor:
// 0 the arrow, 11 the busy hourglass, 99 the hand over push buttons.
#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "BusyPointer.h"

class PointerState : public BusyPointer {
 public:
  // The pointer is shown over window and the children that do not choose their own.
  explicit PointerState(QWidget* window) : window_(window) {}

  int Value() const override { return value_; }

  // Sets the value and shows its cursor. Values other than 11 and 99 show the arrow.
  void SetValue(int value) override;

  // The picture that value 99 shows; without one it shows the standard pointing hand.
  void SetHandCursor(const QCursor& cursor);
  bool HasHandCursor() const { return handCursor_.has_value(); }

  // The mouse moved over a push button: the hand, unless a long operation shows the hourglass.
  void OverButton();
  // The mouse moved over the background, the frame or a list: the arrow, unless busy.
  void OverSurface();

 private:
  QCursor CursorFor(int value) const;

  QPointer<QWidget> window_;
  int value_ = kDefault;
  std::optional<QCursor> handCursor_;
};
