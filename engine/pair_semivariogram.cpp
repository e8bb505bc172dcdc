// Tree-limited pair counting for the empirical semivariogram.
#include "pair_semivariogram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>

#include "kd_tree.h"
#include "lag_classes.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

constexpr int kPointsPerBlock = 2048;

struct ClassSums {
  long long count = 0;
  double halfSquares = 0, roots = 0, distances = 0;
};

}  // namespace

std::string CheckPairSemivariogram(int n, const PairSemivariogramOptions& o) {
  const std::string head = "Semivariograma: ";
  if (n < 2) return head + "hacen falta al menos 2 datos.";
  if (o.lagCount < 1 || o.lagCount > kMaxLagClasses)
    return head + "el número de saltos (" + std::to_string(o.lagCount) + ") debe estar entre 1 y " +
           std::to_string(kMaxLagClasses) + ".";
  if (!(o.lagWidth > 0) || !std::isfinite(o.lagWidth) || !std::isfinite(o.firstLag))
    return head + "la longitud de los saltos debe ser un número mayor que 0.";
  if (!(o.maxPairDistance > 0))
    return head + "la distancia máxima de los pares debe ser mayor que 0.";
  if (o.sampleSize < 0)
    return head + "el tamaño de la submuestra (" + std::to_string(o.sampleSize) +
           ") no puede ser negativo.";
  if (o.sampleSize == 1) return head + "una submuestra necesita al menos 2 datos.";
  return {};
}

std::vector<int> SubsampleIndices(int n, int sampleSize, std::uint64_t seed) {
  std::vector<int> all(static_cast<std::size_t>(std::max(n, 0)));
  std::iota(all.begin(), all.end(), 0);
  if (sampleSize <= 0 || sampleSize >= n) return all;
  // Partial Fisher-Yates shuffle; the modulo keeps the draw the same on every
  // platform (the standard distributions are not specified bit for bit).
  std::mt19937_64 rng(seed);
  for (int i = 0; i < sampleSize; ++i) {
    const std::uint64_t span = static_cast<std::uint64_t>(n - i);
    const int j = i + static_cast<int>(rng() % span);
    std::swap(all[static_cast<std::size_t>(i)], all[static_cast<std::size_t>(j)]);
  }
  all.resize(static_cast<std::size_t>(sampleSize));
  std::sort(all.begin(), all.end());
  return all;
}

std::string SubsampleLogLine(int used, int n, std::uint64_t seed) {
  char line[160];
  std::snprintf(line, sizeof line,
                "    Submuestra aleatoria para el semivariograma: %d de %d datos (semilla %llu)",
                used, n, static_cast<unsigned long long>(seed));
  return line;
}

