// The common Z scale of an animation, worked by hand from the rule
// r = range/10, p = 10^Int(log10 r - 0.4999), step = Int(r/p)·p,
// zmin = Int(zmin/p)·p, k = nearest((zmax - zmin)/step) + 1.
#include "core/z_limits.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sorvan::core;

namespace {

TEST(ZLimits, ZeroTo37GivesStep3ThirteenLevelsTop36) {
  // r 3.7, log10 0.568 - 0.4999 -> Int 0, p 1; step Int(3.7) = 3; 37/3 = 12.3 -> 12, k 13.
  const ZLimits l = RoundedZLimits(0.0f, 37.0f);
  EXPECT_FLOAT_EQ(l.step, 3.0f);
  EXPECT_FLOAT_EQ(l.zmin, 0.0f);
  EXPECT_EQ(l.levels, 13);
  EXPECT_FLOAT_EQ(l.zmax, 36.0f);
}

TEST(ZLimits, From12_3To87_9Gives12To89WithTwelveLevels) {
  // r 7.56, p 1, step 7; zmin Int(12.3) = 12; (87.9 - 12)/7 = 10.84 -> 11, k 12; zmax 11·7 + 12 = 89.
  const ZLimits l = RoundedZLimits(12.3f, 87.9f);
  EXPECT_FLOAT_EQ(l.step, 7.0f);
  EXPECT_FLOAT_EQ(l.zmin, 12.0f);
  EXPECT_EQ(l.levels, 12);
  EXPECT_FLOAT_EQ(l.zmax, 89.0f);
}

TEST(ZLimits, MeuseZincLikeRangeUsesHundreds) {
  // r 160.4, log10 2.205 - 0.4999 -> Int 1, p 10; step Int(16.04)·10 = 160;
  // zmin Int(11.3)·10 = 110; (1717 - 110)/160 = 10.04 -> 10, k 11; zmax 1710.
  const ZLimits l = RoundedZLimits(113.0f, 1717.0f);
  EXPECT_FLOAT_EQ(l.step, 160.0f);
  EXPECT_FLOAT_EQ(l.zmin, 110.0f);
  EXPECT_EQ(l.levels, 11);
  EXPECT_FLOAT_EQ(l.zmax, 1710.0f);
}

TEST(ZLimits, NegativeMinimumRoundsDownAndHalfStepsGoToEven) {
  // r 3.7, p 1, step 3; zmin Int(-20.5) = -21 (down, not towards zero);
  // (16.5 + 21)/3 = 12.5 -> 12 (ties to even), k 13; zmax 12·3 - 21 = 15.
  const ZLimits l = RoundedZLimits(-20.5f, 16.5f);
  EXPECT_FLOAT_EQ(l.step, 3.0f);
  EXPECT_FLOAT_EQ(l.zmin, -21.0f);
  EXPECT_EQ(l.levels, 13);
  EXPECT_FLOAT_EQ(l.zmax, 15.0f);
}

// A flat series has no logarithm of its range: it used to give NaN limits.
TEST(ZLimits, FlatRangeIsWidenedByOneUnitInsteadOfNaN) {
  const ZLimits l = RoundedZLimits(5.0f, 5.0f);
  EXPECT_TRUE(std::isfinite(l.zmin));
  EXPECT_TRUE(std::isfinite(l.zmax));
  EXPECT_FLOAT_EQ(l.zmin, 4.0f);
  EXPECT_FLOAT_EQ(l.zmax, 6.0f);
  EXPECT_GT(l.step, 0.0f);
  EXPECT_EQ(l.levels, 11);
}

TEST(ZLimits, ReversedRangeIsPutInOrder) {
  const ZLimits l = RoundedZLimits(37.0f, 0.0f);
  EXPECT_FLOAT_EQ(l.zmin, 0.0f);
  EXPECT_FLOAT_EQ(l.zmax, 36.0f);
}

TEST(ZLimits, NonFiniteLimitsGiveAUsableScale) {
  const ZLimits l = RoundedZLimits(NAN, INFINITY);
  EXPECT_TRUE(std::isfinite(l.zmin));
  EXPECT_TRUE(std::isfinite(l.zmax));
  EXPECT_LT(l.zmin, l.zmax);
  EXPECT_GT(l.levels, 1);
}

}  // namespace
