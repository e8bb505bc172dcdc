// A failed allocation ends the process, and the run log's last line says why.
#include "critical_stop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>

#include "kriging_reference.h"
#include "numerics/error_service.h"

namespace kriging {
namespace {

void LogTo(const char* name) {
  std::FILE* log = std::fopen(name, "w");
  OutputUnit(-2, log);
  OutputUnit(-3, log);
}

TEST(CriticalStop, WritesTheStatusAsTheLastLogLineAndEndsTheProcess) {
  const reference::ScratchDirectory scratch;
  EXPECT_EXIT(
      {
        LogTo("KRIGING.LOG");
        std::fprintf(OutputDestination(2), "    Factorizando ...\n");
        CriticalStop(7);
      },
      ::testing::ExitedWithCode(kCriticalStopExitCode), "");
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "ERROR CRITICO: 7");
}

TEST(CriticalStop, WorkArrayTooLargeToRepresentIsACriticalStop) {
  const reference::ScratchDirectory scratch;
  EXPECT_EXIT(
      {
        LogTo("KRIGING.LOG");
        auto huge = WorkArray<float>(std::numeric_limits<std::size_t>::max() / 2);
        std::printf("%zu\n", huge.size());
      },
      ::testing::ExitedWithCode(kCriticalStopExitCode), "");
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ERROR CRITICO: " + std::to_string(kStatusSizeTooLarge));
}

#ifndef __SANITIZE_ADDRESS__  // the sanitizer's allocator aborts on such a request itself
TEST(CriticalStop, RefusedAllocationIsACriticalStop) {
  const reference::ScratchDirectory scratch;
  EXPECT_EXIT(
      {
        LogTo("KRIGING.LOG");
        // 2^60 floats: representable, never granted.
        auto huge = WorkArray<float>(std::size_t{1} << 60);
        std::printf("%zu\n", huge.size());
      },
      ::testing::ExitedWithCode(kCriticalStopExitCode), "");
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ERROR CRITICO: " + std::to_string(kStatusNoMemory));
}
#endif

}  // namespace
}  // namespace kriging
