// Drift monomials: their order, the frame of the data, and why the frame
// matters on projected coordinates.
#include "drift_terms.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kriging {
namespace {

TEST(DriftTerm, RawMonomialsInTheirOrder) {
  SetDriftFrame(DriftFrame{});
  const float x = 3, y = -2;
  const float want[10] = {1, 3, -2, 9, -6, 4, 27, -18, 12, -8};
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(DriftTerm(k, x, y), want[k - 1]) << k;
  EXPECT_EQ(DriftTerm(0, x, y), 0.0f);
  EXPECT_EQ(DriftTerm(11, x, y), 0.0f);
  EXPECT_EQ(DriftTermCount(0), 1);
  EXPECT_EQ(DriftTermCount(1), 3);
  EXPECT_EQ(DriftTermCount(2), 6);
  EXPECT_EQ(DriftTermCount(3), 10);
}

TEST(DriftTerm, FrameOfProjectedDataKeepsMonomialsWithinOne) {
  const float x[] = {178600, 181400, 180000};
  const float y[] = {329700, 333700, 331000};
  const DriftFrame frame = DriftFrameOfData(3, x, y);
  EXPECT_DOUBLE_EQ(frame.centreX, 180000);
  EXPECT_DOUBLE_EQ(frame.centreY, 331700);
  EXPECT_DOUBLE_EQ(frame.scale, 2000);  // half the larger extent (4000 m along y)
  SetDriftFrame(frame);
  // Corner (181400, 333700): u = 0.7, v = 1.
  EXPECT_NEAR(DriftTerm(2, 181400, 333700), 0.7, 1e-7);
  EXPECT_NEAR(DriftTerm(3, 181400, 333700), 1.0, 1e-7);
  EXPECT_NEAR(DriftTerm(8, 181400, 333700), 0.49, 1e-7);
  for (int i = 0; i < 3; ++i)
    for (int k = 1; k <= 10; ++k) EXPECT_LE(std::fabs(DriftTerm(k, x[i], y[i])), 1.0f);
  SetDriftFrame(DriftFrame{});
}

TEST(DriftTerm, CoincidingPointsGiveTheUnitScale) {
  const float x[] = {5, 5}, y[] = {7, 7};
  const DriftFrame frame = DriftFrameOfData(2, x, y);
  EXPECT_EQ(frame.scale, 1);
  EXPECT_EQ(frame.centreX, 5);
  EXPECT_EQ(DriftFrameOfData(0, x, y).scale, 1);
}

}  // namespace
}  // namespace kriging
