// The retrieval run's progress shown on the window's ProgressBar1.
#pragma once

#include <QProgressBar>

#include "ProgressSink.h"

class ProgressBarSink : public ProgressSink {
 public:
  explicit ProgressBarSink(QProgressBar* bar) : bar_(bar) {}

  // The bar counts in whole percent: the position is rounded to the nearest one (33.33 shows
  // 33, 66.67 shows 67) and held within 0 to 100; a position that is not a number shows 0.
  void SetPosition(double percent) override;
  // The bar shows the text exactly as given.
  void SetText(const std::string& text) override;

  // The whole percent that SetPosition shows for a position.
  static int ShownPosition(double percent);

 private:
  QProgressBar* bar_;
};
