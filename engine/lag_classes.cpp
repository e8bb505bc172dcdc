// Lag classes and the classical and robust semivariogram estimators.
#include "lag_classes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "critical_stop.h"
#include "numerics/euclidean_length.h"
#include "numerics/target_clones.h"
#include "numerics/thread_pool.h"
#include "run_context.h"

namespace kriging {
namespace {

// Truncation towards zero of a class or cell position. Positions beyond any
// table (a tiny width, a NaN distance) map to a large index instead of an
// undefined conversion.
int TruncatedIndex(float position) {
  constexpr float kFar = 1 << 30;
  // Clamped to +-kFar (a NaN to +kFar) by selects, so that loops over pairs
  // vectorise.
  return static_cast<int>(position < kFar ? std::max(position, -kFar) : kFar);
}

int AutomaticPairsPerClass(int n) { return n < 26 ? 20 : 30; }

// Upper limit of the last of `classes` regular classes.
float ClassesReach(float firstLag, float lagWidth, int classes) {
  return firstLag + (static_cast<float>(classes) - 0.5f) * lagWidth;
}

// The narrowest width, rounded up to two significant digits, with which
// `classes` regular classes (the first centred on the first lag) take a
// distance `span` beyond the first lag.
float WidthReaching(float span, int classes) {
  const float least = span / (static_cast<float>(classes) - 0.5f);
  const float p = std::pow(10.0f, std::floor(std::log10(least)) - 1);
  float width = std::ceil(least / p) * p;
  while (TruncatedIndex(span / width + 0.5f) + 1 > classes) width += p;
  return width;
}

// The angular and band tests of a directional semivariogram.
class DirectionFilter {
 public:
  DirectionFilter(float angle, float tolerance, float bandWidth)
      : tolerance_(tolerance), band_width_(bandWidth) {
    constexpr float kPi = 3.1415927f;
    cos_tolerance_ = std::cos(tolerance * kPi / 180.0f);
    cos_angle_ = std::cos(angle * kPi / 180.0f);
    sin_angle_ = std::sin(angle * kPi / 180.0f);
  }
  // Both tests always evaluated (no side effects), so that loops over pairs
  // vectorise.
  bool Accepts(float d, float dx, float dy) const {
    const bool angular =
        (tolerance_ < 0) | (cos_tolerance_ * d <= std::abs(cos_angle_ * dx + sin_angle_ * dy));
    const bool band =
        (band_width_ < 0) | (std::abs(cos_angle_ * dy - sin_angle_ * dx) <= band_width_);
    return angular & band;
  }

 private:
  float tolerance_, band_width_, cos_tolerance_, cos_angle_, sin_angle_;
};

// Running sums of one class (or fine cell), each kept in float.
struct PairSums {
  std::int32_t count = 0;
  float halfSquares = 0, roots = 0, distances = 0;
  void AddPair(float d, float dz) { AddTerms(d, 0.5f * dz * dz, std::sqrt(std::abs(dz))); }
  void AddTerms(float d, float halfSquare, float root) {
    count += 1;
    halfSquares += halfSquare;
    roots += root;
    distances += d;
  }
  void Add(const PairSums& other) {
    count += other.count;
    halfSquares += other.halfSquares;
    roots += other.roots;
    distances += other.distances;
  }
};

// Classical: half the mean squared difference. Robust (Cressie-Hawkins): the
// fourth power of the mean root absolute difference, bias-corrected by
// 0.457 + 0.494 / N. An empty class keeps zeros.
// The pairs (i, j), j = i+1..n-1, of one point i: coordinate differences and
// lengths, the lengths computed for the whole row at once.
class PairRow {
 public:
  explicit PairRow(int n)
      : dx_(WorkArray<float>(std::max(n, 1))),
        dy_(WorkArray<float>(std::max(n, 1))),
        d_(WorkArray<float>(std::max(n, 1))),
        squares_(WorkArray<double>(std::max(n, 1))) {}
  void Fill(int i, int n, const float* x, const float* y) {
    first_ = i + 1;
    for (int j = first_; j < n; ++j) dx_[j - first_] = x[i] - x[j], dy_[j - first_] = y[i] - y[j];
    EuclideanLengths(n - first_, dx_.data(), dy_.data(), d_.data());
  }
  // The differences and their squared lengths in double only.
  void FillSquares(int i, int n, const float* x, const float* y) {
    first_ = i + 1;
    for (int j = first_; j < n; ++j) {
      const float dx = x[i] - x[j], dy = y[i] - y[j];
      dx_[j - first_] = dx, dy_[j - first_] = dy;
      squares_[j - first_] = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
    }
  }
  const float& dx(int j) const { return dx_[j - first_]; }
  const float& dy(int j) const { return dy_[j - first_]; }
  const float& d(int j) const { return d_[j - first_]; }
  double square(int j) const { return squares_[j - first_]; }

