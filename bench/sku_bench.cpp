// Timing of a whole kriging run and of its two costly phases.
//
//   sku_bench [repetitions]
//
// For n = 500 and n = 2048 random points on a 5 km square (projected
// coordinates) and a 100 x 100 grid, ordinary kriging with a fitted spherical
// model: the whole SKU call; the same run through Krige (kriging_api.h);
// KrigeGrid on an all-hole grid (assembly and factorization only); the
// factorization alone; and the node loop, taken as the full KrigeGrid minus
// the all-hole one. The best of the repetitions is
// shown, with stage I (semivariogram estimate and fit) on its own. Files are
// written to a temporary directory.
//
// Then the rate of the whole SKU call for n = 2048 against the machine's
// peak. The peak is measured here: a loop of independent single-precision
// fused multiply-adds (12 accumulators of 8 floats with AVX2+FMA, of 16 with
// AVX-512), timed by the thread's own processor clock so that other programs
// on a shared machine do not lower it; the machine's peak is that per core
// times the worker count. The arithmetic minimum of the call is the
// symmetric factorization of the N = n + 1 system (N^3 / 3 flops) plus one
// triangular solve per node (N^2 flops); its time at the peak is compared
// with the call's processor time (all threads) divided by the worker count.
// Where the products run on the tile unit (AMX), their own rate is shown as
// well; the minimum stays the one at the fused multiply-add peak.
#include <immintrin.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "drift_terms.h"
#include "grid_kriging.h"
#include "kriging_api.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/error_service.h"
#include "numerics/simd_kernels.h"
#include "numerics/split_tile_product.h"
#include "numerics/thread_pool.h"
#include "sku.h"
#include "trend_removal.h"
#include "variogram_models.h"

