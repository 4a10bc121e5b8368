#include "WaitSeconds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "WorkflowFakes.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(WaitSeconds, LastsItsDurationWhileProcessingEvents) {
  CountingEvents events;
  const Clock::time_point start = Clock::now();
  WaitSeconds(0.15, events);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(150));
  // Slices of at most a few tens of milliseconds: several passes, not one long sleep.
  EXPECT_GE(events.calls, 3);
}

TEST(WaitSeconds, SleepsBetweenPasses) {
  // A spinning wait would process events many thousands of times in 100 ms.
  CountingEvents events;
  WaitSeconds(0.1, events);
  EXPECT_LE(events.calls, 50);
}

TEST(WaitSeconds, StopEndsTheWaitEarly) {
  CountingEvents events;
  bool closing = false;
  events.onProcess = [&](int call) {
    if (call == 2) closing = true;
  };
  WaitSeconds(3600, events, [&] { return closing; });
  EXPECT_EQ(events.calls, 2);
}

TEST(WaitSeconds, NonPositiveOrInvalidDurationsMakeOnePass) {
  for (double seconds : {0.0, -5.0, std::nan("")}) {
    SCOPED_TRACE(seconds);
    CountingEvents events;
    WaitSeconds(seconds, events);
    EXPECT_EQ(events.calls, 1);
  }
}

}  // namespace
