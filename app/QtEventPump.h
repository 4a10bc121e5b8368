// Lets the window handle its pending events in the middle of a long operation.
#pragma once

#include <QElapsedTimer>

#include "EventPump.h"

class QtEventPump : public EventPump {
 public:
  // At most this often the window handles its events. A run asks before every row it adds,
  // thousands of times a second; a pass lays out and paints the lists again, which would then
  // cost far more than the rows themselves. A hundred passes a second look and feel immediate.
  static constexpr qint64 kMinPassMilliseconds = 10;

  // Handles whatever is pending (painting, input, timers, closing) and returns without waiting;
  // returns at once when the last pass was less than kMinPassMilliseconds ago.
  void ProcessEvents() override;

 private:
  QElapsedTimer lastPass_;
};
