// The data set's summary against statistics worked out by hand.
#include "core/data_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace sorvan::core;

TEST(DataSummary, StatisticsOverThePresentValues) {
  SpatialData d;
  std::istringstream in("t\n3,5\nx,,0\ny,,0\nz,,0\n0,10,2\n1,11,4\n2,12,NA\n3,13,4\n4,14,5\n");
  ASSERT_TRUE(ReadData(in, "t.dae", d).ok);
  d.crs = "EPSG:28992";
  const VariableStatistics e = Statistics(d, 3);
  EXPECT_EQ(e.present, 4);
  EXPECT_EQ(e.missing, 1);
  EXPECT_EQ(e.minimum, 2.0);
  EXPECT_EQ(e.maximum, 5.0);
  EXPECT_DOUBLE_EQ(e.mean, 3.75);
  // Deviations -1.75, 0.25, 0.25, 1.25: squares 3.0625 + 0.0625 + 0.0625 + 1.5625 = 4.75; / 3.
  EXPECT_DOUBLE_EQ(e.deviation, std::sqrt(4.75 / 3));
  const std::string t = DataSummary(d, 1, 2);
  EXPECT_NE(t.find("Filas: 5"), std::string::npos) << t;
  EXPECT_NE(t.find("z: 1, 2, 5, 3.75, 1.258305739"), std::string::npos) << t;
  EXPECT_NE(t.find("X (x) de 0 a 4; Y (y) de 10 a 14"), std::string::npos) << t;
  EXPECT_NE(t.find("Sistema de referencia: EPSG:28992"), std::string::npos) << t;
}
