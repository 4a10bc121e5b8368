// A clock that moves only when slept on, or by a fixed step each time it is read.
#pragma once

#include "Clock.h"

class FakeClock : public Clock {
 public:
  explicit FakeClock(Duration step = {}) : step_(step) {}
  TimePoint Now() const override { return now_ += step_; }
  void SleepFor(Duration duration) const override { now_ += duration; }
  // A fixed date that moves on with the clock.
  WallTime WallNow() const override {
    return WallTime(std::chrono::sys_days(std::chrono::year(2026) / 1 / 1)) +
           std::chrono::duration_cast<WallTime::duration>(now_.time_since_epoch());
  }

 private:
  Duration step_;
  mutable TimePoint now_{};
};