PairSemivariogram EstimatePairSemivariogram(int n, const double* x, const double* y,
                                            const double* z, const PairSemivariogramOptions& o) {
  PairSemivariogram result;
  const int classes = o.lagCount;
  const std::vector<int> chosen = SubsampleIndices(n, o.sampleSize, o.seed);
  const int m = static_cast<int>(chosen.size());
  result.pointsUsed = m;
  std::vector<double> sx(static_cast<std::size_t>(m)), sy(sx.size()), sz(sx.size());
  for (int i = 0; i < m; ++i) {
    const int d = chosen[static_cast<std::size_t>(i)];
    sx[static_cast<std::size_t>(i)] = x[d], sy[static_cast<std::size_t>(i)] = y[d],
    sz[static_cast<std::size_t>(i)] = z[d];
  }
  const KdTree tree(m, sx.data(), sy.data());
  // A pair at the upper limit of the last class already falls into the next one.
  const double reach = std::min(o.firstLag + (classes - 0.5) * o.lagWidth, o.maxPairDistance);
  const double reach2 = reach * reach;

  const int blocks = (m + kPointsPerBlock - 1) / kPointsPerBlock;
  std::vector<ClassSums> sums(static_cast<std::size_t>(blocks) * static_cast<std::size_t>(classes));
  // When the reach is half the data's bounding box or more, most pairs are
  // within it: a plain loop over the later points, with the tree's distance
  // test, visits the same pairs as the tree, each once and without its walk.
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  if (m > 0) {
    const auto [x0, x1] = std::minmax_element(sx.begin(), sx.end());
    const auto [y0, y1] = std::minmax_element(sy.begin(), sy.end());
    minX = *x0, maxX = *x1, minY = *y0, maxY = *y1;
  }
  const bool mostPairs =
      (maxX - minX) * (maxX - minX) + (maxY - minY) * (maxY - minY) <= 4 * reach2;
  const int workers = WorkersFor(static_cast<double>(m) * 200, WorkerCount());
  std::vector<std::vector<int>> stacks(static_cast<std::size_t>(std::max(workers, 1)));
  ParallelFor(blocks, workers, [&](int block, int worker) {
    ClassSums* own = sums.data() + static_cast<std::size_t>(block) * static_cast<std::size_t>(classes);
    const int end = std::min(m, (block + 1) * kPointsPerBlock);
    for (int i = block * kPointsPerBlock; i < end; ++i) {
      const double xi = sx[static_cast<std::size_t>(i)], yi = sy[static_cast<std::size_t>(i)];
      const double zi = sz[static_cast<std::size_t>(i)];
      const auto visit = [&](int j, double d2) {
        if (j <= i) return;  // each pair once
        const double d = std::sqrt(d2);
        const double position = (d - o.firstLag) / o.lagWidth + 0.5;
        const int k = position < 1 ? 1 : static_cast<int>(position) + 1;
        if (k > classes || d > o.maxPairDistance) return;
        const double dz = zi - sz[static_cast<std::size_t>(j)];
        ClassSums& c = own[k - 1];
        c.count += 1;
        c.halfSquares += 0.5 * dz * dz;
        c.roots += std::sqrt(std::fabs(dz));
        c.distances += d;
      };
      if (!mostPairs) {
        tree.WithinDistance(xi, yi, reach2, visit, stacks[static_cast<std::size_t>(worker)]);
        continue;
      }
      for (int j = i + 1; j < m; ++j) {
        const double dx = sx[static_cast<std::size_t>(j)] - xi, dy = sy[static_cast<std::size_t>(j)] - yi;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= reach2) visit(j, d2);  // the tree's test, for rounding at the edge
      }
    }
  });

  result.classical.assign(static_cast<std::size_t>(classes), 0.0f);
  result.robust = result.meanDistance = result.classical;
  result.count.assign(static_cast<std::size_t>(classes), 0);
  for (int k = 0; k < classes; ++k) {
    ClassSums total;
    for (int b = 0; b < blocks; ++b) {
      const ClassSums& c = sums[static_cast<std::size_t>(b) * static_cast<std::size_t>(classes) + static_cast<std::size_t>(k)];
      total.count += c.count, total.halfSquares += c.halfSquares, total.roots += c.roots,
          total.distances += c.distances;
    }
    result.pairs += total.count;
    if (total.count == 0) continue;
    // Counts beyond the int32 of the lag table are capped there (2^31 pairs in
    // one class is far beyond any fit's need for weight).
    result.count[static_cast<std::size_t>(k)] =
        static_cast<std::int32_t>(std::min<long long>(total.count, 2147483647LL));
    const double pairs = static_cast<double>(total.count);
    const double meanRoot = total.roots / pairs;
    result.classical[static_cast<std::size_t>(k)] = static_cast<float>(total.halfSquares / pairs);
    // Cressie-Hawkins: the fourth power of the mean root, bias-corrected.
    result.robust[static_cast<std::size_t>(k)] =
        static_cast<float>(0.5 * meanRoot * meanRoot * meanRoot * meanRoot / (0.457 + 0.494 / pairs));
    result.meanDistance[static_cast<std::size_t>(k)] = static_cast<float>(total.distances / pairs);
  }
  return result;
}

}  // namespace kriging
