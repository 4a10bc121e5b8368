// A progress bar whose text is shown exactly as set with setFormat. QProgressBar would replace
// "%p", "%v" and "%m" in it, which garbles texts such as feed addresses with escapes in them. The
// text is drawn on one line, a text too long for the bar shortened in its middle, so that both
// ends of an address stay in view; text() still gives it whole.
#pragma once

#include <QProgressBar>

class LiteralProgressBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;

  QString text() const override { return format(); }

  // The text as the bar shows it within width pixels of the metrics' font.
  static QString ShownText(const QString& text, const QFontMetrics& metrics, int width);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
