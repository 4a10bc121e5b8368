#include "ProgressBarSink.h"

#include <cmath>

int ProgressBarSink::ShownPosition(double percent) {
  if (!(percent > 0)) return 0;  // also NaN
  if (percent >= 100) return 100;
  return static_cast<int>(std::lround(percent));
}

void ProgressBarSink::SetPosition(double percent) { bar_->setValue(ShownPosition(percent)); }

void ProgressBarSink::SetText(const std::string& text) {
  bar_->setFormat(QString::fromStdString(text));
}
