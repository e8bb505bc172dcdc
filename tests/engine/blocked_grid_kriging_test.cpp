// Grid kriging in blocks of nodes against the node-by-node path it replaced
// (KrigeGridReference): the same predictions and variances to rounding, for
// drift degrees 0..3, with hole nodes, on the meuse data and on a larger
// random set whose system spans several panels; and the same bits whatever
// the number of threads.
#include "blocked_grid_kriging.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "drift_terms.h"
#include "grid_kriging.h"
#include "kriging_reference.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using reference::Data;

constexpr float kHole = -10000.0f;

// Small matrices are shared over threads too (the default leaves loops of
// less than a few million operations to one thread).
const bool kShareSmallLoops = setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1) == 0;

struct Surface {
  std::vector<float> prediction, variance;
  float range[2];
};

// Grid of nx x ny nodes over the data's box, leading dimension nx + 2, with
// every seventh node (and the first node) a hole.
struct GridSpec {
  int nx, ny;
  float xMin, yMin, dx, dy;
  int rows() const { return nx + 2; }
};

GridSpec GridOver(const Data& d, int nx, int ny) {
  float x0 = d.x[0], x1 = d.x[0], y0 = d.y[0], y1 = d.y[0];
  for (int i = 0; i < d.size(); ++i) {
    x0 = std::min(x0, d.x[i]), x1 = std::max(x1, d.x[i]);
    y0 = std::min(y0, d.y[i]), y1 = std::max(y1, d.y[i]);
  }
  return {nx, ny, x0, y0, (x1 - x0) / (nx - 1), (y1 - y0) / (ny - 1)};
}

using Krige = void (*)(int, const float*, const float*, const float*, int, DriftFunction,
                       LagVariogram, int, int, int, int, float, float, float, float, int, float*,
                       float*, float, float*);

Surface KrigeSurface(Krige krige, const Data& d, int terms, const GridSpec& g) {
  Surface s;
  const std::size_t size = static_cast<std::size_t>(g.rows()) * g.ny;
  s.prediction.assign(size, 1.0f);
  s.variance.assign(size, 0.0f);
  for (std::size_t k = 0; k < size; k += 7) s.prediction[k] = kHole;
  SetDriftFrame(DriftFrameOfData(d.size(), d.x.data(), d.y.data()));
  krige(d.size(), d.z.data(), d.x.data(), d.y.data(), terms, &DriftTerm, &SemivariogramOfLag, 0, 0,
        g.nx, g.ny, g.xMin, g.yMin, g.dx, g.dy, g.rows(), s.prediction.data(), s.variance.data(),
        kHole, s.range);
  SetDriftFrame(DriftFrame{});
  return s;
}

double Spread(const std::vector<float>& v) {
  double mean = 0, sq = 0;
  int count = 0;
  for (float f : v)
    if (f != kHole) mean += f, ++count;
  mean /= count;
  for (float f : v)
    if (f != kHole) sq += (f - mean) * (f - mean);
  return std::sqrt(sq / count);
}

// The blocked path equals the node-by-node path to 1e-5 of the spread of the
// predictions, beyond the node-by-node path's own rounding error (measured
// against the independent double-precision solve, which both must approach).
void ExpectSameToRounding(const Surface& fast, const Surface& slow, const GridSpec& g,
                          const Data& d, const reference::Model& model, int terms) {
  const reference::Kriging exact(d, model, terms);
  const double tolerance = 1e-5 * Spread(slow.prediction);
  const double varianceTolerance = 1e-5 * Spread(slow.variance);
  int kriged = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.rows(); ++i) {
      const std::size_t k = i + static_cast<std::size_t>(j) * g.rows();
      if (i >= g.nx) {  // rows beyond nx are not nodes: untouched
        EXPECT_EQ(fast.prediction[k], slow.prediction[k]);
        EXPECT_EQ(fast.variance[k], 0.0f);
        continue;
      }
      if (slow.prediction[k] == kHole) {
        EXPECT_EQ(fast.prediction[k], kHole);
        EXPECT_EQ(fast.variance[k], kHole);
        continue;
      }
      ++kriged;
      const auto [value, variance] =
          exact.At(static_cast<float>(i) * g.dx + g.xMin, static_cast<float>(j) * g.dy + g.yMin);
      const double slowError = std::fabs(slow.prediction[k] - value);
      const double slowVarianceError = std::fabs(slow.variance[k] - variance);
      ASSERT_NEAR(fast.prediction[k], slow.prediction[k], tolerance + slowError)
          << "node " << i << "," << j << " exact " << value;
      // Variances far out of the data (corners under a cubic drift) are two
      // orders above the rest; there the rounding of either path is relative.
      ASSERT_NEAR(fast.variance[k], slow.variance[k],
                  varianceTolerance + 1e-5 * std::fabs(variance) + slowVarianceError)
          << "node " << i << "," << j << " exact " << variance;
      EXPECT_NEAR(fast.prediction[k], value, tolerance) << "node " << i << "," << j;
    }
  EXPECT_GT(kriged, 100);
  EXPECT_NEAR(fast.range[0], slow.range[0], 10 * tolerance);
  EXPECT_NEAR(fast.range[1], slow.range[1], 10 * tolerance);
}

class ThreadSetting {
 public:
  explicit ThreadSetting(int threads) { setenv("SORVAN_THREADS", std::to_string(threads).c_str(), 1); }
  ~ThreadSetting() { unsetenv("SORVAN_THREADS"); }
};

