// k-d tree: median splits along the wider side of each box, buckets of a few
// points at the leaves, depth-first search nearer child first with a bounded
// max-heap of candidates.
#include "kd_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kriging {
namespace {

// Max-heap under NearerThan: the front is the farthest candidate kept.
struct FartherFirst {
  bool operator()(const Neighbour& a, const Neighbour& b) const { return NearerThan(a, b); }
};

// A bounded candidate list: keeps the `k` first points of the neighbour order
// seen so far, in a heap whose front is the worst of them.
struct BoundedHeap {
  Neighbour* data;
  int size, k;
  double limit2;  // no point farther than this is taken
  // Squared distance beyond which no point can enter (ties with the worst may
  // still enter by index, so boxes at exactly this distance are visited).
  double Bound() const { return size < k ? limit2 : data[0].distance2; }
  void Offer(double d2, int index) {
    if (d2 > limit2) return;
    const Neighbour candidate{d2, index};
    if (size < k) {
      data[size++] = candidate;
      std::push_heap(data, data + size, FartherFirst{});
    } else if (NearerThan(candidate, data[0])) {
      std::pop_heap(data, data + size, FartherFirst{});
      data[size - 1] = candidate;
      std::push_heap(data, data + size, FartherFirst{});
    }
  }
};

// Whether a box can hold points of quadrant q around (x0, y0).
bool BoxMeetsQuadrant(double minX, double maxX, double minY, double maxY, double x0, double y0,
                      int q) {
  switch (q) {
    case 0:  // also the query point itself
      return (maxX > x0 && maxY >= y0) ||
             (minX <= x0 && x0 <= maxX && minY <= y0 && y0 <= maxY);
    case 1: return minX <= x0 && maxY > y0;
    case 2: return minX < x0 && minY <= y0;
    default: return maxX >= x0 && minY < y0;
  }
}

}  // namespace

void KdSearchScratch::Reserve(int maxK) {
  if (maxK <= capacity_) return;
  capacity_ = maxK;
  heaps_.assign(static_cast<std::size_t>(4) * static_cast<std::size_t>(maxK), Neighbour{0, 0});
  stack_.reserve(256);
}

KdTree::KdTree(int n, const double* x, const double* y) {
  if (n <= 0) return;
  const auto count = static_cast<std::size_t>(n);
  index_.resize(count);
  std::iota(index_.begin(), index_.end(), 0);
  x_.assign(x, x + n);  // original order while building; permuted below
  y_.assign(y, y + n);
  nodes_.reserve(2 * (count / kLeafSize + 1) + 1);
  Build(0, n, 0);
  std::vector<double> tx(count), ty(count);
  for (std::size_t p = 0; p < count; ++p) {
    tx[p] = x_[static_cast<std::size_t>(index_[p])];
    ty[p] = y_[static_cast<std::size_t>(index_[p])];
  }
  x_.swap(tx);
  y_.swap(ty);
}

// Builds the subtree of index_[begin..end) (coordinates still in the original
// order) and returns its node number.
int KdTree::Build(int begin, int end, int depth) {
  Node node;
  node.begin = begin;
  node.end = end;
  node.minX = node.minY = std::numeric_limits<double>::infinity();
  node.maxX = node.maxY = -std::numeric_limits<double>::infinity();
  for (int p = begin; p < end; ++p) {
    const double px = x_[static_cast<std::size_t>(index_[p])];
    const double py = y_[static_cast<std::size_t>(index_[p])];
    node.minX = std::min(node.minX, px), node.maxX = std::max(node.maxX, px);
    node.minY = std::min(node.minY, py), node.maxY = std::max(node.maxY, py);
  }
  const int id = static_cast<int>(nodes_.size());
  nodes_.push_back(node);
  // Leaves: few points, or all points at one place (duplicates cannot be split).
  if (end - begin <= kLeafSize || depth > 60 ||
      (node.minX == node.maxX && node.minY == node.maxY))
    return id;
  const bool alongX = node.maxX - node.minX >= node.maxY - node.minY;
  const std::vector<double>& coord = alongX ? x_ : y_;
  const int middle = begin + (end - begin) / 2;
  std::nth_element(index_.begin() + begin, index_.begin() + middle, index_.begin() + end,
                   [&coord](int a, int b) {
                     return coord[static_cast<std::size_t>(a)] < coord[static_cast<std::size_t>(b)];
                   });
  const int left = Build(begin, middle, depth + 1);
  const int right = Build(middle, end, depth + 1);
  nodes_[static_cast<std::size_t>(id)].left = left;
  nodes_[static_cast<std::size_t>(id)].right = right;
  return id;
}

