#pragma once
// Solves with a Bunch-Kaufman factor for many right-hand sides at once, as
// matrix-matrix work (the grid kriging solves a block of nodes together).
//
// SymmetricFactor leaves A = P(N) U(N) ... P(1) U(1) D (...)^T: each
// elimination step's interchange acts only on the rows not yet eliminated,
// so the solve must alternate interchanges and column eliminations, one
// vector at a time. Moving every interchange in front of the eliminations
// (each column's multipliers take the interchanges of the later steps) gives
// the equivalent form
//     P^T A P = U D U^T,   U unit upper triangular,
// whose triangular solve U^{-1} (P^T B) is blocked in panels of
// kPanelColumns columns, the dense libraries' blocked triangular solve with
// inverted diagonal blocks: per panel, x := T^{-1} x with the panel's
// triangle T inverted once (in double) when the factor is taken, then a packed
// matrix-matrix update of all the rows above it. Both are register-tile
// products, so the whole solve runs at matrix-multiply speed. Where the
// processor has a tile unit (split_tile_product.h), each panel's rows are
// solved instead by one long product there, [I - T^{-1}, T^{-1} U] times
// their own rows and all the solved rows below them. With it,
// b^T A^{-1} b = v^T D^{-1} v for v = U^{-1} P^T b.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "critical_stop.h"

namespace kriging {

class BlockedFactorSolve {
 public:
  // Narrow enough that the inverted diagonal blocks add little work (about
  // kPanelColumns / n of it), wide enough for the products to run at speed.
  static constexpr int kPanelColumns = 64;

  // Takes the factor of SymmetricFactor (upper triangle of fac, leading
  // dimension ld, order n) and its pivot record. Rewrites the multipliers in
  // the strict upper triangle of fac into the interchanges-first form (fac is
  // then no longer a factor for SymmetricSolve; D's entries are untouched;
  // the lower triangle is neither read nor written) and packs U in panels
  // with each panel's inverted triangle: about n^2/2 + n kPanelColumns
  // floats, O(n^2) work shared by `workers` threads.
  BlockedFactorSolve(int n, float* fac, std::size_t ld, const std::int32_t* ipvt, int workers);

  BlockedFactorSolve(const BlockedFactorSolve&) = delete;  // holds pointers into itself
  BlockedFactorSolve& operator=(const BlockedFactorSolve&) = delete;

  int order() const { return n_; }

  // What Solve needs for up to `cols` right-hand sides of order n: packed
  // copies of them. One per thread.
  struct Scratch {
    Scratch(int n, int cols);
    UnfilledArray<float> packed;
    UnfilledArray<std::uint16_t> split;
  };

  // x (n x cols, leading dimension ldx) := U^{-1} P^T x. Cost about
  // (n + kPanelColumns) n cols / 2 multiply-adds; no allocation.
  void Solve(float* x, std::size_t ldx, int cols, Scratch& scratch) const;

  // v^T D^{-1} v for the column v (n entries) of a solved block, in double.
  double DiagonalQuadraticForm(const float* v) const;
  // The same for the columns c < cols of v (leading dimension ldv) into
  // forms[c], the same bits.
  void DiagonalQuadraticForms(const float* v, std::size_t ldv, int cols, double* forms) const;

 private:
  int n_;
  std::vector<std::int32_t> swapRow_, swapWith_;  // interchanges in the order they apply
  std::vector<std::int32_t> multiplierRows_;      // rows 0..m-1 of column k hold multipliers
  // v^T D^{-1} v = sum_k squareWeights_[k] v_k^2 + crossWeights_[k] v_k v_{k+1}.
  std::vector<double> squareWeights_, crossWeights_;
  bool tiles_;  // the products on the tile unit
  // Packed U(0:kb, kb:ke) of panel t in panels_, or with tiles_ its rows of
  // [I - T^{-1}, T^{-1} U(kb:ke, ke:n)] split in splitPanels_.
  std::vector<std::size_t> panelStart_;
  std::vector<float> panels_;
  UnfilledArray<std::uint16_t> splitPanels_;
  std::uint16_t* splitData_;
  float* panelData_;  // panels_ from its first cache line (simd_kernels.h)
  std::vector<std::size_t> diagonalStart_;  // packed I - T^{-1} of panel t's triangle T
  std::vector<float> diagonals_;
  float* diagonalData_;
};

}  // namespace kriging
