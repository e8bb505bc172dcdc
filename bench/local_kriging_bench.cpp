// Speed and memory of local-neighbourhood kriging on large data sets.
//
//   local_kriging_bench            10^5 points, 200 x 200 grid, 32 neighbours,
//                                  ordinary kriging with a given model
//   local_kriging_bench big [n] [grid] [sample]
//                                  the whole local run for n points (default
//                                  10^6) on a grid x grid grid (default 1000):
//                                  automatic lag classes (from 4000 points of
//                                  the subsample) and the empirical
//                                  semivariogram on a seeded subsample of
//                                  `sample` points (default 20000; 0 = every
//                                  datum), the model fit, 32 neighbours;
//                                  prints each phase and the peak memory
//   local_kriging_bench export DIR [n] [grid] [neighbours]
//                                  the first case (best of 3) with its inputs
//                                  and outputs written to DIR for compare_gstat.sh:
//                                  points.csv, grid.csv, model.txt
// Wall-clock seconds; threads: SORVAN_THREADS or every hardware thread.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lag_classes.h"
#include "local_kriging.h"
#include "local_run.h"
#include "numerics/error_service.h"
#include "numerics/thread_pool.h"
#include "pair_semivariogram.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of the whole process (every thread): on a loaded machine
// the wall-clock time says more about the other programs than about this one.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Points {
  std::vector<double> x, y, z;
  int size() const { return static_cast<int>(x.size()); }
};

// A smooth field with structure at a few hundred units and some noise, on a
// side x side square (coordinates rounded to float so that every program
// reading the exported text sees the same numbers).
Points Field(int n, double side, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, side);
  std::normal_distribution<double> noise(0, 0.2);
  Points p;
  p.x.reserve(static_cast<std::size_t>(n)), p.y.reserve(static_cast<std::size_t>(n)),
      p.z.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double x = static_cast<float>(u(rng)), y = static_cast<float>(u(rng));
    const double z = std::sin(x / 300) + std::cos(y / 450) + 0.5 * std::sin((x + y) / 170);
    p.x.push_back(x), p.y.push_back(y), p.z.push_back(static_cast<float>(z + noise(rng)));
  }
  return p;
}

kriging::LocalKrigingInput Input(const Points& p, int grid, double side, int neighbours) {
  kriging::LocalKrigingInput in;
  in.n = p.size(), in.x = p.x.data(), in.y = p.y.data(), in.z = p.z.data();
  in.modelCode = 1, in.c0 = 0.04, in.c1 = 1.0, in.a = 900;
  in.nx = in.ny = in.gridRows = grid;
  in.xMin = in.yMin = 0, in.dx = in.dy = side / (grid - 1);
  in.neighbourhood.maxPoints = neighbours;
  return in;
}

struct Run {
  std::vector<float> prediction, variance;
  kriging::LocalKrigingSummary summary;
  double seconds = 0, cpuSeconds = 0;
};

Run Krige(const kriging::LocalKrigingInput& in) {
  Run r;
  const std::size_t size = static_cast<std::size_t>(in.nx) * static_cast<std::size_t>(in.ny);
  r.prediction.assign(size, 0.0f), r.variance.assign(size, 0.0f);
  const std::string problem = kriging::CheckLocalKriging(in);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::exit(1);
  }
  const Clock::time_point start = Clock::now();
  const double cpu = CpuSeconds();
  r.summary = kriging::KrigeGridLocal(in, r.prediction.data(), r.variance.data());
  r.seconds = Seconds(start);
  r.cpuSeconds = CpuSeconds() - cpu;
  return r;
}

void PrintRun(const char* label, const kriging::LocalKrigingInput& in, const Run& r) {
  std::printf("%-34s n = %d, %d x %d nodes, N = %d: %.3f s (processor %.3f s, %.2f us/node), "
              "%lld holes, %lld systems reused\n",
              label, in.n, in.nx, in.ny, in.neighbourhood.maxPoints, r.seconds, r.cpuSeconds,
              1e6 * r.cpuSeconds / (static_cast<double>(in.nx) * in.ny), r.summary.Holes(),
              r.summary.reusedSystems);
}

int Default() {
  const Points p = Field(100000, 10000, 7);
  const kriging::LocalKrigingInput in = Input(p, 200, 10000, 32);
  Run best;
  for (int repeat = 0; repeat < 3; ++repeat) {
    Run r = Krige(in);
    if (repeat == 0 || r.seconds < best.seconds) best = std::move(r);
  }
  std::printf("threads %d\n", kriging::WorkerCount());
  PrintRun("local ordinary kriging (best of 3)", in, best);
  std::printf("peak memory %.0f MB\n", PeakMegabytes());
  return 0;
}

