// Speed of the blocked kriging paths beside the straightforward ones they
// replaced, measured in the same process so that the ratios hold on a shared
// machine even when the absolute times do not.
//
//   kriging_speed_bench            the table below (about a minute)
//   kriging_speed_bench big [n] [degree]
//                                  only the whole SKU call for n points (default
//                                  10000) on a 100 x 100 grid, with a drift of
//                                  that degree (default 0, ordinary kriging;
//                                  1 or more runs the trend iteration and its
//                                  n x n inverse); run it under
//                                  /usr/bin/time -v for the peak memory
//   kriging_speed_bench export DIR [n] [grid]
//                                  the SKU call of the table (n = 2048 points,
//                                  100 x 100 grid) with its inputs and outputs
//                                  written to DIR for compare_gstat.sh:
//                                  points.csv, grid.csv (the kriged grid),
//                                  model.txt (fitted model, grid, SKU seconds)
//
// Rows (wall-clock seconds, best of the repetitions; "all" threads is
// SORVAN_THREADS or every hardware thread):
//   factorization   N = 2049: unblocked Bunch-Kaufman vs the blocked one
//   grid            n = 2048, 100 x 100 nodes: KrigeGridReference (one solve
//                   per node; timed on a 10 x 10 grid and scaled to 10^4
//                   nodes) vs KrigeGrid (blocks of nodes)
//   inverse         n = 2048: a textbook double Cholesky inverse vs
//                   PositiveDefiniteInverse (blocked)
//   SKU             whole calls: ordinary kriging, spherical model fitted;
//                   quadratic drift with 5 Neuman-Jacobson iterations
// The rate of the blocked factorization and node solves is given against the
// single-precision peak estimated from the processor's clock (2 fused
// multiply-adds of 8 floats per cycle per core with AVX2).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "drift_terms.h"
#include "grid_kriging.h"
#include "numerics/blocked_bunch_kaufman.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/error_service.h"
#include "numerics/positive_definite_inverse.h"
#include "numerics/simd_kernels.h"
#include "numerics/thread_pool.h"
#include "sku.h"
#include "variogram_models.h"

namespace {

double BestSeconds(int repetitions, const std::function<void()>& work) {
  double best = 1e300;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                              .count());
  }
  return best;
}

struct Points {
  std::vector<float> x, y, z;
};

// Random points on a 5 km square in projected coordinates, a smooth field
// with a trend and noise.
Points RandomPoints(int n, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> position(0.0f, 5000.0f);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  Points p;
  for (int k = 0; k < n; ++k) {
    const float u = position(generator), v = position(generator);
    p.x.push_back(178000.0f + u);
    p.y.push_back(329000.0f + v);
    p.z.push_back(5.0f + std::sin(u / 900.0f) + 0.5f * std::cos(v / 1300.0f) + 2e-4f * u +
                  noise(generator));
  }
  return p;
}

constexpr float kXMin = 178000.0f, kYMin = 329000.0f, kSide = 5000.0f;

void SetThreads(int threads) {
  if (threads > 0)
    setenv("SORVAN_THREADS", std::to_string(threads).c_str(), 1);
  else
    unsetenv("SORVAN_THREADS");
}

struct SkuResult {
  std::vector<float> prediction, variance;
  float dx;
};

double Sku(const Points& p, int grid, int trendDegree, SkuResult* result = nullptr) {
  Points q = p;
  std::int32_t n = static_cast<std::int32_t>(q.x.size());
  float firstLag = -1, lagWidth = -1;
  std::int32_t lagCount = -1, fitLagCount = -1, modelCode = 1, degree = trendDegree;
  std::int32_t nx = grid, ny = grid, gridRows = grid;
  float xMin = kXMin, yMin = kYMin, dx = kSide / (grid - 1), dy = dx, hole = -10000.0f;
  std::vector<float> prediction(static_cast<std::size_t>(grid) * grid, 0.0f),
      variance(prediction.size(), 0.0f);
  std::int32_t options[7] = {-1, -1, -1, -1, -1, -1, 5};
  float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, 1e-9f, -1};  // no early convergence
  const auto start = std::chrono::steady_clock::now();
  SKU(&n, q.z.data(), q.x.data(), q.y.data(), &firstLag, &lagWidth, &lagCount, &fitLagCount,
      &modelCode, &degree, &nx, &ny, &xMin, &yMin, &dx, &dy, &gridRows, prediction.data(),
      variance.data(), &hole, options, parameters);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != nullptr) {
    result->prediction = prediction;
    result->variance = variance;
    result->dx = dx;
  }
  return seconds;
}

