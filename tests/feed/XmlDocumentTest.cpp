#include <gtest/gtest.h>

#include "XmlDocument.h"

TEST(XmlDocument, Smoke) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXML("<a><b>x</b> <b>y</b></a>"));
  EXPECT_EQ(document.SelectSingleNode("/a").NodeTypedValue(), "x y");
}
