// Lets the window handle its pending events in the middle of a long operation.
#pragma once

class EventPump {
 public:
  virtual ~EventPump() = default;

  // Handles the window's pending events (painting, clicks, closing) and returns; never waits for
  // new ones. Other handlers may run inside this call.
  virtual void ProcessEvents() = 0;
};
