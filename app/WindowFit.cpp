#include "WindowFit.h"

#include <algorithm>
#include <cmath>

namespace {

// Room for a window manager's title bar and borders, in device pixels.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 32;

}  // namespace

void WindowFit::Add(QWidget* control, Across across, Down down) {
  controls_.push_back({control, control->geometry(), across, down});
  if (down == Down::kFirstList) listHeight_ = control->height();
}

QSize WindowFit::MinimumSize() const {
  const int shrink = std::max(0, listHeight_ - kMinListHeight);
  return {std::min(kMinWidth, design_.width()), design_.height() - 2 * shrink};
}

QSize WindowFit::SizeFor(QRect available, qreal devicePixelRatio) const {
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
  const QSize room(available.width() - static_cast<int>(std::ceil(kFrameWidth / ratio)),
                   available.height() - static_cast<int>(std::ceil(kFrameHeight / ratio)));
  return design_.boundedTo(room).expandedTo(MinimumSize());
}

void WindowFit::Place(QSize size) const {
  const int dw = size.width() - design_.width();
  const int dh = size.height() - design_.height();
  const int first = dh / 2;
  const int second = dh - first;
  for (const Control& c : controls_) {
    QRect r = c.design;
    switch (c.across) {
      case Across::kFull: r.setWidth(r.width() + dw); break;
      case Across::kLeftHalf: r.setWidth(r.width() + dw / 2); break;
      case Across::kRightHalf:
        r.moveLeft(r.left() + dw / 2);
        r.setWidth(r.width() + dw - dw / 2);
        break;
      case Across::kRightEnd: r.moveLeft(r.left() + dw); break;
    }
    switch (c.down) {
      case Down::kAboveLists: break;
      case Down::kFirstList: r.setHeight(r.height() + first); break;
      case Down::kBetweenLists: r.moveTop(r.top() + first); break;
      case Down::kSecondList:
        r.moveTop(r.top() + first);
        r.setHeight(r.height() + second);
        break;
      case Down::kBelowLists: r.moveTop(r.top() + dh); break;
    }
    c.widget->setGeometry(r);
  }
}
