#include "WaitSeconds.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Short enough that the window repaints smoothly, long enough that the wait costs nothing.
constexpr std::chrono::milliseconds kSlice{20};
// Keeps the end time within the clock's range; no caller waits anywhere near this long.
constexpr double kMaxSeconds = 7.0 * 24 * 3600;

}  // namespace

void WaitSeconds(double seconds, EventPump& events, const std::function<bool()>& stop) {
  using Clock = std::chrono::steady_clock;
  // Also a NaN gives a single pass.
  const double bounded = seconds > 0 ? std::min(seconds, kMaxSeconds) : 0.0;
  const auto duration =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bounded));
  const Clock::time_point end = Clock::now() + duration;
  for (;;) {
    events.ProcessEvents();
    if (stop && stop()) return;
    const Clock::time_point now = Clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, kSlice));
  }
}
