// A clock that moves only when slept on, or by a fixed step each time it is read.
#pragma once

#include "Clock.h"

class FakeClock : public Clock {
 public:
  explicit FakeClock(Duration step = {}) : step_(step) {}
  TimePoint Now() const override { return now_ += step_; }
  void SleepFor(Duration duration) const override { now_ += duration; }

 private:
  Duration step_;
  mutable TimePoint now_{};
};
