// Lets the window handle its pending events in the middle of a long operation.
#pragma once

#include "EventPump.h"

class QtEventPump : public EventPump {
 public:
  // Handles whatever is pending (painting, input, timers, closing) and returns without waiting.
  void ProcessEvents() override;
};
