#include "numerics/error_service.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "log_capture.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/machine_constant.h"

namespace kriging {
namespace {

using testing::LogCapture;
using testing::StoppedWithFailure;

TEST(ErrorServiceDeathTest, BadOutputUnitPrintsTheThreeUmachLinesAndStops) {
  LogCapture log("umach");
  auto run = [&] {
      log.Open();
      std::FILE* d = nullptr;
      OutputUnit(4, d);
  };
  EXPECT_EXIT(run(), StoppedWithFailure, "");
  EXPECT_EQ(log.Text(),
            "\n"
            " *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
            " ***          value of the index variable must be\n"
            " ***          1, 2, or 3.  IABS(N) = 4.\n");
}

TEST(ErrorServiceDeathTest, SingularFactorStopsWithTheMessageAsTheLastLines) {
  LogCapture log("singular");
  auto run = [&] {
      log.Open();
      std::fprintf(OutputDestination(2), "    Factorizando ...\n");
      float a[4] = {1, 1, 1, 1};
      std::int32_t ipvt[2];
      SymmetricFactor(2, a, 2, a, 2, ipvt);
      std::fprintf(OutputDestination(2), "not reached\n");
  };
  EXPECT_EXIT(run(), StoppedWithFailure, "");
  EXPECT_EQ(log.Text(),
            "    Factorizando ...\n"
            "\n"
            " *** FATAL    ERROR 2 from LFTSF.  The input matrix\n"
            " ***          is singular because pivot block 1 is\n"
            " ***          singular.\n");
}

TEST(ErrorServiceDeathTest, TerminalErrorsStopEvenWhenTheirStopIsTurnedOff) {
  LogCapture log("terminal");
  auto run = [&] {
      log.Open();
      SetErrorActions(5, 1, 0);
      SetErrorActions(0, 1, 0);
      MachineConstant(9);
  };
  EXPECT_EXIT(run(), StoppedWithFailure, "");
  EXPECT_EQ(log.Text(),
            "\n"
            " *** TERMINAL ERROR 5 from AMACH.  The argument\n"
            " ***          must be between 1 and 8 inclusive. N\n"
            " ***          = 9\n");
}

TEST(ErrorServiceDeathTest, OutOfRangeActionIsATerminalErrorOfErset) {
  LogCapture log("erset");
  auto run = [&] {
      log.Open();
      SetErrorActions(6, 1, 1);
  };
  EXPECT_EXIT(run(), StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("TERMINAL ERROR 1 from ERSET."), std::string::npos);
}

class ErrorServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { log.Open(); }
  void TearDown() override {
    SetErrorActions(0, 2, 2);
    log.Close();
  }
  LogCapture log{"actions"};
};

TEST_F(ErrorServiceTest, FatalErrorPrintedWithoutStoppingUnderChangedActions) {
  SetErrorActions(4, 1, 0);
  float a[4] = {1, 1, 1, 1};
  std::int32_t ipvt[2];
  SymmetricFactor(2, a, 2, a, 2, ipvt);
  SetErrorActions(4, 2, 2);
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], " *** FATAL    ERROR 2 from LFTSF.  The input matrix");
}

TEST_F(ErrorServiceTest, DefaultActionsPrintWarningsButNotNotesOrAlerts) {
  {
    ServiceCall call("TESTA");
    ReportError(1, 7, "A note.");
    ReportError(2, 8, "An alert.");
    ReportError(3, 9, "A warning.");
  }
  EXPECT_EQ(log.Text(), "\n *** WARNING  ERROR 9 from TESTA.  A warning.\n");
}

TEST_F(ErrorServiceTest, PrintActionOfOneClassCanBeTurnedOnAndRestored) {
  SetErrorActions(1, 1, -1);
  {
    ServiceCall call("TESTB");
    ReportError(1, 3, "First note.");
  }
  SetErrorActions(1, 2, -1);
  {
    ServiceCall call("TESTB");
    ReportError(1, 4, "Second note.");
  }
  EXPECT_EQ(log.Text(), "\n *** NOTE     ERROR 3 from TESTB.  First note.\n");
}

TEST_F(ErrorServiceTest, PendingErrorWaitsForTheOutermostServiceCall) {
  {
    ServiceCall outer("OUTER");
    {
      ServiceCall inner("INNER");
      ReportError(3, 1, "Inner warning.");
    }
    EXPECT_EQ(log.Text(), "") << "printed before the outermost call returned";
  }
  EXPECT_EQ(log.Text(), "\n *** WARNING  ERROR 1 from INNER.  Inner warning.\n");
}

TEST_F(ErrorServiceTest, ImmediateWarningIsPrintedAtOnceAndOnlyOnce) {
  {
    ServiceCall call("TESTC");
    ReportError(6, 2, "Now.");
    EXPECT_EQ(log.Text(), "\n *** WARNING  ERROR 2 from TESTC.  Now.\n");
  }
  EXPECT_EQ(log.Text(), "\n *** WARNING  ERROR 2 from TESTC.  Now.\n");
}

TEST_F(ErrorServiceTest, OutputUnitReturnsWhatWasSet) {
  std::FILE* d = nullptr;
  OutputUnit(3, d);
  EXPECT_EQ(d, OutputDestination(2));
  EXPECT_NE(d, stderr);
  EXPECT_EQ(OutputDestination(1), stdin);
}

TEST(FormatMessageTest, FillsEveryPlaceholderInEitherCase) {
  MessageValues v;
  v.i1 = 3;
  v.i2 = -12;
  v.r1 = 0.25;
  v.r2 = 1.5e-7;
  v.l1 = "T";
  EXPECT_EQ(FormatMessage("N = %(I1), M = %(i2), R = %(R1), S = %(r2), L = %(L1), %(X9).", v),
            "N = 3, M = -12, R = 0.25, S = 1.5e-07, L = T, %(X9).");
}

}  // namespace
}  // namespace kriging
