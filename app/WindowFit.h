// Fits the window to a screen that cannot show it at its own size (a small screen, or a large
// scale factor): the window then opens at the largest size that fits and may be resized, the two
// lists taking the height gained or lost and the full-width controls the width, so every button,
// the folder field and the bar stay in view. Where it fits, nothing changes.
#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

class WindowFit {
 public:
  // How a control follows the window's width.
  enum class Across { kFull, kLeftHalf, kRightHalf, kRightEnd };
  // How a control follows the window's height, by where it lies against the two lists.
  enum class Down { kAboveLists, kFirstList, kBetweenLists, kSecondList, kBelowLists };

  // The smallest height a list keeps: its header and part of one row.
  static constexpr int kMinListHeight = 30;
  // The narrowest the window gets: the half-width captions still show whole.
  static constexpr int kMinWidth = 420;

  explicit WindowFit(QSize design) : design_(design) {}

  // Remembers a control with its place at the window's own size.
  void Add(QWidget* control, Across across, Down down);

  // The client size for a screen's available area, leaving room for the window's frame: the
  // window's own size when it fits, else the largest that fits, but no smaller than the minimum.
  QSize SizeFor(QRect available, qreal devicePixelRatio) const;
  // The smallest client size at which every control shows.
  QSize MinimumSize() const;
  // Places every control for a client of that size.
  void Place(QSize size) const;

 private:
  struct Control {
    QWidget* widget;
    QRect design;
    Across across;
    Down down;
  };

  QSize design_;
  int listHeight_ = 0;
  std::vector<Control> controls_;
};