// The inputs and outputs of one SKU call for a side-by-side run elsewhere.
int Export(const std::filesystem::path& dir, int n, int grid) {
  std::filesystem::create_directories(dir);
  const Points p = RandomPoints(n, 2048);
  SkuResult r;
  const double seconds = Sku(p, grid, 0, &r);
  std::FILE* points = std::fopen((dir / "points.csv").c_str(), "w");
  std::fprintf(points, "x,y,z\n");
  for (int k = 0; k < n; ++k) std::fprintf(points, "%.9g,%.9g,%.9g\n", p.x[k], p.y[k], p.z[k]);
  std::fclose(points);
  std::FILE* out = std::fopen((dir / "grid.csv").c_str(), "w");
  std::fprintf(out, "x,y,prediction,variance\n");
  for (int j = 0; j < grid; ++j)
    for (int i = 0; i < grid; ++i) {
      const std::size_t k = i + static_cast<std::size_t>(j) * grid;
      std::fprintf(out, "%.9g,%.9g,%.9g,%.9g\n", static_cast<float>(i) * r.dx + kXMin,
                   static_cast<float>(j) * r.dx + kYMin, r.prediction[k], r.variance[k]);
    }
  std::fclose(out);
  std::FILE* model = std::fopen((dir / "model.txt").c_str(), "w");
  // The fitted spherical model (left in CurrentModel by the call; entries 1
  // and 2 of the parameters then hold the range of the predictions):
  // nugget c0, partial sill c1, range a.
  std::fprintf(model, "c0 %.9g\nc1 %.9g\na %.9g\nnx %d\nny %d\nxmin %.9g\nymin %.9g\n"
               "step %.9g\nthreads %d\nsku_seconds %.6f\n",
               kriging::CurrentModel().c0, kriging::CurrentModel().c1, kriging::CurrentModel().a,
               grid, grid, kXMin, kYMin, r.dx,
               kriging::WorkerCount(), seconds);
  std::fclose(model);
  std::printf("SKU, n = %d, %d x %d grid: %.3f s (%d threads)\n", n, grid, grid, seconds,
              kriging::WorkerCount());
  return 0;
}

// KrigeGrid-like call on a g x g grid over the square; allHoles: only the
// assembly and the factorization.
double Grid(bool reference, const Points& p, int g, bool allHoles) {
  std::vector<float> prediction(static_cast<std::size_t>(g) * g, allHoles ? -10000.0f : 0.0f),
      variance(prediction.size());
  float range[2];
  const float step = kSide / 99.0f;  // the 100 x 100 spacing
  auto krige = reference ? &kriging::KrigeGridReference : &kriging::KrigeGrid;
  const auto start = std::chrono::steady_clock::now();
  krige(static_cast<int>(p.x.size()), p.z.data(), p.x.data(), p.y.data(), 1, &kriging::DriftTerm,
        &kriging::SemivariogramOfLag, 0, 0, g, g, kXMin, kYMin, step, step, g, prediction.data(),
        variance.data(), -10000.0f, range);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Textbook Cholesky inverse in double (column algorithms, no blocking): the
// yardstick of the inverse row.
void TextbookInverse(int n, std::vector<double>& r) {
  auto R = [&](int i, int j) -> double& { return r[i + static_cast<std::size_t>(j) * n]; };
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      double s = R(i, j);
      for (int k = 0; k < i; ++k) s -= R(k, i) * R(k, j);
      R(i, j) = i < j ? s / R(i, i) : std::sqrt(s);
    }
  }
  for (int j = 0; j < n; ++j) {
    for (int k = 0; k < j; ++k) {
      const double t = R(k, j);
      for (int i = 0; i < k; ++i) R(i, j) += R(i, k) * t;
      R(k, j) = R(k, k) * t;
    }
    R(j, j) = 1.0 / R(j, j);
    for (int i = 0; i < j; ++i) R(i, j) *= -R(j, j);
  }
  std::vector<double> column(n);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      double s = 0;
      for (int k = j; k < n; ++k) s += R(i, k) * R(j, k);
      column[i] = s;
    }
    for (int i = 0; i <= j; ++i) R(i, j) = column[i];
  }
}

