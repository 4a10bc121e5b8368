// Lets the window handle its pending events in the middle of a long operation.
#pragma once

#include <functional>

class EventPump {
 public:
  virtual ~EventPump() = default;

  // Handles the window's pending events (painting, clicks, closing) and returns; never waits for
  // new ones. Other handlers may run inside this call.
  virtual void ProcessEvents() = 0;

  // Has work called every few tens of milliseconds from whatever event loop runs, the nested loop
  // of a modal box included, until it is set again; an empty function stops the calls. work must
  // not throw and is never called while it runs. Without a loop of its own (the default) nothing
  // is called, and the caller moves its work on itself.
  virtual void SetBackgroundWork(std::function<void()> /*work*/) {}
};
