#include "ApplicationTitle.h"

namespace {
constexpr qsizetype kMaxTitleLength = 40;
}

QString ApplicationTitle(const QString& productName) {
  QString title = productName;
  do {
    const qsizetype space = title.lastIndexOf(u' ');
    if (space < 0) break;
    title.truncate(space);
  } while (title.size() > kMaxTitleLength);
  return title;
}
