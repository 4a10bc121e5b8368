// A pause that keeps the window responsive without keeping a processor busy.
#pragma once

#include <functional>

#include "Clock.h"
#include "EventPump.h"

// Waits for the given number of seconds on clock, processing the window's events every few tens
// of milliseconds and sleeping in between. Returns early when stop, if given, answers true after
// an event pass.
void WaitSeconds(double seconds, EventPump& events, const Clock& clock = Clock::Steady(),
                 const std::function<bool()>& stop = {});
