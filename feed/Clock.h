// The one clock the feed engine and the workflow read time from, so that tests can drive it.
#pragma once

#include <chrono>

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  using TimePoint = std::chrono::steady_clock::time_point;
  using WallTime = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;
  // Now, on a clock that never goes back.
  virtual TimePoint Now() const = 0;
  // Lets time pass: the process's clock sleeps, a test's clock moves on.
  virtual void SleepFor(Duration duration) const = 0;
  // The date and time, for what is kept between runs (when a kept answer was last used, until
  // when a server asked to be left alone). The process's clock reads the system's.
  virtual WallTime WallNow() const { return std::chrono::system_clock::now(); }

  // The process's monotonic clock.
  static const Clock& Steady();
};
