// Numbers for people: 4 significant digits, no negative zero, no exponent
// for the figures of a dryer.

#include <gtest/gtest.h>

#include "study/StudyTable.h"

TEST(ReadableNumber, FourSignificantDigits) {
  using kelvane::ReadableNumber;
  EXPECT_EQ(ReadableNumber(0.4706725123977948), "0.4707");
  EXPECT_EQ(ReadableNumber(75.24454477050159), "75.24");
  EXPECT_EQ(ReadableNumber(6.998), "6.998");
  EXPECT_EQ(ReadableNumber(149628.3), "149600");
  EXPECT_EQ(ReadableNumber(5), "5");
  EXPECT_EQ(ReadableNumber(1.5), "1.5");
  EXPECT_EQ(ReadableNumber(-53.594), "-53.59");
  EXPECT_EQ(ReadableNumber(-0.0), "0");
  EXPECT_EQ(ReadableNumber(9.99996), "10");
  EXPECT_EQ(ReadableNumber(1.2e-5), "1.2e-05");
}