int Big(int n, int grid, int sample) {
  std::FILE* log = std::fopen("/dev/null", "w");
  kriging::OutputUnit(-2, log);
  const double side = 10000;
  Clock::time_point start = Clock::now();
  const Clock::time_point total = start;
  const Points p = Field(n, side, 11);
  std::printf("threads %d\n", kriging::WorkerCount());
  std::printf("data generated              %8.3f s  (%d points)\n", Seconds(start), n);

  // Stage I: lag classes from the subsample, its pairs, the fit.
  start = Clock::now();
  // As the local run does: the automatic classes look at every pair of at
  // most kLargeDataPoints points of the subsample.
  const std::vector<int> sampled = kriging::SubsampleIndices(n, sample, 1);
  std::vector<int> chosen;
  for (int k : kriging::SubsampleIndices(static_cast<int>(sampled.size()), kriging::kLargeDataPoints, 1))
    chosen.push_back(sampled[static_cast<std::size_t>(k)]);
  std::vector<float> fx, fy, fz;
  for (int i : chosen) fx.push_back(static_cast<float>(p.x[static_cast<std::size_t>(i)])),
      fy.push_back(static_cast<float>(p.y[static_cast<std::size_t>(i)])),
      fz.push_back(static_cast<float>(p.z[static_cast<std::size_t>(i)]));
  float firstLag = 0, lagWidth = 0;
  std::int32_t lagCount = 0, perClass = -1;
  kriging::ChooseLagParameters(static_cast<int>(fx.size()), fz.data(), fx.data(), fy.data(),
                               firstLag, lagWidth, lagCount, perClass);
  lagCount = std::min<std::int32_t>(lagCount, kriging::kMaxLagClasses);
  std::printf("lag classes                 %8.3f s  (first %g, width %g, %d classes)\n",
              Seconds(start), firstLag, lagWidth, lagCount);
  start = Clock::now();
  kriging::PairSemivariogramOptions o;
  o.firstLag = firstLag, o.lagWidth = lagWidth, o.lagCount = lagCount;
  o.sampleSize = sample, o.seed = 1;
  const kriging::PairSemivariogram sv =
      kriging::EstimatePairSemivariogram(n, p.x.data(), p.y.data(), p.z.data(), o);
  std::printf("empirical semivariogram     %8.3f s  (%lld pairs)\n", Seconds(start), sv.pairs);
  std::printf("%s\n", kriging::SubsampleLogLine(sv.pointsUsed, n, 1).c_str());
  start = Clock::now();
  float params[10] = {-1, -1, -1, 0, -1, 0, 0, 0, 0, 0};
  std::int32_t iterations = 500;
  const int fitCount = std::min(lagCount / 2, kriging::kFitCapacity);
  kriging::FitVariogramModel(1, sv.classical.data(), sv.meanDistance.data(), sv.count.data(),
                             lagCount, fitCount, 15, params, iterations, 1);
  std::printf("model fit                   %8.3f s  (spherical c0 %g, c1 %g, a %g)\n",
              Seconds(start), params[0], params[1], params[2]);

  // Stage II: the grid.
  kriging::LocalKrigingInput in = Input(p, grid, side, 32);
  in.c0 = params[0], in.c1 = params[1], in.a = params[2];
  const Run r = Krige(in);
  PrintRun("local kriging", in, r);
  std::printf("whole run                   %8.3f s, peak memory %.0f MB\n", Seconds(total),
              PeakMegabytes());
  return 0;
}

int Export(const std::filesystem::path& dir, int n, int grid, int neighbours) {
  const Points p = Field(n, 10000, 7);
  const kriging::LocalKrigingInput in = Input(p, grid, 10000, neighbours);
  Run r;
  for (int repeat = 0; repeat < 3; ++repeat) {
    Run next = Krige(in);
    if (repeat == 0 || next.seconds < r.seconds) r = std::move(next);
  }
  {
    std::ofstream points(dir / "points.csv");
    points.precision(9);
    points << "x,y,z\n";
    for (int i = 0; i < n; ++i) points << p.x[i] << ',' << p.y[i] << ',' << p.z[i] << '\n';
  }
  {
    std::ofstream nodes(dir / "grid.csv");
    nodes.precision(9);
    nodes << "x,y,prediction,variance\n";
    for (int j = 0; j < grid; ++j)
      for (int i = 0; i < grid; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * grid;
        nodes << in.xMin + i * in.dx << ',' << in.yMin + j * in.dy << ',' << r.prediction[at] << ','
              << r.variance[at] << '\n';
      }
  }
  std::ofstream model(dir / "model.txt");
  model.precision(9);
  model << "c0 " << in.c0 << "\nc1 " << in.c1 << "\na " << in.a << "\nneighbours " << neighbours
        << "\nsorvan_seconds " << r.seconds << "\nsorvan_processor_seconds " << r.cpuSeconds
        << "\nthreads " << kriging::WorkerCount() << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  auto arg = [&](int k, int fallback) { return argc > k ? std::atoi(argv[k]) : fallback; };
  if (mode.empty()) return Default();
  if (mode == "big") return Big(arg(2, 1000000), arg(3, 1000), arg(4, 20000));
  if (mode == "export" && argc > 2) return Export(argv[2], arg(3, 100000), arg(4, 200), arg(5, 32));
  std::fprintf(stderr, "usage: %s [big [n] [grid] [sample] | export DIR [n] [grid] [neighbours]]\n",
               argv[0]);
  return 2;
}
