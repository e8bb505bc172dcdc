#pragma once
// Blocked Bunch-Kaufman factorization A = U D U^T: the same pivoting rule
// (alpha = (1 + sqrt 17) / 8), the same storage and the same pivot record as
// BunchKaufmanFactorInPlace (bunch_kaufman.h), organised as the dense
// libraries organise it: a panel of up to kPanelColumns columns is factored
// with the updates of its own earlier columns applied on demand (only the
// column in hand and the candidate pivot column are brought up to date), and
// the rest of the matrix then receives the whole panel's update at once, as a
// packed matrix-matrix product shared over threads.
//
// Rounding differs from the unblocked factorization (the updates are summed
// in another order), so a pivot choice that is a tie to rounding may differ;
// the factor is equally backward stable. Results are the same bit for bit
// whatever the number of workers.
//
// Cost: n^3/3 multiply-adds, 2 n kPanelColumns floats of workspace plus a
// packed copy of the panel; the strict lower triangle of fac is neither read
// nor written.
#include <cstdint>

namespace kriging {

// Factors the upper triangle of fac (order n, leading dimension ldfac) in
// place. Returns 0, or the 1-based index of the first exactly zero pivot met
// (the factorization runs to the end regardless), as the unblocked routine.
int BlockedBunchKaufmanFactorInPlace(int n, float* fac, int ldfac, std::int32_t* ipvt,
                                     int workers);

inline constexpr int kBunchKaufmanPanelColumns = 64;

}  // namespace kriging