double ClockGHz() {
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);)
    if (line.rfind("cpu MHz", 0) == 0) return std::atof(line.substr(line.find(':') + 1).c_str()) / 1e3;
  return 0.0;
}

void Row(const char* what, double before, double after) {
  std::printf("%-44s %10.3f %10.3f %9.1fx\n", what, before, after, before / after);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/kriging_speed_bench_XXXXXX";
  const std::filesystem::path scratch = mkdtemp(pattern);
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(scratch);

  if (argc > 2 && std::strcmp(argv[1], "export") == 0) {
    const std::filesystem::path dir = std::filesystem::absolute(home / argv[2]);
    const int status =
        Export(dir, argc > 3 ? std::atoi(argv[3]) : 2048, argc > 4 ? std::atoi(argv[4]) : 100);
    std::filesystem::current_path(home);
    std::filesystem::remove_all(scratch);
    return status;
  }
  if (argc > 1 && std::strcmp(argv[1], "big") == 0) {
    const int n = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int degree = argc > 3 ? std::atoi(argv[3]) : 0;
    const double seconds = Sku(RandomPoints(n, 777), 100, degree);
    std::printf("SKU, n = %d, 100 x 100 grid, drift of degree %d: %.2f s with %d threads\n", n,
                degree, seconds, kriging::WorkerCount());
    std::filesystem::current_path(home);
    std::filesystem::remove_all(scratch);
    return 0;
  }

  const int cores = kriging::WorkerCount();
  const double ghz = ClockGHz();
  const double peak = ghz * (kriging::UsesAvx2Fma() ? 32.0 : 8.0) * cores;  // GFLOP/s
  std::printf("Wall-clock seconds, best of 2; %d threads; %s; clock %.2f GHz, single-precision "
              "peak about %.0f GFLOP/s\n\n",
              cores, kriging::UsesAvx2Fma() ? "AVX2+FMA" : "portable kernels", ghz, peak);
  std::printf("%-44s %10s %10s %10s\n", "", "before", "after", "ratio");

  const Points p = RandomPoints(2048, 2048);
  std::FILE* log = std::fopen("phases.log", "w");
  kriging::OutputUnit(-2, log);
  kriging::OutputUnit(-3, log);
  kriging::SetModel(1, 0.05f, 0.6f, 1500.0f);

  // Factorization of the ordinary kriging system.
  const int order = 2049;
  std::vector<float> assembled(static_cast<std::size_t>(order) * order, 0.0f);
  for (int j = 0; j < 2048; ++j) {
    for (int i = 0; i <= j; ++i)
      assembled[i + static_cast<std::size_t>(j) * order] =
          kriging::SemivariogramOfLag(p.x[i] - p.x[j], p.y[i] - p.y[j]);
    assembled[j + static_cast<std::size_t>(2048) * order] = 1.0f;
  }
  std::vector<std::int32_t> pivots(order);
  std::vector<float> factor;
  const double unblocked = BestSeconds(2, [&] {
    factor = assembled;
    kriging::BunchKaufmanFactorInPlace(order, factor.data(), order, pivots.data());
  });
  const double blocked = BestSeconds(2, [&] {
    factor = assembled;
    kriging::BlockedBunchKaufmanFactorInPlace(order, factor.data(), order, pivots.data(), cores);
  });
  Row("factorization, N = 2049", unblocked, blocked);

  // Grid kriging: the reference on 10 x 10 nodes, scaled.
  const double setupReference = BestSeconds(2, [&] { Grid(true, p, 100, true); });
  const double sample = BestSeconds(1, [&] { Grid(true, p, 10, false); });
  const double reference = setupReference + (sample - setupReference) * 100.0;
  double fast = 1e300, fastProcessor = 0;
  for (int r = 0; r < 2; ++r) {
    const std::clock_t start = std::clock();
    const double seconds = Grid(false, p, 100, false);
    if (seconds < fast) {
      fast = seconds;
      fastProcessor = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    }
  }
  const double setupFast = BestSeconds(2, [&] { Grid(false, p, 100, true); });
  Row("KrigeGrid, n = 2048, 100 x 100", reference, fast);

  // Inverse of the covariance matrix of the trend iteration.
  const int n = 2048;
  std::vector<float> covariance(static_cast<std::size_t>(n) * n, 0.0f);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i)
      covariance[i + static_cast<std::size_t>(j) * n] =
          0.65f - kriging::SemivariogramOfLag(p.x[i] - p.x[j], p.y[i] - p.y[j]);
  std::vector<double> work;
  const double textbook = BestSeconds(1, [&] {
    work.assign(static_cast<std::size_t>(n) * n, 0.0);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i <= j; ++i) work[i + static_cast<std::size_t>(j) * n] = covariance[i + static_cast<std::size_t>(j) * n];
    TextbookInverse(n, work);
  });
  std::vector<float> inverse(covariance.size());
  const double blockedInverse = BestSeconds(2, [&] {
    kriging::PositiveDefiniteInverse(n, covariance.data(), n, inverse.data(), n);
  });
  Row("positive definite inverse, n = 2048", textbook, blockedInverse);

  // Whole SKU calls: one thread against all threads.
  kriging::OutputUnit(-2, stdout);
  kriging::OutputUnit(-3, stderr);
  std::fclose(log);
  SetThreads(1);
  const double skuOne = Sku(p, 100, 0);
  const double driftOne = Sku(p, 100, 2);
  SetThreads(0);
  const double skuAll = std::min(Sku(p, 100, 0), Sku(p, 100, 0));
  const double driftAll = Sku(p, 100, 2);
  std::printf("\n%-44s %10s %10s %10s\n", "", "1 thread", "all", "ratio");
  Row("SKU, n = 2048, 100 x 100, ordinary", skuOne, skuAll);
  Row("SKU, n = 2048, 100 x 100, quadratic, 5 it.", driftOne, driftAll);

  const double factorFlops = 2.0 * order * double(order) * order / 3.0;
  const double nodeFlops = 1e4 * double(order) * order;  // N^2/2 multiply-adds per node
  std::printf("\nBlocked factorization %.1f GFLOP/s; factorization + node solves %.1f GFLOP in "
              "%.3f s = %.1f GFLOP/s, %.0f %% of the estimated peak\n",
              factorFlops / blocked / 1e9, (factorFlops + nodeFlops) / 1e9, fast,
              (factorFlops + nodeFlops) / fast / 1e9,
              100.0 * (factorFlops + nodeFlops) / fast / 1e9 / peak);
  std::printf("(KrigeGrid: assembly and factorization %.3f s, nodes %.3f s)\n", setupFast,
              fast - setupFast);
  // On a shared machine the wall clock counts the time other programs hold
  // the cores; per processor-second the rate is the kernels' own.
  std::printf("Per processor-second: %.1f GFLOP/s per core, %.0f %% of one core's peak of %.0f "
              "GFLOP/s (processor time %.3f s)\n",
              (factorFlops + nodeFlops) / fastProcessor / 1e9,
              100.0 * (factorFlops + nodeFlops) / fastProcessor / 1e9 / (peak / cores),
              peak / cores, fastProcessor);

  std::filesystem::current_path(home);
  std::filesystem::remove_all(scratch);
  return 0;
}
