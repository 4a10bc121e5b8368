#include "WaitSeconds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "WorkflowFakes.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(WaitSeconds, LastsItsDurationWhileProcessingEventsAndSleepingBetween) {
  CountingEvents events;
  const Clock::time_point start = Clock::now();
  WaitSeconds(0.15, events);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
  // Slices of at most a few tens of milliseconds: several passes, not one long sleep; a
  // spinning wait would make many thousands.
  EXPECT_GE(events.calls, 3);
  EXPECT_LE(events.calls, 75);
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
