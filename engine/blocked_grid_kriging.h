#pragma once
// Grid kriging in blocks of nodes: the results of solving the kriging system
// node by node (KrigeGridReference) to the rounding of single precision, with
// the work organised as matrix-matrix products and shared over threads.
//
// With the system A [lambda; mu] = b of a node (b = [g0; f0]):
//   prediction  z^T lambda = [z; 0]^T A^{-1} b = w^T b,  w = A^{-1} [z; 0]
//                 (dual kriging: w is solved once, with iterative refinement
//                 in double, and each node then costs one dot product);
//   variance    b^T A^{-1} b = v^T D^{-1} v,  v = U^{-1} P^T b
//                 (P^T A P = U D U^T from the Bunch-Kaufman factor), one
//                 blocked triangular solve for a block of nodes.
// That halves the flops of two triangular solves per node.
//
// Cost: n^2/2 semivariogram evaluations and the O(N^3/3) factorization once;
// per node n semivariogram evaluations (in single precision for the models
// with a `singleRow`, the system's as well, so that a node on a datum meets
// its column exactly) and about N^2/2 multiply-adds in the blocked solve.
// Memory: the N x N system (its lower triangle keeps a copy of the
// matrix for the refinement), about N^2/2 floats of packed factor, and per
// thread one block of right-hand sides (N x kNodesPerBlock floats). All work
// arrays are obtained once per call, none per node.
//
// Threads: WorkerCount(); the results are the same bit for bit whatever the
// number of threads. The semivariogram and drift functions are called from
// all of them at once, so they may only read shared state (as
// SemivariogramOfLag and DriftTerm do: the current model and drift frame).
// When `variogram` is SemivariogramOfLag the current model is evaluated a
// whole row of lags at a time (CurrentModelAtLagsSingle, variogram_rows.h).
#include "drift_terms.h"
#include "variogram_models.h"

namespace kriging {

// Same contract as KrigeGrid (grid_kriging.h).
void KrigeGridBlocked(int n, const float* z, const float* x, const float* y, int trendTermCount,
                      DriftFunction driftTerm, LagVariogram variogram, int firstI, int firstJ,
                      int nx, int ny, float xMin, float yMin, float dx, float dy, int gridRows,
                      float* prediction, float* variance, float holeValue, float range[2]);

// Nodes solved together: a multiple of the tile width (6).
inline constexpr int kNodesPerBlock = 96;

}  // namespace kriging
