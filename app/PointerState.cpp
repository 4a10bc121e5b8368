#include "PointerState.h"

void PointerState::SetValue(int value) {
  value_ = value;
  if (window_) window_->setCursor(CursorFor(value));
}

void PointerState::SetHandCursor(const QCursor& cursor) {
  handCursor_ = cursor;
  if (value_ == kHand) SetValue(kHand);
}

void PointerState::OverButton() {
  if (value_ != kBusy) SetValue(kHand);
}

void PointerState::OverSurface() {
  if (value_ != kBusy) SetValue(kDefault);
}

QCursor PointerState::CursorFor(int value) const {
  switch (value) {
    case kBusy:
      return QCursor(Qt::WaitCursor);
    case kHand:
      return handCursor_ ? *handCursor_ : QCursor(Qt::PointingHandCursor);
    default:
      return QCursor(Qt::ArrowCursor);
  }
}
