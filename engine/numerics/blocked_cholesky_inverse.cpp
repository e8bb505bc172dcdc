#include "numerics/blocked_cholesky_inverse.h"

#include "numerics/target_clones.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "critical_stop.h"
#include "numerics/simd_kernels.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

constexpr int nb = kCholeskyBlock;  // a multiple of the tile height 8 and width 6

struct Matrix {
  double* r;
  std::size_t ld;
  double& operator()(int i, int j) const { return r[i + j * ld]; }
  double* at(int i, int j) const { return r + i + j * ld; }
};

// x(0:w) := L^{-1} x for the lower triangle L (leading dimension ld, columns
// contiguous): forward substitution by column updates.
SORVAN_CLONES void ForwardSubstitute(
    int w, const double* lower, int ld, double* __restrict x) {
  for (int i = 0; i < w; ++i) {
    const double xi = x[i] / lower[i + i * ld];
    x[i] = xi;
    const double* __restrict li = lower + i * ld;
    for (int l = i + 1; l < w; ++l) x[l] -= li[l] * xi;
  }
}

// out(0:rows) = sum over k < count of v(0:rows, k) t[k] (v leading dimension ldv).
SORVAN_CLONES void CombineColumns(
    int rows, int count, const double* v, std::size_t ldv, const double* t,
    double* __restrict out) {
  for (int i = 0; i < rows; ++i) out[i] = 0.0;
  for (int k = 0; k < count; ++k) {
    const double tk = t[k];
    const double* __restrict vk = v + k * ldv;
    for (int i = 0; i < rows; ++i) out[i] += vk[i] * tk;
  }
}

// Per-thread packing buffers, obtained once per call.
struct Workspace {
  int workers;
  std::size_t aSize, bSize;
  std::vector<double> a, b, tile, trailing;
  Workspace(int n, int workerCount)
      : workers(std::max(1, workerCount)),
        aSize(PackedRowsSize<double>(nb, n)),
        bSize(PackedColumnsSize(n, nb)),
        a(WorkArray<double>(aSize * workers)),
        b(WorkArray<double>(bSize * workers)),
        tile(WorkArray<double>(static_cast<std::size_t>(nb) * nb * workers)),
        trailing(WorkArray<double>(PackedRowsSize<double>(n, nb))) {}
  double* A(int worker) { return a.data() + aSize * worker; }
  double* B(int worker) { return b.data() + bSize * worker; }
  double* Tile(int worker) { return tile.data() + static_cast<std::size_t>(nb) * nb * worker; }
};

// Phase 1: A = R^T R (upper), right-looking in column blocks.
int Factor(int n, const Matrix& R, Workspace& ws) {
  for (int jb = 0; jb < n; jb += nb) {
    const int je = std::min(n, jb + nb), w = je - jb;
    // Diagonal block (already updated by the blocks above it), unblocked.
    for (int j = jb; j < je; ++j) {
      for (int i = jb; i <= j; ++i) {
        double s = R(i, j);
        for (int l = jb; l < i; ++l) s -= R(l, i) * R(l, j);
        if (i < j) {
          R(i, j) = s / R(i, i);
        } else {
          if (!(s > 0.0)) return j + 1;
          R(j, j) = std::sqrt(s);
        }
      }
    }
    if (je == n) break;
    // Block row R(J, je:n) = R(J, J)^{-T} A(J, je:n): forward substitution
    // with the lower triangle L = R(J, J)^T, copied so that its columns are
    // contiguous and each step is a vector update.
    double* lower = ws.Tile(0);
    for (int i = 0; i < w; ++i)
      for (int l = i; l < w; ++l) lower[l + i * nb] = R(jb + i, jb + l);
    ParallelFor(n - je, WorkersFor(0.5 * w * w * (n - je), ws.workers),
                [&](int c, int) { ForwardSubstitute(w, lower, nb, R.at(jb, je + c)); });
    // Trailing update of the upper triangle: A(i, c) -= R(J, i) . R(J, c),
    // je <= i <= c, in blocks of nb columns, the largest first.
    const int rest = n - je;
    const int blocks = (rest + nb - 1) / nb;
    double* a = ws.trailing.data();  // rows je..n, packed once for every column block
    PackRowSliversTransposed<double>(rest, w, R.at(jb, je), R.ld, a);
    ParallelFor(blocks, WorkersFor(0.5 * rest * rest * w, ws.workers), [&](int item, int worker) {
      const int cb = je + (blocks - 1 - item) * nb, width = std::min(n, cb + nb) - cb;
      double* b = ws.B(worker);
      PackColumnSlivers<double>(w, width, R.at(jb, cb), R.ld, false, b);
      // Rows je..cb, then the diagonal square through a tile.
      SubtractPackedProduct<double>(cb - je, width, w, a, b, R.at(je, cb), R.ld);
      double* tile = ws.Tile(worker);
      for (int j = 0; j < width; ++j)
        for (int i = 0; i <= j; ++i) tile[i + j * nb] = R(cb + i, cb + j);
      SubtractPackedProduct<double>(width, width, w, a + static_cast<std::size_t>(cb - je) * w, b,
                                    tile, nb);
      for (int j = 0; j < width; ++j)
        for (int i = 0; i <= j; ++i) R(cb + i, cb + j) = tile[i + j * nb];
    });
  }
  return 0;
}

