// A progress bar whose text is shown exactly as set with setFormat. QProgressBar would replace
// "%p", "%v" and "%m" in it, which garbles texts such as feed addresses with escapes in them.
#pragma once

#include <QProgressBar>

class LiteralProgressBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;

  QString text() const override { return format(); }
};
