// The window's mouse pointer by value; the busy value doubles as the program's busy marker.
#pragma once

class BusyPointer {
 public:
  static constexpr int kDefault = 0;
  // The hourglass, shown while a retrieval run or an export works.
  static constexpr int kBusy = 11;
  // The hand shown over push buttons.
  static constexpr int kHand = 99;

  virtual ~BusyPointer() = default;

  virtual int Value() const = 0;
  virtual void SetValue(int value) = 0;
};
