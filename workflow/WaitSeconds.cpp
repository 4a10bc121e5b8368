#include "WaitSeconds.h"

#include <algorithm>
#include <chrono>

namespace {

// Short enough that the window repaints smoothly, long enough that the wait costs nothing.
constexpr std::chrono::milliseconds kSlice{20};
// Keeps the end time within the clock's range; no caller waits anywhere near this long.
constexpr double kMaxSeconds = 7.0 * 24 * 3600;

}  // namespace

void WaitSeconds(double seconds, EventPump& events, const Clock& clock, const std::function<bool()>& stop) {
  // Also a NaN gives a single pass.
  const double bounded = seconds > 0 ? std::min(seconds, kMaxSeconds) : 0.0;
  const auto duration = std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(bounded));
  const Clock::TimePoint end = clock.Now() + duration;
  for (;;) {
    events.ProcessEvents();
    if (stop && stop()) return;
    const Clock::TimePoint now = clock.Now();
    if (now >= end) return;
    clock.SleepFor(std::min<Clock::Duration>(end - now, kSlice));
  }
}
