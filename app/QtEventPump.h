// Lets the window handle its pending events in the middle of a long operation, and keeps
// background work going from every event loop that runs.
#pragma once

#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "EventPump.h"

class QTimer;

class QtEventPump : public EventPump {
 public:
  // At most this often the window handles its events. A run asks before every row it adds,
  // thousands of times a second; a pass lays out and paints the lists again, which would then
  // cost far more than the rows themselves. A hundred passes a second look and feel immediate.
  static constexpr qint64 kMinPassMilliseconds = 10;
  // How often background work is called.
  static constexpr int kBackgroundMilliseconds = 20;

  QtEventPump();
  ~QtEventPump() override;

  // Handles whatever is pending (painting, input, timers, closing) and returns without waiting;
  // returns at once when the last pass was less than kMinPassMilliseconds ago.
  void ProcessEvents() override;

  // A timer calls work; timers fire in every event loop, a modal box's nested one included.
  void SetBackgroundWork(std::function<void()> work) override;

 private:
  QElapsedTimer lastPass_;
  std::unique_ptr<QTimer> timer_;
  std::function<void()> work_;
  bool working_ = false;
};