Data RandomData(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> u(0.0f, 3000.0f);
  std::normal_distribution<float> noise(0.0f, 0.2f);
  Data d;
  for (int k = 0; k < n; ++k) {
    const float a = u(gen), b = u(gen);
    d.x.push_back(180000.0f + a);
    d.y.push_back(330000.0f + b);
    d.z.push_back(6.0f + std::sin(a / 700.0f) + 0.4f * std::cos(b / 900.0f) + 3e-4f * a +
                  noise(gen));
  }
  return d;
}

class BlockedGridKriging : public ::testing::TestWithParam<int> {};

TEST_P(BlockedGridKriging, MeuseEqualsNodeByNodePath) {
  const int degree = GetParam();
  const Data d = reference::Meuse();
  const reference::Model model{1, 0.05, 0.59, 900};
  SetModel(1, 0.05f, 0.59f, 900.0f);
  const GridSpec g = GridOver(d, 23, 19);  // 437 nodes: blocks and a partial block
  const Surface slow = KrigeSurface(&KrigeGridReference, d, DriftTermCount(degree), g);
  const Surface fast = KrigeSurface(&KrigeGrid, d, DriftTermCount(degree), g);
  ExpectSameToRounding(fast, slow, g, d, model, DriftTermCount(degree));
}

TEST_P(BlockedGridKriging, SeveralPanelsEqualNodeByNodePath) {
  const int degree = GetParam();
  const Data d = RandomData(300, 4242u + degree);  // order 301..310: three panels
  const reference::Model model{2, 0.03, 0.5, 400};
  SetModel(2, 0.03f, 0.5f, 400.0f);
  const GridSpec g = GridOver(d, 17, 13);
  const Surface slow = KrigeSurface(&KrigeGridReference, d, DriftTermCount(degree), g);
  const Surface fast = KrigeSurface(&KrigeGrid, d, DriftTermCount(degree), g);
  ExpectSameToRounding(fast, slow, g, d, model, DriftTermCount(degree));
}

INSTANTIATE_TEST_SUITE_P(DriftDegrees, BlockedGridKriging, ::testing::Values(0, 1, 2, 3));

TEST(BlockedGridKriging, SameBitsForOneTwoAndThreeThreads) {
  const Data d = RandomData(150, 99u);
  SetModel(1, 0.02f, 0.6f, 800.0f);
  const GridSpec g = GridOver(d, 31, 11);  // 341 nodes: four blocks
  std::vector<Surface> runs;
  for (int threads : {1, 2, 3}) {
    ThreadSetting setting(threads);
    runs.push_back(KrigeSurface(&KrigeGrid, d, 3, g));
  }
  for (int r = 1; r < 3; ++r) {
    ASSERT_EQ(std::memcmp(runs[r].prediction.data(), runs[0].prediction.data(),
                          runs[0].prediction.size() * sizeof(float)), 0);
    ASSERT_EQ(std::memcmp(runs[r].variance.data(), runs[0].variance.data(),
                          runs[0].variance.size() * sizeof(float)), 0);
  }
}

// Over many panels (order 1201: nineteen) the blocked variances stay about as
// close to the double-precision solve as the node-by-node float solve's (both
// within a millionth of the sill here; the blocked one, with its products in
// another order, up to about twice as far): its rounding does not build up
// across the panels.
TEST(BlockedGridKriging, ManyPanelsKeepSinglePrecisionAccuracy) {
  const Data d = RandomData(1200, 17u);
  const reference::Model model{1, 0.02, 0.6, 700};
  SetModel(1, 0.02f, 0.6f, 700.0f);
  const GridSpec g = GridOver(d, 12, 10);
  const Surface slow = KrigeSurface(&KrigeGridReference, d, 1, g);
  const Surface fast = KrigeSurface(&KrigeGrid, d, 1, g);
  const reference::Kriging exact(d, model, 1);
  double slowWorst = 0, fastWorst = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const std::size_t k = i + static_cast<std::size_t>(j) * g.rows();
      if (slow.prediction[k] == kHole) continue;
      const double variance =
          exact.At(static_cast<float>(i) * g.dx + g.xMin, static_cast<float>(j) * g.dy + g.yMin)
              .second;
      slowWorst = std::max(slowWorst, std::fabs(slow.variance[k] - variance));
      fastWorst = std::max(fastWorst, std::fabs(fast.variance[k] - variance));
    }
  EXPECT_LE(fastWorst, 2.5 * slowWorst) << "node-by-node " << slowWorst;
}

// A node on a datum gets the datum's value and a variance of zero, to
// rounding: the right-hand side is then that datum's column of the matrix.
TEST(BlockedGridKriging, NodeOnDatumReproducesIt) {
  Data d = RandomData(140, 5u);
  SetModel(1, 0.0f, 0.6f, 900.0f);
  // Put datum 17 exactly on node (3, 2) of the grid.
  const GridSpec g = GridOver(d, 12, 9);
  d.x[17] = 3.0f * g.dx + g.xMin;
  d.y[17] = 2.0f * g.dy + g.yMin;
  const Surface s = KrigeSurface(&KrigeGrid, d, 1, g);
  const std::size_t node = 3 + 2 * static_cast<std::size_t>(g.rows());
  ASSERT_NE(s.prediction[node], kHole);
  EXPECT_NEAR(s.prediction[node], d.z[17], 1e-4);
  EXPECT_NEAR(s.variance[node], 0.0f, 1e-4);
}

}  // namespace
}  // namespace kriging
