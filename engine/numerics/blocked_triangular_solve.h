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
// kPanelColumns columns: a small triangle per panel, then a packed
// matrix-matrix update of all the rows above it (the dense libraries' blocked
// triangular solve), the triangle itself again in blocks of 16 columns: six
// right-hand sides at a time in a copy that stays in the first-level cache,
// the 16-row triangles in registers. With it, b^T A^{-1} b = v^T D^{-1} v for
// v = U^{-1} P^T b.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kriging {

class BlockedFactorSolve {
 public:
  static constexpr int kPanelColumns = 256;  // a multiple of kInnerColumns
  // Inside a panel's diagonal triangle the same scheme once more: triangles
  // of kInnerColumns columns (the tile height) and packed updates between them.
  static constexpr int kInnerColumns = 16;

  // Takes the factor of SymmetricFactor (upper triangle of fac, leading
  // dimension ld, order n) and its pivot record. Rewrites the multipliers in
  // the strict upper triangle of fac into the interchanges-first form (fac is
  // then no longer a factor for SymmetricSolve; D's entries are untouched;
  // the lower triangle is neither read nor written) and packs U in panels:
  // about n^2/2 floats, O(n^2) work shared by `workers` threads. fac must
  // outlive this object.
  BlockedFactorSolve(int n, float* fac, std::size_t ld, const std::int32_t* ipvt, int workers);

  BlockedFactorSolve(const BlockedFactorSolve&) = delete;  // holds pointers into itself
  BlockedFactorSolve& operator=(const BlockedFactorSolve&) = delete;

  int order() const { return n_; }

  // Floats of scratch that Solve needs for `cols` right-hand sides.
  static std::size_t ScratchSize(int cols);

  // x (n x cols, leading dimension ldx) := U^{-1} P^T x. Cost n^2 cols / 2
  // multiply-adds; no allocation; scratch of ScratchSize(cols) floats.
  void Solve(float* x, std::size_t ldx, int cols, float* scratch) const;

  // v^T D^{-1} v for the column v (n entries) of a solved block, in double.
  double DiagonalQuadraticForm(const float* v) const;
  // The same for the columns c < cols of v (leading dimension ldv) into
  // forms[c], the same bits; eight columns at a time with AVX-512.
  void DiagonalQuadraticForms(const float* v, std::size_t ldv, int cols, double* forms) const;

 private:
  int n_;
  const float* fac_;
  std::size_t ld_;
  std::vector<std::int32_t> swapRow_, swapWith_;  // interchanges in the order they apply
  std::vector<std::int32_t> multiplierRows_;      // rows 0..m-1 of column k hold multipliers
  std::vector<int> triangleEnds_;                 // multiplier rows of column k in its triangle
  std::vector<std::int8_t> blockSize_;            // 1, 2 (first of a 2x2 block) or 0 (second)
  std::vector<std::size_t> panelStart_;  // packed U(0:kb, kb:ke) of panel t
  std::vector<float> panels_;
  float* panelData_;  // panels_ from its first cache line (simd_kernels.h)
  std::vector<std::size_t> innerStart_;  // packed U(kb:sb, sb:se) of inner block s of panel t
  std::vector<float> inner_;
  float* innerData_;
};

}  // namespace kriging