namespace {

// Processor time of the best repetition: the machine may be shared, and the
// run is single-threaded, so processor time is the steadier figure.
double BestSeconds(int repetitions, const std::function<void()>& work) {
  double best = 1e300;
  for (int r = 0; r < repetitions; ++r) {
    const std::clock_t start = std::clock();
    work();
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

struct Points {
  std::vector<float> x, y, z;
};

Points RandomPoints(int n, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> position(0.0f, 5000.0f);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  Points p;
  for (int k = 0; k < n; ++k) {
    const float u = position(generator), v = position(generator);
    p.x.push_back(178000.0f + u);
    p.y.push_back(329000.0f + v);
    p.z.push_back(5.0f + std::sin(u / 900.0f) + 0.5f * std::cos(v / 1300.0f) + noise(generator));
  }
  return p;
}

constexpr int kGrid = 100;
constexpr float kXMin = 178000.0f, kYMin = 329000.0f, kStep = 5000.0f / (kGrid - 1);

double TimeSku(Points p, int repetitions) {
  return BestSeconds(repetitions, [&] {
    std::int32_t n = static_cast<std::int32_t>(p.x.size());
    float firstLag = -1, lagWidth = -1;
    std::int32_t lagCount = -1, fitLagCount = -1, modelCode = 1, trendDegree = 0;
    std::int32_t nx = kGrid, ny = kGrid, gridRows = kGrid;
    float xMin = kXMin, yMin = kYMin, dx = kStep, dy = kStep, hole = -10000.0f;
    std::vector<float> prediction(kGrid * kGrid, 0.0f), variance(kGrid * kGrid, 0.0f);
    std::int32_t options[7] = {-1, -1, -1, -1, -1, -1, -1};
    float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    SKU(&n, p.z.data(), p.x.data(), p.y.data(), &firstLag, &lagWidth, &lagCount, &fitLagCount,
        &modelCode, &trendDegree, &nx, &ny, &xMin, &yMin, &dx, &dy, &gridRows, prediction.data(),
        variance.data(), &hole, options, parameters);
  });
}

// The same run through the named interface, its files in the working folder.
double TimeKrige(const Points& p, int repetitions) {
  kriging::KrigingData data;
  data.x.assign(p.x.begin(), p.x.end());
  data.y.assign(p.y.begin(), p.y.end());
  data.z.assign(p.z.begin(), p.z.end());
  kriging::KrigingOptions options;
  options.grid = {kGrid, kGrid, kXMin, kYMin, kStep, kStep};
  options.outputFolder = ".";
  return BestSeconds(repetitions, [&] {
    if (!kriging::Krige(data, options).ok()) std::abort();
  });
}

double TimeStageI(const Points& p, int repetitions) {
  return BestSeconds(repetitions, [&] {
    float firstLag = -1, lagWidth = -1;
    std::int32_t lagCount = -1, fitLagCount = -1;
    std::int32_t options[7] = {-1, -1, -1, -1, -1, -1, -1};
    float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    kriging::EstimateTrendAndSemivariogram(static_cast<int>(p.x.size()), p.z.data(), p.x.data(),
                                           p.y.data(), 1, &kriging::DriftTerm, firstLag, lagWidth,
                                           lagCount, 1, fitLagCount, options, parameters);
  });
}

double TimeKrigeGrid(const Points& p, bool allHoles, int repetitions) {
  return BestSeconds(repetitions, [&] {
    std::vector<float> prediction(kGrid * kGrid, allHoles ? -10000.0f : 0.0f);
    std::vector<float> variance(kGrid * kGrid);
    float range[2];
    kriging::KrigeGrid(static_cast<int>(p.x.size()), p.z.data(), p.x.data(), p.y.data(), 1,
                       &kriging::DriftTerm, &kriging::SemivariogramOfLag, 0, 0, kGrid, kGrid,
                       kXMin, kYMin, kStep, kStep, kGrid, prediction.data(), variance.data(),
                       -10000.0f, range);
  });
}

double TimeFactorization(const Points& p, int repetitions) {
  const int n = static_cast<int>(p.x.size()), order = n + 1;
  std::vector<float> assembled(static_cast<std::size_t>(order) * order);
  for (int i = 0; i < n; ++i) {
    for (int j = i; j < n; ++j)
      assembled[i + static_cast<std::size_t>(j) * order] =
          kriging::SemivariogramOfLag(p.x[i] - p.x[j], p.y[i] - p.y[j]);
    assembled[i + static_cast<std::size_t>(n) * order] = 1;
  }
  std::vector<float> factor;
  std::vector<std::int32_t> pivots(order);
  return BestSeconds(repetitions, [&] {
    factor = assembled;  // an O(N^2) copy beside the O(N^3) factorization
    kriging::SymmetricFactor(order, factor.data(), order, factor.data(), order, pivots.data());
  });
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Twelve independent chains of fused multiply-adds (more than the latency
// times the issue width, so the units never wait); flops per processor second.
constexpr long kRounds = 20000000;

#define SORVAN_FMA_RATE(Vector, lanes, set, fma, add, first)                    \
  Vector acc[12];                                                                 \
  for (int k = 0; k < 12; ++k) acc[k] = set(1.0f + 1e-3f * k);                   \
  const Vector a = set(0.999999f), b = set(1e-7f);                                \
  const double start = ThreadSeconds();                                           \
  for (long r = 0; r < kRounds; ++r)                                              \
    for (int k = 0; k < 12; ++k) acc[k] = fma(acc[k], a, b);                      \
  const double seconds = ThreadSeconds() - start;                                 \
  for (int k = 1; k < 12; ++k) acc[0] = add(acc[0], acc[k]);                      \
  if (first(acc[0]) == 12345.0f) std::puts(""); /* keeps the loop */              \
  return 2.0 * (lanes) * 12.0 * kRounds / seconds;

__attribute__((target("avx2,fma"))) double Avx2Rate() {
  SORVAN_FMA_RATE(__m256, 8, _mm256_set1_ps, _mm256_fmadd_ps, _mm256_add_ps, _mm256_cvtss_f32)
}

__attribute__((target("avx512f"))) double Avx512Rate() {
  SORVAN_FMA_RATE(__m512, 16, _mm512_set1_ps, _mm512_fmadd_ps, _mm512_add_ps, _mm512_cvtss_f32)
}

#undef SORVAN_FMA_RATE

// Single-precision rate of the tile unit's split products (three bfloat16
// parts per float, six products per product) on a panel-sized product, its
// data in the caches, by the thread's processor clock.
double SplitProductRate() {
  constexpr int kRows = 64, kCols = 96, kDepth = 1024, kTimes = 200;
  std::vector<float> a(kRows * kDepth, 0.5f), b(kDepth * kCols, 0.25f), c(kRows * kCols, 0.0f);
  std::vector<std::uint16_t> packedA(kriging::SplitPackedRowsSize(kRows, kDepth) + 32),
      packedB(kriging::SplitPackedColumnsSize(kDepth, kCols) + 32);
  std::uint16_t* pa = kriging::AlignedToLine(packedA.data());
  std::uint16_t* pb = kriging::AlignedToLine(packedB.data());
  kriging::PackSplitRows(kRows, kDepth, a.data(), kRows, pa);
  kriging::PackSplitColumns(kDepth, kCols, b.data(), kDepth, 0, kDepth, pb);
  timespec start, end;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  for (int t = 0; t < kTimes; ++t)
    kriging::SubtractSplitProduct(kRows, kCols, kDepth, pa, pb, 0, kDepth, c.data(), kRows);
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  const double seconds = (end.tv_sec - start.tv_sec) + 1e-9 * (end.tv_nsec - start.tv_nsec);
  return 2.0 * kRows * kCols * kDepth * kTimes / seconds;
}

void PeakReport(const Points& p, int repetitions) {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) {
    std::printf("\nNo AVX2+FMA: peak not measured.\n");
    return;
  }
  const int cores = kriging::WorkerCount();
  double avx2 = 0, avx512 = 0;
  for (int r = 0; r < 3; ++r) avx2 = std::max(avx2, Avx2Rate());
  const bool wide = __builtin_cpu_supports("avx512f");
  if (wide)
    for (int r = 0; r < 3; ++r) avx512 = std::max(avx512, Avx512Rate());
  const double peakCore = std::max(avx2, avx512);
  std::printf("\nPeak per core (single precision, measured): AVX2+FMA %.1f GFLOP/s", avx2 / 1e9);
  if (wide) std::printf(", AVX-512 %.1f GFLOP/s", avx512 / 1e9);
  std::printf("; machine (%d cores) %.1f GFLOP/s\n", cores, cores * peakCore / 1e9);
  if (kriging::UsesSplitTiles()) {
    double split = 0;
    for (int r = 0; r < 3; ++r) split = std::max(split, SplitProductRate());
    std::printf(
        "Tile unit (AMX) in use: single-precision products as split bfloat16 ones, %.1f "
        "GFLOP/s per core on a panel-sized product; the minimum below stays the one at "
        "the fused multiply-add peak\n",
        split / 1e9);
  } else {
    std::printf("Tile unit not in use: the products run on the vector units\n");
  }

  const double order = static_cast<double>(p.x.size()) + 1;
  const double flops = order * order * order / 3.0 + double(kGrid) * kGrid * order * order;
  double processor = 1e300, wall = 1e300;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    processor = std::min(processor, TimeSku(p, 1));
    wall = std::min(wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                              .count());
  }
  const double minimum = flops / (cores * peakCore);
  std::printf("SKU n = %d, %d x %d: minimum %.2f GFLOP (factorization + one triangular solve per "
              "node), %.3f s at the machine's peak\n",
              static_cast<int>(p.x.size()), kGrid, kGrid, flops / 1e9, minimum);
  std::printf("  processor %.3f s (%.3f s per core: %.1f GFLOP/s per core, %.0f %% of its peak; "
              "%.2f x the minimum); wall %.3f s (%.2f x, %.1f GFLOP/s)\n",
              processor, processor / cores, flops / processor / 1e9,
              100.0 * flops / processor / peakCore, processor / cores / minimum, wall,
              wall / minimum, flops / wall / 1e9);
  if (wide)
    std::printf("  against the AVX2+FMA peak alone: %.2f x the minimum per core\n",
                processor / cores / (flops / (cores * avx2)));
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  char pattern[] = "/tmp/sku_bench_XXXXXX";
  const std::filesystem::path scratch = mkdtemp(pattern);
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(scratch);

  std::printf("Processor seconds, best of %d; grid %d x %d, ordinary kriging, spherical model "
              "fitted.\n",
              repetitions, kGrid, kGrid);
  std::printf("%6s %10s %10s %10s %16s %13s %10s %14s\n", "n", "SKU", "Krige", "stage I",
              "assemble+factor", "factorize", "nodes", "per node (us)");
  for (int n : {500, 2048}) {
    const Points p = RandomPoints(n, 20240 + n);
    const double sku = TimeSku(p, repetitions);
    const double named = TimeKrige(p, repetitions);
    // Progress lines and messages of the phases go to a scratch log; the
    // phases after stage I use the model it fitted.
    std::FILE* log = std::fopen("phases.log", "w");
    kriging::OutputUnit(-2, log);
    kriging::OutputUnit(-3, log);
    const double stageI = TimeStageI(p, repetitions);
    const double assemble = TimeKrigeGrid(p, true, repetitions);
    const double full = TimeKrigeGrid(p, false, repetitions);
    const double factorize = TimeFactorization(p, repetitions);
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    kriging::OutputUnit(-2, out);
    kriging::OutputUnit(-3, err);
    std::fclose(log);
    const double nodes = full - assemble;
    std::printf("%6d %10.3f %10.3f %10.3f %16.3f %13.3f %10.3f %14.1f\n", n, sku, named, stageI,
                assemble, factorize, nodes, 1e6 * nodes / (kGrid * kGrid));
  }

  PeakReport(RandomPoints(2048, 20240 + 2048), std::max(repetitions, 3));

  std::filesystem::current_path(home);
  std::filesystem::remove_all(scratch);
  return 0;
}
