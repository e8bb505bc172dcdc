// The persistent worker pool: every item of many small loops in a row runs
// exactly once on a worker the loop asked for; the workers outlive a call and
// are reused by the next one, which gives the same bits; a loop started
// inside an item runs on its caller; the process ends cleanly through
// std::exit with the workers parked, or with an item still running.
#include "numerics/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "numerics/blocked_cholesky_inverse.h"

namespace kriging {
namespace {

TEST(ThreadPool, ManySmallLoopsInARowRunEveryItemOnceOnAnAllowedWorker) {
  for (int loop = 0; loop < 3000; ++loop) {
    const int count = 1 + loop % 37, workers = 1 + loop % 4;
    std::vector<std::atomic<int>> runs(count);
    std::vector<int> worker(count, -1);
    std::vector<long long> value(count, 0);
    ParallelFor(count, workers, [&](int item, int w) {
      runs[item].fetch_add(1);
      worker[item] = w;
      value[item] = static_cast<long long>(item) * item + loop;
    });
    for (int item = 0; item < count; ++item) {
      ASSERT_EQ(runs[item].load(), 1) << "loop " << loop << " item " << item;
      ASSERT_GE(worker[item], 0);
      ASSERT_LT(worker[item], std::min(workers, count));
      ASSERT_EQ(value[item], static_cast<long long>(item) * item + loop);
    }
  }
}

// A small positive definite matrix (diagonally dominant) in the layout the
// blocked inverse takes: upper triangle, zeros below.
std::vector<double> Work(int n) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> r(static_cast<std::size_t>(n) * n, 0.0);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) r[i + static_cast<std::size_t>(j) * n] = i == j ? n : u(gen);
  return r;
}

TEST(ThreadPool, TwoSequentialCallsReuseTheWorkersAndGiveTheSameBits) {
  setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1);
  const int n = 211;
  std::vector<double> serial = Work(n);
  ASSERT_EQ(BlockedCholeskyInverseInPlace(n, serial.data(), n, 1), 0);
  std::vector<double> first = Work(n);
  ASSERT_EQ(BlockedCholeskyInverseInPlace(n, first.data(), n, 3), 0);
  const int threads = PoolThreadCount();
  EXPECT_GE(threads, 2);
  std::vector<double> second = Work(n);
  ASSERT_EQ(BlockedCholeskyInverseInPlace(n, second.data(), n, 3), 0);
  EXPECT_EQ(PoolThreadCount(), threads);  // no new threads for the second call
  EXPECT_EQ(std::memcmp(first.data(), serial.data(), serial.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(second.data(), serial.data(), serial.size() * sizeof(double)), 0);
  // The inverse itself: A^{-1} A e_0 = e_0 within rounding, checked on the
  // first column with A rebuilt from Work.
  const std::vector<double> a = Work(n);
  auto A = [&](int i, int j) { return i <= j ? a[i + j * n] : a[j + i * n]; };
  auto X = [&](int i, int j) { return i <= j ? serial[i + j * n] : serial[j + i * n]; };
  for (int i = 0; i < n; ++i) {
    double s = 0;
    for (int k = 0; k < n; ++k) s += X(i, k) * A(k, 0);
    EXPECT_NEAR(s, i == 0 ? 1.0 : 0.0, 1e-12) << i;
  }
}

TEST(ThreadPool, LoopInsideAnItemRunsOnItsCaller) {
  const int outer = 6, inner = 5;
  std::vector<int> cells(outer * inner, 0);
  ParallelFor(outer, 3, [&](int i, int) {
    ParallelFor(inner, 3, [&](int j, int w) {
      EXPECT_EQ(w, 0);
      cells[i * inner + j] += 1 + i + j;
    });
  });
  for (int i = 0; i < outer; ++i)
    for (int j = 0; j < inner; ++j) EXPECT_EQ(cells[i * inner + j], 1 + i + j);
}

// Death tests re-run the binary ("threadsafe") so that the pool of the child
// is its own and its workers exist.
class ThreadPoolExit : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ThreadPoolExit, ExitWithWorkersParkedDoesNotHang) {
  EXPECT_EXIT(
      {
        std::atomic<int> sum{0};
        ParallelFor(64, 3, [&](int item, int) { sum += item; });
        std::exit(sum.load() == 64 * 63 / 2 ? 7 : 1);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST_F(ThreadPoolExit, ExitFromAWorkerInsideAnItemDoesNotHang) {
  EXPECT_EXIT(ParallelFor(100000, 2,
                          [](int, int worker) {
                            if (worker != 0) std::exit(9);
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                          }),
              ::testing::ExitedWithCode(9), "");
}

TEST_F(ThreadPoolExit, ExitFromTheCallerWhileWorkersAreBusyDoesNotHang) {
  EXPECT_EXIT(ParallelFor(1000, 3,
                          [](int item, int worker) {
                            if (worker == 0 && item > 10) std::exit(8);
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                          }),
              ::testing::ExitedWithCode(8), "");
}

}  // namespace
}  // namespace kriging
