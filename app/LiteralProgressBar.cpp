#include "LiteralProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

QString LiteralProgressBar::ShownText(const QString& text, const QFontMetrics& metrics, int width) {
  QString line = text;
  for (QChar& c : line) {
    if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u' ';
  }
  return metrics.elidedText(line, Qt::ElideMiddle, width);
}

void LiteralProgressBar::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionProgressBar option;
  initStyleOption(&option);
  // Room for the bar's frame and a little space at either end.
  constexpr int kMargin = 12;
  option.text = ShownText(option.text, fontMetrics(), width() - kMargin);
  painter.drawControl(QStyle::CE_ProgressBar, option);
}
