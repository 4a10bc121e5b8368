#include "Clock.h"

#include <thread>

namespace {

class SteadyClock : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  void SleepFor(Duration duration) const override { std::this_thread::sleep_for(duration); }
};

}  // namespace

const Clock& Clock::Steady() {
  static const SteadyClock kClock;
  return kClock;
}
