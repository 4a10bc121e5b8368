#include "QtEventPump.h"

#include <QCoreApplication>

void QtEventPump::ProcessEvents() {
  if (lastPass_.isValid() && !lastPass_.hasExpired(kMinPassMilliseconds)) return;
  QCoreApplication::processEvents();
  // Timed from the end of the pass, so that slow passes cannot follow one another back to back.
  lastPass_.start();
}