// C(0:rows, 0:cols) -= T(first:first+rows, k0:k0+k) B, with that block of T
// packed into the worker's row slivers first. T is read straight from R: the
// zeros below its diagonal are R's strict lower triangle. Packing costs rows*k
// copies beside rows*cols*k multiply-adds (cols is a whole block, nb), and
// keeps the workspace to a few block rows rather than a second n x n copy.
void SubtractTProduct(const Matrix& R, int first, int rows, int k0, int k, int cols,
                      const double* b, double* packed, double* c, std::size_t ldc) {
  PackRowSlivers<double>(rows, k, R.at(first, k0), R.ld, packed);
  SubtractPackedProduct<double>(rows, cols, k, packed, b, c, ldc);
}

// Phase 2: R := T = R^{-1}, block columns from the left. With T11 = R11^{-1}
// in place, T12 = -T11 R12 T22: V = -T11 R12 by row blocks (independent, the
// zeros below T11's diagonal making each row block one product), then
// T12 = V T22.
void Invert(int n, const Matrix& R, Workspace& ws, std::vector<double>& v) {
  for (int jb = 0; jb < n; jb += nb) {
    const int je = std::min(n, jb + nb), w = je - jb;
    // T22 in place: column j of the inverse is T(jb:j, jb:j) R(jb:j, j)
    // scaled by -1 / R(j, j) (the unblocked triangular inverse).
    for (int j = jb; j < je; ++j) {
      double* x = R.at(0, j);
      for (int k = jb; k < j; ++k) {
        const double tk = x[k];
        for (int i = jb; i < k; ++i) x[i] += R(i, k) * tk;
        x[k] = R(k, k) * tk;
      }
      R(j, j) = 1.0 / R(j, j);
      const double scale = -R(j, j);
      for (int i = jb; i < j; ++i) x[i] *= scale;
    }
    if (jb > 0) {
      // V(0:jb, 0:w) = -T11 R12.
      const int blocks = (jb + nb - 1) / nb;
      std::fill(v.begin(), v.begin() + static_cast<std::size_t>(jb) * w, 0.0);
      ParallelFor(blocks, WorkersFor(0.5 * jb * jb * w, ws.workers), [&](int item, int worker) {
        const int ib = item * nb, rows = std::min(jb, ib + nb) - ib;
        // T(ib:ib+rows, ib:jb) times R12(ib:jb, :): the rows of R12 above ib
        // meet T's zeros and are left out.
        double* b = ws.B(worker);
        PackColumnSlivers<double>(jb - ib, w, R.at(ib, jb), R.ld, false, b);
        SubtractTProduct(R, ib, rows, ib, jb - ib, w, b, ws.A(worker), v.data() + ib,
                         static_cast<std::size_t>(jb));
      });
      // T12 = V T22: column c is sum over k <= c of V(:, k) T22(k, c).
      ParallelFor(w, WorkersFor(0.5 * jb * w * w, ws.workers), [&](int c, int) {
        CombineColumns(jb, c + 1, v.data(), static_cast<std::size_t>(jb), R.at(jb, jb + c),
                       R.at(0, jb + c));
      });
    }
  }
}

// Phase 3: R := upper triangle of T T^T. Block column J of the product is
// T(0:je, jb:n) T(J, jb:n)^T (T's zeros below the diagonal make the sum start
// at jb), computed into v and written back: later block columns read only
// columns from their own jb on.
void MultiplyByTranspose(int n, const Matrix& R, Workspace& ws, std::vector<double>& v) {
  for (int jb = 0; jb < n; jb += nb) {
    const int je = std::min(n, jb + nb), w = je - jb, k = n - jb;
    std::fill(v.begin(), v.begin() + static_cast<std::size_t>(je) * w, 0.0);
    double* shared = ws.B(0);
    PackColumnSlivers<double>(k, w, R.at(jb, jb), R.ld, true, shared);
    const int blocks = (je + nb - 1) / nb;
    ParallelFor(blocks, WorkersFor(static_cast<double>(je) * w * k, ws.workers),
                [&](int item, int worker) {
      const int ib = item * nb, rows = std::min(je, ib + nb) - ib;
      SubtractTProduct(R, ib, rows, jb, k, w, shared, ws.A(worker), v.data() + ib,
                       static_cast<std::size_t>(je));
    });
    for (int c = 0; c < w; ++c)
      for (int i = 0; i <= jb + c; ++i) R(i, jb + c) = -v[i + static_cast<std::size_t>(c) * je];
  }
}

}  // namespace

int BlockedCholeskyInverseInPlace(int n, double* r, std::size_t ld, int workers) {
  if (n <= 0) return 0;
  const Matrix R{r, ld};
  Workspace ws(n, workers);
  auto v = WorkArray<double>(static_cast<std::size_t>(n) * nb);
  if (const int failed = Factor(n, R, ws); failed != 0) return failed;
  Invert(n, R, ws, v);
  MultiplyByTranspose(n, R, ws, v);
  return 0;
}

}  // namespace kriging
