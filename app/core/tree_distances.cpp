// Pair distances of large data sets through a k-d tree and the convex hull.
#include "core/tree_distances.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "kd_tree.h"

namespace sorvan::core {
namespace {

struct Point2 {
  double x, y;
  bool operator<(const Point2& o) const { return x < o.x || (x == o.x && y < o.y); }
  bool operator==(const Point2& o) const { return x == o.x && y == o.y; }
};

// The distance as the pair-by-pair scan computes it.
double Distance(const Point2& a, const Point2& b) {
  const double dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

double Cross(const Point2& o, const Point2& a, const Point2& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Largest distance between two of the sorted, distinct points: the convex
// hull (Andrew's monotone chain, counter-clockwise, no collinear vertices),
// then rotating calipers over its antipodal pairs.
double Diameter(const std::vector<Point2>& p) {
  const int n = int(p.size());
  if (n < 2) return 0;
  std::vector<Point2> h(static_cast<size_t>(2 * n));
  int k = 0;
  for (int i = 0; i < n; ++i) {
    while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  for (int i = n - 2, t = k + 1; i >= 0; --i) {
    while (k >= t && Cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  h.resize(size_t(k - 1));
  const int m = int(h.size());
  if (m == 2) return Distance(h[0], h[1]);
  double largest = 0;
  for (int i = 0, j = 1; i < m; ++i) {
    const int ni = (i + 1) % m;
    // Advance j while the triangle on edge (i, ni) grows.
    while (std::fabs(Cross(h[i], h[ni], h[(j + 1) % m])) > std::fabs(Cross(h[i], h[ni], h[j]))) j = (j + 1) % m;
    largest = std::max({largest, Distance(h[i], h[j]), Distance(h[ni], h[j])});
  }
  return largest;
}

}  // namespace

DataDistances TreeDistances(int n, const double* x, const double* y, int count,
                                   const ProgressCallback& progress) {
  DataDistances r;
  std::vector<Point2> p;
  for (int i = 0; i < n; ++i)
    if (!std::isnan(x[i]) && !std::isnan(y[i])) p.push_back({x[i], y[i]});
  if (p.size() < 2 || count < 1) return r;

  // Coinciding points: every pair inside a group is a distance 0.
  std::sort(p.begin(), p.end());
  long long zeros = 0;
  std::vector<Point2> u;
  for (size_t i = 0; i < p.size();) {
    size_t j = i;
    while (j < p.size() && p[j] == p[i]) ++j;
    const long long g = static_cast<long long>(j - i);
    zeros += g * (g - 1) / 2;
    u.push_back(p[i]);
    i = j;
  }
  const int m = int(u.size());
  const int positives = int(std::max<long long>(0, count - std::min<long long>(zeros, count)));
  r.shortest.assign(size_t(std::min<long long>(zeros, count)), 0.0);

  // The shortest positive distances: a pair among the K shortest has each
  // point among the other's K nearest, so the K nearest of every point hold
  // them all. A bounded list of the K best distinct pairs.
  if (m >= 2) {
    std::vector<double> ux(static_cast<size_t>(m)), uy(static_cast<size_t>(m));
    for (int i = 0; i < m; ++i) ux[size_t(i)] = u[size_t(i)].x, uy[size_t(i)] = u[size_t(i)].y;
    const kriging::KdTree tree(m, ux.data(), uy.data());
    const int k = std::max(positives, 1) + 1;  // the point itself comes first
    kriging::KdSearchScratch espacio(k);
    std::vector<kriging::Neighbour> neighbours(static_cast<size_t>(k));
    struct Pair {
      double d;
      int a, b;
    };
    std::vector<Pair> bestOnes;  // ascending, at most `positives`
    double smallestPositive = 0;
    for (int i = 0; i < m; ++i) {
      if (!KeepGoing(progress, i, i, m)) {
        DataDistances cancelledJob;
        cancelledJob.cancelled = true;
        return cancelledJob;
      }
      const int c = tree.Nearest(ux[size_t(i)], uy[size_t(i)], k, HUGE_VAL, espacio, neighbours.data());
      for (int t = 0; t < c; ++t) {
        const int j = neighbours[size_t(t)].index;
        if (j == i) continue;
        const double d = Distance(u[size_t(i)], u[size_t(j)]);
        if (smallestPositive == 0 || d < smallestPositive) smallestPositive = d;
        if (positives == 0) break;
        if (int(bestOnes.size()) == positives && d >= bestOnes.back().d) continue;
        const int a = std::min(i, j), b = std::max(i, j);
        bool seen = false;
        for (const Pair& q : bestOnes) seen = seen || (q.a == a && q.b == b);
        if (seen) continue;
        auto pos = std::upper_bound(bestOnes.begin(), bestOnes.end(), d,
                                    [](double v, const Pair& q) { return v < q.d; });
        bestOnes.insert(pos, Pair{d, a, b});
        if (int(bestOnes.size()) > positives) bestOnes.pop_back();
      }
    }
    for (const Pair& q : bestOnes) r.shortest.push_back(q.d);
    r.smallestPositive = static_cast<float>(smallestPositive);
  }
  r.largest = static_cast<float>(Diameter(u));
  r.smallest = static_cast<float>(r.shortest.front());
  return r;
}

}  // namespace sorvan::core
