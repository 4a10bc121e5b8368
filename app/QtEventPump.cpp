#include "QtEventPump.h"

#include <QCoreApplication>
#include <QTimer>

QtEventPump::QtEventPump() = default;

QtEventPump::~QtEventPump() = default;

void QtEventPump::ProcessEvents() {
  if (lastPass_.isValid() && !lastPass_.hasExpired(kMinPassMilliseconds)) return;
  QCoreApplication::processEvents();
  // Timed from the end of the pass, so that slow passes cannot follow one another back to back.
  lastPass_.start();
}

void QtEventPump::SetBackgroundWork(std::function<void()> work) {
  work_ = std::move(work);
  if (!work_) {
    if (timer_) timer_->stop();
    return;
  }
  if (!timer_) {
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(kBackgroundMilliseconds);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
      // A work that opened a loop of its own would otherwise be entered again from it.
      if (working_ || !work_) return;
      working_ = true;
      // A copy: the work may set other work, or none, while it runs.
      const std::function<void()> work = work_;
      work();
      working_ = false;
    });
  }
  timer_->start();
}
