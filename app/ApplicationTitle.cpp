#include "ApplicationTitle.h"

#include "AppInfo.h"

namespace {

constexpr qsizetype kMaxTitleLength = 40;

QString& TitleInEffect() {
  static QString title = QString::fromUtf8(AppInfo::kProductName);
  return title;
}

}  // namespace

QString ApplicationTitle(const QString& productName) {
  QString title = productName;
  do {
    const qsizetype space = title.lastIndexOf(u' ');
    if (space < 0) break;
    title.truncate(space);
  } while (title.size() > kMaxTitleLength);
  return title;
}

QString CurrentApplicationTitle() { return TitleInEffect(); }

void SetApplicationTitle(const QString& title) { TitleInEffect() = title; }
