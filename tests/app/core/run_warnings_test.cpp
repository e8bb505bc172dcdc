// The warnings of a finished run, from the engine's own warnings of that run:
// each cause alone, none for a clean run.
#include "core/run_warnings.h"

#include <gtest/gtest.h>

#include "kriging_api.h"

using namespace sorvan::core;

namespace {

using Warnings = std::vector<std::string>;

// How the numerical services print the fit's ordinary stop, and an early one.
const std::string kRelative =
    " *** WARNING  ERROR 1 from BCLSF.  RELATIVE FUNCTION\n ***          CONVERGENCE - Both the";
const std::string kIterationLimit =
    " *** WARNING  ERROR 3 from BCLSF.  Maximum number of\n ***          iterations exceeded.";

TEST(RunWarnings, NoneForACleanRunWithinTheDataRange) {
  EXPECT_TRUE(RunWarnings({}, 4, 8, 4.5, 7.5).empty());
  // Beyond the range by less than its span is not reported: 8 + 4 = 12.
  EXPECT_TRUE(RunWarnings({}, 4, 8, 0.5, 11.9).empty());
  EXPECT_EQ(RunWarningsText({}), "");
}

TEST(RunWarnings, TrendIterationAtItsLimit) {
  const auto w = RunWarnings({kriging::kTrendLimitWarning}, 4, 8, 5, 7);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("iteración de la tendencia"), std::string::npos);
  EXPECT_NE(w[0].find("pruebe"), std::string::npos);
}

TEST(RunWarnings, FitEndedWithASolverMessage) {
  // The ordinary stop at relative function convergence is not a warning.
  EXPECT_TRUE(RunWarnings({kRelative}, 4, 8, 5, 7).empty());
  const auto w = RunWarnings({kRelative, kIterationLimit}, 4, 8, 5, 7);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("ajuste del modelo"), std::string::npos);
  EXPECT_NE(w[0].find("global"), std::string::npos);
}

// Other messages of the run (a warning of another service, the negative
// variances) are not turned into these messages.
TEST(RunWarnings, OtherEngineMessagesAreNotTheirs) {
  const Warnings others = {" *** WARNING  ERROR 2 from LFTSF.  The matrix", "La varianza de kriging es "
                                                                             "claramente negativa en 3 nodos"};
  EXPECT_TRUE(RunWarnings(others, 4, 8, 5, 7).empty());
  for (const std::string& w : others) EXPECT_FALSE(HasOwnRunWarning(w)) << w;
  EXPECT_TRUE(HasOwnRunWarning(kIterationLimit));
  EXPECT_TRUE(HasOwnRunWarning(kriging::kTrendLimitWarning));
  EXPECT_FALSE(HasOwnRunWarning(kRelative));
}

TEST(RunWarnings, PredictionsBeyondTheRangeByMoreThanItsSpan) {
  // Data 4..8 (span 4): above 12 or below 0 is reported, with the values.
  auto w = RunWarnings({}, 4, 8, 5, 12.5);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("12.5"), std::string::npos);
  EXPECT_NE(w[0].find("4 a 8"), std::string::npos);
  w = RunWarnings({}, 4, 8, -0.5, 7);
  EXPECT_EQ(w.size(), 1u);
}

TEST(RunWarnings, AllThreeInOneMessage) {
  const auto w = RunWarnings({kriging::kTrendLimitWarning, " *** FATAL    ERROR 2 from BCLSF."}, 0, 1, -5, 9);
  ASSERT_EQ(w.size(), 3u);
  const std::string text = RunWarningsText(w);
  EXPECT_EQ(text.rfind("\xE2\x80\xA2 " + w[0], 0), 0u);  // a bullet, then the first
  EXPECT_NE(text.find(w[2]), std::string::npos);
}

}  // namespace
