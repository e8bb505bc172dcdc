// Reading numbers typed by the user: whole texts only, period as separator.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace sorvan::core;

using sorvan::core::ParseInteger;
using sorvan::core::ParseNumber;

struct ReadBack {
  const char* text;
  double value;
};

class NumberReadTest : public ::testing::TestWithParam<ReadBack> {};

TEST_P(NumberReadTest, ReadsTheWholeText) {
  const auto v = ParseNumber(GetParam().text);
  ASSERT_TRUE(v.has_value()) << GetParam().text;
  EXPECT_DOUBLE_EQ(*v, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Numbers, NumberReadTest,
                         ::testing::Values(ReadBack{"12.5", 12.5}, ReadBack{"  -3.25 ", -3.25}, ReadBack{".5", 0.5},
                                           ReadBack{"-.5", -0.5}, ReadBack{"12.", 12.0}, ReadBack{"+3e-2", 0.03},
                                           ReadBack{"1.5E3", 1500.0}, ReadBack{"\t7\t", 7.0},
                                           ReadBack{"179300.000", 179300.0}, ReadBack{"-0", 0.0}));

class NotANumberTest : public ::testing::TestWithParam<const char*> {};

// Text that is not wholly a number is refused, never read as 0 or as its prefix.
TEST_P(NotANumberTest, IsRefused) { EXPECT_FALSE(ParseNumber(GetParam()).has_value()) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(Texts, NotANumberTest,
                         ::testing::Values("abc", "", "   ", "-", "+", ".", "12,5", "1.2.3", "7e", "3 m",
                                           "  -3.25xyz", "+-3", "inf", "nan", "0x10", "1e999", "--1",
                                           "1e", "e5"));

TEST(NumberReadTest, ThePeriodIsTheSeparatorWhateverTheLocale) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  // A locale with a decimal comma, when the machine has one.
  if (std::setlocale(LC_NUMERIC, "es_ES.UTF-8") || std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_EQ(ParseNumber("12.75"), 12.75);
    EXPECT_FALSE(ParseNumber("12,75").has_value());
  }
  std::setlocale(LC_NUMERIC, before.c_str());
  EXPECT_EQ(ParseNumber("12.75"), 12.75);
}

TEST(IntegerReadTest, RoundsHalvesToEven) {
  EXPECT_EQ(ParseInteger("2.5"), 2);
  EXPECT_EQ(ParseInteger("3.5"), 4);
  EXPECT_EQ(ParseInteger("-2.5"), -2);
  EXPECT_EQ(ParseInteger("4.51"), 5);
  EXPECT_EQ(ParseInteger(" 12 "), 12);
}

TEST(IntegerReadTest, RefusesTextAndValuesBeyondThirtyTwoBits) {
  EXPECT_FALSE(ParseInteger("abc").has_value());
  EXPECT_FALSE(ParseInteger("").has_value());
  EXPECT_FALSE(ParseInteger("1e12").has_value());
  EXPECT_FALSE(ParseInteger("-3000000000").has_value());
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
}
