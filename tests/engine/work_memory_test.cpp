// Work memory: large blocks come back for the next request they fit, small
// ones and oversized ones go to the system, and the reserve stays bounded.
#include "work_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "critical_stop.h"

namespace kriging {
namespace {

TEST(WorkMemory, ALargeBlockGivenBackServesTheNextRequestItFits) {
  const std::size_t capacity = 4 * kReservedFrom;
  std::size_t bytes = capacity;
  void* first = ObtainWorkBlock(bytes);
  ASSERT_NE(first, nullptr);
  std::memset(first, 1, bytes);  // the whole capacity is usable
  ReturnWorkBlock(first, bytes);

  // A request of half its size takes the same block, with its capacity.
  std::size_t half = capacity / 2;
  void* again = ObtainWorkBlock(half);
  EXPECT_EQ(again, first);
  EXPECT_EQ(half, capacity);
  // While it is out, the same request gets another block.
  std::size_t other = capacity;
  void* second = ObtainWorkBlock(other);
  EXPECT_NE(second, first);
  ReturnWorkBlock(again, half);
  ReturnWorkBlock(second, other);

  // A request under half of either block takes neither: no block is wasted.
  std::size_t small = capacity / 2 - 1;
  void* third = ObtainWorkBlock(small);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  EXPECT_EQ(small, capacity / 2 - 1);
  ReturnWorkBlock(third, small);
}

TEST(WorkMemory, TheReserveStaysWithinItsLimit) {
  // More than the limit given back in blocks a quarter of it each.
  std::vector<std::pair<void*, std::size_t>> blocks;
  for (int k = 0; k < 6; ++k) {
    std::size_t bytes = kReserveLimit / 4 + k * kReservedFrom;
    blocks.emplace_back(ObtainWorkBlock(bytes), bytes);
    ASSERT_NE(blocks.back().first, nullptr);
  }
  for (const auto& [block, bytes] : blocks) ReturnWorkBlock(block, bytes);
  EXPECT_LE(ReservedBytes(), kReserveLimit);
  EXPECT_GE(ReservedBytes(), kReserveLimit / 2);

  // A block larger than the whole reserve is never kept.
  const std::size_t before = ReservedBytes();
  std::size_t huge = kReserveLimit + kReservedFrom;
  ReturnWorkBlock(ObtainWorkBlock(huge), huge);
  EXPECT_EQ(ReservedBytes(), before);
}

TEST(WorkMemory, ZeroedArraysAreZeroEvenFromAReusedBlock) {
  const std::size_t count = kReservedFrom;  // floats: four times the threshold
  {
    UnfilledArray<float> dirty = UnfilledWorkArray<float>(count);
    for (std::size_t i = 0; i < count; ++i) dirty[i] = 1.0f;
  }
  const UnfilledArray<float> zeroed = ZeroedWorkArray<float>(count);
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(zeroed[i], 0.0f) << i;
}

}  // namespace
}  // namespace kriging
