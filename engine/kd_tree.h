#pragma once
// A k-d tree over 2-D points in double precision, for the quadrant search
// of local kriging and for the pairs of the semivariogram of large data sets
// (the nearest-N search of local kriging uses the cell grid, point_grid.h).
//
// Neighbour order: by squared distance (dx^2 + dy^2 with dx = px - x0, in
// double), ties broken by the smaller data index. The "k nearest" are the
// first k points of that order, so a search has one answer whatever the
// shape of the tree, and a brute-force scan finds the same set.
//
// Cost: building O(n log n) time and O(n) memory (the coordinates are copied
// in tree order, so leaves are contiguous); a k-nearest search visits
// O(log n + k) nodes on spread data. Searches allocate nothing: the caller
// owns a KdSearchScratch per thread, sized once for the largest k.
#include <cstddef>
#include <vector>

namespace kriging {

struct Neighbour {
  double distance2;  // squared distance to the query point
  int index;         // 0-based index of the data point
  int position = 0;  // where a search structure stores it (PointGrid::StoredX)
};
// The neighbour order described above.
inline bool NearerThan(const Neighbour& a, const Neighbour& b) {
  return a.distance2 < b.distance2 || (a.distance2 == b.distance2 && a.index < b.index);
}

// Work space of one searching thread: a traversal stack and four candidate
// heaps (one per quadrant), each of capacity `maxK`.
class KdSearchScratch {
 public:
  explicit KdSearchScratch(int maxK = 0) { Reserve(maxK); }
  void Reserve(int maxK);
  int capacity() const { return capacity_; }

 private:
  friend class KdTree;
  int capacity_ = 0;
  std::vector<Neighbour> heaps_;  // 4 * capacity_
  std::vector<int> stack_;
};

class KdTree {
 public:
  // Copies the n points (x[i], y[i]); the arrays need not outlive the tree.
  // Non-finite coordinates are not allowed (the caller checks its data).
  KdTree(int n, const double* x, const double* y);

  int size() const { return static_cast<int>(x_.size()); }

  // The k nearest points to (x0, y0) with squared distance <= maxDistance2
  // (pass +infinity for no limit), written to out[0..count-1] in neighbour
  // order; returns count <= k. scratch.capacity() >= k. `bound2`, when finite,
  // must be at least the squared distance of the k-th nearest point (for
  // example the farthest of k known points): it only prunes the search and
  // never changes its answer.
  int Nearest(double x0, double y0, int k, double maxDistance2, KdSearchScratch& scratch,
              Neighbour* out, double bound2 = -1) const;

  // Quadrant search: up to `perQuadrant` nearest points in each of the four
  // quadrants around (x0, y0), within maxDistance2, all in neighbour order in
  // out (at most 4 perQuadrant). With dx = px - x0, dy = py - y0 the quadrants
  // are: 0 dx > 0, dy >= 0; 1 dx <= 0, dy > 0; 2 dx < 0, dy <= 0; 3 dx >= 0,
  // dy < 0; a point at (x0, y0) itself belongs to quadrant 0.
  // scratch.capacity() >= perQuadrant.
  int NearestByQuadrant(double x0, double y0, int perQuadrant, double maxDistance2,
                        KdSearchScratch& scratch, Neighbour* out) const;

  // Calls visit(index, distance2) for every point with squared distance
  // <= radius2 from (x0, y0), in no particular order.
  template <class Visit>
  void WithinDistance(double x0, double y0, double radius2, Visit&& visit,
                      std::vector<int>& stack) const;

  static int Quadrant(double dx, double dy) {
    if (dx > 0 && dy >= 0) return 0;
    if (dx <= 0 && dy > 0) return 1;
    if (dx < 0 && dy <= 0) return 2;
    if (dx >= 0 && dy < 0) return 3;
    return 0;  // dx == dy == 0
  }

 private:
  struct Node {
    double minX, maxX, minY, maxY;  // bounding box of the points below
    int begin, end;                 // range of tree-ordered points
    int left = -1, right = -1;      // children; -1 for a leaf
  };
  int Build(int begin, int end, int depth);
  static double BoxDistance2(const Node& node, double x0, double y0);

  static constexpr int kLeafSize = 12;
  std::vector<double> x_, y_;  // coordinates in tree order
  std::vector<int> index_;     // original index of each tree-ordered point
  std::vector<Node> nodes_;    // nodes_[0] is the root
};

template <class Visit>
void KdTree::WithinDistance(double x0, double y0, double radius2, Visit&& visit,
                            std::vector<int>& stack) const {
  if (nodes_.empty()) return;
  stack.clear();
  stack.push_back(0);
  while (!stack.empty()) {
    const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    if (BoxDistance2(node, x0, y0) > radius2) continue;
    if (node.left < 0) {
      for (int p = node.begin; p < node.end; ++p) {
        const double dx = x_[p] - x0, dy = y_[p] - y0;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= radius2) visit(index_[p], d2);
      }
    } else {
      stack.push_back(node.left);
      stack.push_back(node.right);
    }
  }
}

}  // namespace kriging
