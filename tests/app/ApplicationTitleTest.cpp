// The application title: the product name cut before its last word, again while too long.
#include <gtest/gtest.h>

#include "ApplicationTitle.h"

TEST(ApplicationTitle, CutsBeforeTheLastSpaceAtLeastOnceThenWhileLongerThan40) {
  const struct {
    QString product;
    QString title;
  } rows[] = {
      {QStringLiteral("Feedwright"), QStringLiteral("Feedwright")},  // nothing to cut
      {QStringLiteral("Feed Wright"), QStringLiteral("Feed")},
      {QStringLiteral("Feedwright Converter 2017"), QStringLiteral("Feedwright Converter")},
      {QStringLiteral(" Feedwright"), QString()},
      {QStringLiteral("aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeeee ffff"),
       QStringLiteral("aaaaaaaaaa bbbbbbbbbb cccccccccc")},
      {QString(45, u'x') + QStringLiteral(" y"), QString(45, u'x')},  // no further space to cut at
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.product.toStdString());
    EXPECT_EQ(ApplicationTitle(row.product), row.title);
  }
}