 private:
  std::vector<float> dx_, dy_, d_;
  std::vector<double> squares_;
  int first_ = 0;
};

// Where the terms of a row's pairs go.
struct RowTermsOut {
  float* distance;
  std::int32_t* classIndex;
  std::uint8_t* accepted;
  float* halfSquare;
  float* root;
};

// The terms of the pairs (i, j) of one row (lengths d, differences dx, dy,
// values zj of the points j): class (every distance below the first class
// falls into class 1), direction test, half squared and root absolute
// difference of z. Vectorised; each lane rounds as the scalar loop does.
SORVAN_WIDE_CLONES void RowTerms(int count, float zi, const float* __restrict zj,
                                 const float* __restrict d, const float* __restrict dx,
                                 const float* __restrict dy, float firstLag, float lagWidth,
                                 DirectionFilter filter, RowTermsOut out) {
  float* __restrict distance = out.distance;
  std::int32_t* __restrict classIndex = out.classIndex;
  std::uint8_t* __restrict accepted = out.accepted;
  float* __restrict halfSquare = out.halfSquare;
  float* __restrict root = out.root;
  for (int e = 0; e < count; ++e) {
    const float dz = zi - zj[e];
    distance[e] = d[e];
    classIndex[e] = std::max(TruncatedIndex((d[e] - firstLag) / lagWidth + 0.5f) + 1, 1);
    accepted[e] = filter.Accepts(d[e], dx[e], dy[e]);
    halfSquare[e] = 0.5f * dz * dz;
    root[e] = std::sqrt(std::abs(dz));
  }
}

void FinishClass(const PairSums& sums, float& classical, float& robust, float& meanDistance,
                 std::int32_t& count) {
  count = sums.count;
  classical = robust = meanDistance = 0;
  if (sums.count == 0) return;
  const float pairs = static_cast<float>(sums.count);
  const float mean_root = sums.roots / pairs;
  classical = sums.halfSquares / pairs;
  robust = 0.5f * (mean_root * mean_root * mean_root * mean_root) / (0.494f / pairs + 0.457f);
  meanDistance = sums.distances / pairs;
}

}  // namespace

LagTable& CurrentLagTable() { return CurrentContext().lags; }

void AccumulateRegularLags(int n, const float* z, const float* x, const float* y, float firstLag,
                           float& lagWidth, int lagCount, float angle, float tolerance,
                           float bandWidth, float* classical, float* robust, float* meanDistance,
                           std::int32_t* count, std::int32_t& maxClassIndex) {
  const DirectionFilter filter(angle, tolerance, bandWidth);
  if (lagWidth <= 0) lagWidth = 2 * firstLag;
  std::vector<PairSums> sums = WorkArray<PairSums>(static_cast<std::size_t>(std::max(lagCount, 0)));
  maxClassIndex = 1;
  // Pairs in blocks of rows, two blocks in flight: while one thread adds up
  // block b in the order of its pairs (so the float sums have the same bits
  // for any thread count), the others work out block b + 1's lengths,
  // classes and terms, and keep, in order, only the pairs that go into a
  // class (no unpredictable branch in the sums).
  const int rowsPerBlock = std::max(1, (1 << 17) / std::max(n, 1));
  const std::size_t rowLength = static_cast<std::size_t>(std::max(n, 1));
  const std::size_t blockPairs = rowLength * rowsPerBlock;
  // (Every term the sums read is written first.)
  struct Terms {
    UnfilledArray<float> distance, halfSquare, root;
    UnfilledArray<std::int32_t> classIndex;
    UnfilledArray<std::uint8_t> accepted;
    std::vector<std::int32_t> kept, largestClass;  // per row
  };
  Terms terms[2];
  for (Terms& t : terms) {
    t.distance = UnfilledWorkArray<float>(blockPairs);
    t.halfSquare = UnfilledWorkArray<float>(blockPairs);
    t.root = UnfilledWorkArray<float>(blockPairs);
    t.classIndex = UnfilledWorkArray<std::int32_t>(blockPairs);
    t.accepted = UnfilledWorkArray<std::uint8_t>(blockPairs);
    t.kept = WorkArray<std::int32_t>(rowsPerBlock);
    t.largestClass = WorkArray<std::int32_t>(rowsPerBlock);
  }
  const int threads = WorkersFor(20.0 * static_cast<double>(n) * n, WorkerCount());
  std::vector<PairRow> rows;
  for (int t = 0; t < threads; ++t) rows.emplace_back(n);
  auto compute = [&](int block, int r, int worker) {
    Terms& t = terms[block % 2];
    const int i = block * rowsPerBlock + r;
    PairRow& row = rows[worker];
    row.Fill(i, n, x, y);
    const std::size_t at = static_cast<std::size_t>(r) * rowLength;
    const int pairs = n - i - 1;
    RowTerms(pairs, z[i], z + i + 1, &row.d(i + 1), &row.dx(i + 1), &row.dy(i + 1), firstLag,
             lagWidth, filter,
             {&t.distance[at], &t.classIndex[at], &t.accepted[at], &t.halfSquare[at], &t.root[at]});
    // The row's largest class over all its pairs, and its pairs in a class
    // moved forward in place (every store lands at or before its load).
    int kept = 0, largest = 1;
    for (std::size_t e = at; e < at + pairs; ++e) {
      const int k = t.classIndex[e];
      largest = std::max(largest, k);
      const std::size_t to = at + kept;
      t.distance[to] = t.distance[e], t.halfSquare[to] = t.halfSquare[e], t.root[to] = t.root[e];
      t.classIndex[to] = k;
      kept += (k <= lagCount) & t.accepted[e];
    }
    t.kept[r] = kept;
    t.largestClass[r] = largest;
  };
  auto accumulate = [&](int block) {
    const Terms& t = terms[block % 2];
    const int first = block * rowsPerBlock, last = std::min(n - 1, first + rowsPerBlock);
    for (int r = 0; r < last - first; ++r) {
      maxClassIndex = std::max(maxClassIndex, t.largestClass[r]);
      const std::size_t at = static_cast<std::size_t>(r) * rowLength;
      for (std::size_t e = at; e < at + t.kept[r]; ++e)
        sums[t.classIndex[e] - 1].AddTerms(t.distance[e], t.halfSquare[e], t.root[e]);
    }
  };
  const int blocks = (std::max(n - 1, 0) + rowsPerBlock - 1) / rowsPerBlock;
  for (int step = 0; step <= blocks; ++step) {
    const int pending = step > 0 ? 1 : 0;
    const int rowsNow =
        step < blocks ? std::min(n - 1, (step + 1) * rowsPerBlock) - step * rowsPerBlock : 0;
    ParallelFor(pending + rowsNow, threads, [&](int item, int worker) {
      if (item < pending)
        accumulate(step - 1);
      else
        compute(step, item - pending, worker);
    });
  }
  for (int k = 0; k < lagCount; ++k)
    FinishClass(sums[k], classical[k], robust[k], meanDistance[k], count[k]);
}

void RegularLagBounds(float firstLag, float lagWidth, int lagCount, float* bounds) {
  for (int i = 1; i <= lagCount + 1; ++i)
    bounds[i - 1] = (static_cast<float>(i) - 1.5f) * lagWidth + firstLag;
}

void ChooseLagParameters(int n, const float*, const float* x, const float* y, float& firstLag,
                         float& lagWidth, std::int32_t& lagCount, std::int32_t& pairsPerClass) {
  if (pairsPerClass < 1) pairsPerClass = AutomaticPairsPerClass(n);
  const std::size_t K = static_cast<std::size_t>(pairsPerClass);

  // The K shortest distances in ascending order, and the longest one: each
  // thread keeps its own over the rows it takes, then the threads' lists are
  // merged (the K smallest values and the largest are the same whichever
  // thread saw which pair). A pair's squared length in double (vectorised)
  // shows whether its length can be among the K shortest so far or near the
  // longest; only then is the length itself worked out. The margin is far
  // wider than the few units in the last place by which the length may
  // differ from the square root.
  constexpr double kBelow = 1 - 1e-5, kAbove = 1 + 1e-5;
  struct Extremes {
    std::vector<float> shortest;
    float longest = 0;
    PairRow row;
  };
  const int threads = WorkersFor(2.0 * static_cast<double>(n) * n, WorkerCount());
  std::vector<Extremes> found;
  for (int t = 0; t < threads; ++t) {
    found.push_back({WorkArray<float>(K), 0.0f, PairRow(n)});
    found.back().shortest.clear();
  }
  ParallelFor(std::max(n - 1, 0), threads, [&](int i, int worker) {
    std::vector<float>& shortest = found[worker].shortest;
    float& longest = found[worker].longest;
    PairRow& row = found[worker].row;
    row.FillSquares(i, n, x, y);
    const double farEnough = kBelow * kBelow * static_cast<double>(longest) * longest;
    const double nearEnough =
        shortest.size() < K
            ? std::numeric_limits<double>::infinity()
            : kAbove * kAbove * static_cast<double>(shortest.back()) * shortest.back();
    for (int j = i + 1; j < n; ++j) {
      // (A NaN square goes on, as its length does nothing below.)
      if (row.square(j) < farEnough && row.square(j) > nearEnough) continue;
      const float d = EuclideanLength(row.dx(j), row.dy(j));
      longest = std::max(longest, d);
      const float last_kept =
          shortest.size() < K ? std::numeric_limits<float>::infinity() : shortest.back();
      if (!(d < last_kept)) continue;
      if (shortest.size() == K) shortest.pop_back();
      shortest.insert(std::lower_bound(shortest.begin(), shortest.end(), d), d);
    }
  });
  std::vector<float> shortest;
  float longest = 0;
  for (const Extremes& f : found) {
    shortest.insert(shortest.end(), f.shortest.begin(), f.shortest.end());
    longest = std::max(longest, f.longest);
  }
  std::sort(shortest.begin(), shortest.end());
  shortest.resize(std::min(shortest.size(), K));
  if (shortest.empty()) {  // fewer than two points: one empty class
    firstLag = lagWidth = 0;
    lagCount = 1;
    return;
  }

  const float d1 = shortest.front(), dK = shortest.back();
  if (d1 == dK) {
    lagWidth = firstLag = d1;
  } else {
    // One significant digit at the order of magnitude of dK.
    const int e = static_cast<int>(std::log10(dK) - 0.4999f);
    const float p = std::pow(10.0f, static_cast<float>(e));
    lagWidth = (std::trunc((dK - d1) / p) + 1) * p;
    firstLag = std::round((d1 + dK) / p) * p / 2;
  }
  // Where the cap would cut the classes short of even half the longest
  // distance (many close pairs over a large extent: the default fit, on the
  // first half of the classes, would see a small corner of the field), wider
  // classes let the capped count reach the longest distance, as the rule
  // means to. A cap that trims only the far half changes nothing.
  if (TruncatedIndex((longest - firstLag) / lagWidth + 0.5f) + 1 > kMaxLagClasses &&
      ClassesReach(firstLag, lagWidth, kMaxLagClasses) < 0.5f * longest)
    lagWidth = WidthReaching(longest - firstLag, kMaxLagClasses);
  lagCount = std::clamp(TruncatedIndex((longest - firstLag) / lagWidth + 0.5f) + 1, 1,
                        kMaxLagClasses);
}

void EstimateVariableLags(int n, const float* z, const float* x, const float* y,
                          std::int32_t& pairsPerClass, float* bounds, int maxClasses, float angle,
                          float tolerance, float bandWidth, float* classical, float* robust,
                          float* meanDistance, std::int32_t* count, std::int32_t& lagCount) {
  const DirectionFilter filter(angle, tolerance, bandWidth);
  if (pairsPerClass < 1) pairsPerClass = AutomaticPairsPerClass(n);
  const int K = pairsPerClass;

  // Fine cells: about as many as there are pairs (at most 5000) over the
  // diagonal of the bounding box, their width rounded up to one digit.
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  if (n > 0) {
    xmin = xmax = x[0];
    ymin = ymax = y[0];
    for (int i = 1; i < n; ++i) {
      xmin = std::min(xmin, x[i]), xmax = std::max(xmax, x[i]);
      ymin = std::min(ymin, y[i]), ymax = std::max(ymax, y[i]);
    }
  }
  const float diagonal = EuclideanLength(xmax - xmin, ymax - ymin);
  const long long all_pairs = static_cast<long long>(n) * (n - 1) / 2;
  const float M = static_cast<float>(std::min(all_pairs, 5000LL));
  const float spacing = diagonal / M;
  const int e = TruncatedIndex(std::log10(spacing) - 0.4999f);
  const float p = std::pow(10.0f, static_cast<float>(e));
  float f = (std::trunc(spacing / p) + 1) * p;
  if (!(f > 0) || !std::isfinite(f)) f = 1;  // all points at one place: one cell of any width
  const int C = std::clamp(TruncatedIndex(diagonal / f) + 1, 1, 5002);

  std::vector<PairSums> cells = WorkArray<PairSums>(static_cast<std::size_t>(C));
  for (int k = 0; k < maxClasses; ++k) classical[k] = robust[k] = meanDistance[k] = 0, count[k] = 0;
  for (int k = 0; k <= maxClasses; ++k) bounds[k] = 0;

  PairRow row(n);
  for (int i = 0; i < n - 1; ++i) {
    row.Fill(i, n, x, y);
    for (int j = i + 1; j < n; ++j) {
      const float dx = row.dx(j), dy = row.dy(j);
      const float d = row.d(j);
      if (!filter.Accepts(d, dx, dy)) continue;
      const int c = std::clamp(TruncatedIndex(d / f) + 1, 1, C);
      cells[c - 1].AddPair(d, z[i] - z[j]);
    }
  }

  // Classes of consecutive cells, closed as soon as they hold K pairs (cells
  // numbered from 1 here, as their lower limit is (j - 1) f).
  int j = 1;
  while (j < C && cells[j - 1].count == 0) ++j;
  int k = 0;
  do {
    if (k >= maxClasses) break;
    ++k;
    bounds[k - 1] = static_cast<float>(j - 1) * f;
    PairSums sums;
    while (j <= C && sums.count < K) sums.Add(cells[j++ - 1]);
    FinishClass(sums, classical[k - 1], robust[k - 1], meanDistance[k - 1], count[k - 1]);
  } while (j <= C);

  // A short last class joins the one before (an empty one simply goes).
  if (k >= 2 && count[k - 1] < K) {
    const int last = k - 1, previous = k - 2;
    const float np = static_cast<float>(count[previous]), nl = static_cast<float>(count[last]);
    const float total = np + nl;
    auto merge = [&](float* v) { v[previous] = (np * v[previous] + nl * v[last]) / total; };
    merge(classical), merge(robust), merge(meanDistance);
    count[previous] += count[last];
    classical[last] = robust[last] = meanDistance[last] = 0, count[last] = 0;
    k -= 1;
  }
  lagCount = k;
  int last_cell = C;
  while (last_cell > 1 && cells[last_cell - 1].count == 0) --last_cell;
  bounds[lagCount] = static_cast<float>(last_cell) * f;
}

}  // namespace kriging