double KdTree::BoxDistance2(const Node& node, double x0, double y0) {
  const double dx = x0 < node.minX ? node.minX - x0 : (x0 > node.maxX ? x0 - node.maxX : 0.0);
  const double dy = y0 < node.minY ? node.minY - y0 : (y0 > node.maxY ? y0 - node.maxY : 0.0);
  return dx * dx + dy * dy;
}

int KdTree::Nearest(double x0, double y0, int k, double maxDistance2, KdSearchScratch& scratch,
                    Neighbour* out, double bound2) const {
  if (k <= 0 || nodes_.empty()) return 0;
  double limit2 = maxDistance2;
  if (bound2 >= 0 && bound2 < limit2) limit2 = bound2;
  BoundedHeap heap{scratch.heaps_.data(), 0, k, limit2};
  std::vector<int>& stack = scratch.stack_;
  stack.clear();
  stack.push_back(0);
  while (!stack.empty()) {
    const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    if (BoxDistance2(node, x0, y0) > heap.Bound()) continue;
    if (node.left < 0) {
      for (int p = node.begin; p < node.end; ++p) {
        const double dx = x_[static_cast<std::size_t>(p)] - x0;
        const double dy = y_[static_cast<std::size_t>(p)] - y0;
        heap.Offer(dx * dx + dy * dy, index_[static_cast<std::size_t>(p)]);
      }
      continue;
    }
    // Push the farther child first so that the nearer one is searched first.
    const Node& l = nodes_[static_cast<std::size_t>(node.left)];
    const Node& r = nodes_[static_cast<std::size_t>(node.right)];
    if (BoxDistance2(l, x0, y0) <= BoxDistance2(r, x0, y0)) {
      stack.push_back(node.right);
      stack.push_back(node.left);
    } else {
      stack.push_back(node.left);
      stack.push_back(node.right);
    }
  }
  std::sort_heap(heap.data, heap.data + heap.size, FartherFirst{});
  std::copy(heap.data, heap.data + heap.size, out);
  return heap.size;
}

int KdTree::NearestByQuadrant(double x0, double y0, int perQuadrant, double maxDistance2,
                              KdSearchScratch& scratch, Neighbour* out) const {
  if (perQuadrant <= 0 || nodes_.empty()) return 0;
  const std::size_t cap = static_cast<std::size_t>(scratch.capacity_);
  BoundedHeap heaps[4];
  for (int q = 0; q < 4; ++q)
    heaps[q] = BoundedHeap{scratch.heaps_.data() + static_cast<std::size_t>(q) * cap, 0,
                           perQuadrant, maxDistance2};
  std::vector<int>& stack = scratch.stack_;
  stack.clear();
  stack.push_back(0);
  while (!stack.empty()) {
    const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    // Visit the box only if some quadrant it meets could still take a point.
    const double d2 = BoxDistance2(node, x0, y0);
    bool useful = false;
    for (int q = 0; q < 4 && !useful; ++q)
      useful = d2 <= heaps[q].Bound() &&
               BoxMeetsQuadrant(node.minX, node.maxX, node.minY, node.maxY, x0, y0, q);
    if (!useful) continue;
    if (node.left < 0) {
      for (int p = node.begin; p < node.end; ++p) {
        const double dx = x_[static_cast<std::size_t>(p)] - x0;
        const double dy = y_[static_cast<std::size_t>(p)] - y0;
        heaps[Quadrant(dx, dy)].Offer(dx * dx + dy * dy, index_[static_cast<std::size_t>(p)]);
      }
      continue;
    }
    const Node& l = nodes_[static_cast<std::size_t>(node.left)];
    const Node& r = nodes_[static_cast<std::size_t>(node.right)];
    if (BoxDistance2(l, x0, y0) <= BoxDistance2(r, x0, y0)) {
      stack.push_back(node.right);
      stack.push_back(node.left);
    } else {
      stack.push_back(node.left);
      stack.push_back(node.right);
    }
  }
  int count = 0;
  for (const BoundedHeap& heap : heaps)
    for (int i = 0; i < heap.size; ++i) out[count++] = heap.data[i];
  std::sort(out, out + count, NearerThan);
  return count;
}

}  // namespace kriging
