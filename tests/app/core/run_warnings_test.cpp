// The warnings of a finished run: each cause alone, none for a clean run.
#include "core/run_warnings.h"

#include <gtest/gtest.h>

using namespace sorvan;

namespace {

const std::string kCleanLog = "I-  Obteniendo un semivariograma isotropico:\n Terminado.\n";

TEST(RunWarnings, NoneForACleanRunWithinTheDataRange) {
  EXPECT_TRUE(RunWarnings(kCleanLog, 4, 8, 4.5, 7.5).empty());
  // Beyond the range by less than its span is not reported: 8 + 4 = 12.
  EXPECT_TRUE(RunWarnings(kCleanLog, 4, 8, 0.5, 11.9).empty());
  EXPECT_EQ(RunWarningsText({}), "");
}

TEST(RunWarnings, TrendIterationAtItsLimit) {
  const auto w = RunWarnings(kCleanLog + " Se alcanz\xC3\xB3 el n\xC2\xBA m\xC3\xA1ximo de iteraciones\n", 4,
                             8, 5, 7);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("iteración de la tendencia"), std::string::npos);
  EXPECT_NE(w[0].find("pruebe"), std::string::npos);
}

TEST(RunWarnings, FitEndedWithASolverMessage) {
  // The ordinary stop at relative function convergence is not a warning.
  EXPECT_TRUE(RunWarnings(kCleanLog + "\n *** WARNING  ERROR 1 from BCLSF.  RELATIVE\n", 4, 8, 5, 7).empty());
  const auto w = RunWarnings(kCleanLog + "\n *** WARNING  ERROR 1 from BCLSF.  RELATIVE\n"
                                         "\n *** FATAL    ERROR 3 from BCLSF.  The maximum\n", 4, 8, 5, 7);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("ajuste del modelo"), std::string::npos);
  EXPECT_NE(w[0].find("global"), std::string::npos);
}

TEST(RunWarnings, PredictionsBeyondTheRangeByMoreThanItsSpan) {
  // Data 4..8 (span 4): above 12 or below 0 is reported, with the values.
  auto w = RunWarnings(kCleanLog, 4, 8, 5, 12.5);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("12.5"), std::string::npos);
  EXPECT_NE(w[0].find("4 a 8"), std::string::npos);
  w = RunWarnings(kCleanLog, 4, 8, -0.5, 7);
  EXPECT_EQ(w.size(), 1u);
}

TEST(RunWarnings, AllThreeInOneMessage) {
  const auto w = RunWarnings(kCleanLog + " Se alcanz\xC3\xB3 el n\xC2\xBA m\xC3\xA1ximo de iteraciones\n ERROR 2 from BCLSF.",
                             0, 1, -5, 9);
  ASSERT_EQ(w.size(), 3u);
  const std::string text = RunWarningsText(w);
  EXPECT_EQ(text.rfind("\xE2\x80\xA2 " + w[0], 0), 0u);  // a bullet, then the first
  EXPECT_NE(text.find(w[2]), std::string::npos);
}

}  // namespace
