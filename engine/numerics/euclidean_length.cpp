#include "numerics/euclidean_length.h"

#include <immintrin.h>

#include <cmath>
#include <limits>

#include "numerics/simd_kernels.h"

namespace kriging {

// Moler-Morrison iteration (IBM J. Res. Dev. 27, 1983): p converges cubically
// to sqrt(a^2 + b^2) from below and q to 0; no square root and no squares of
// the operands themselves, so neither overflow nor destructive underflow.
// Never inlined: inside the AVX-512 function below it would be compiled with
// fused multiply-adds and round otherwise.
[[gnu::noinline]] float EuclideanLength(float a, float b) {
  float p = std::fabs(a);
  float q = std::fabs(b);
  if (q > p) {
    const float t = p;
    p = q;
    q = t;
  }
  // An infinite or NaN operand would keep 4 + r away from 4 for ever.
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<float>::quiet_NaN();
  if (std::isinf(p)) return p;
  if (p == 0.0f) return 0.0f;
  float r = (q / p) * (q / p);
  while (4.0f + r != 4.0f) {
    const float s = r / (4.0f + r);
    const float u = 1.0f + 2.0f * s;
    p = u * p;
    q = s * q;
    r = (q / p) * (q / p);
  }
  return p;
}

namespace {

// The iteration above on sixteen lanes, each with its own convergence mask.
// Every operation is masked by a mask known only at run time, so none is
// fused with another: the lanes round as the scalar loop does. Lanes with a
// NaN, infinite or zero operand are left to the scalar function.
__attribute__((target("avx512f"))) void LengthsAvx512(int count, const float* a, const float* b,
                                                       float* d) {
  const __m512 four = _mm512_set1_ps(4.0f), one = _mm512_set1_ps(1.0f),
               two = _mm512_set1_ps(2.0f), inf = _mm512_set1_ps(INFINITY);
  for (int k = 0; k < count; k += 16) {
    const __mmask16 valid =
        static_cast<__mmask16>(count - k >= 16 ? 0xFFFFu : (1u << (count - k)) - 1u);
    const __m512 va = _mm512_abs_ps(_mm512_maskz_loadu_ps(valid, a + k));
    const __m512 vb = _mm512_abs_ps(_mm512_maskz_loadu_ps(valid, b + k));
    const __mmask16 swap = _mm512_cmp_ps_mask(vb, va, _CMP_GT_OQ);
    __m512 p = _mm512_mask_blend_ps(swap, va, vb), q = _mm512_mask_blend_ps(swap, vb, va);
    const __mmask16 ordinary = valid & _mm512_cmp_ps_mask(va, inf, _CMP_LT_OQ) &
                               _mm512_cmp_ps_mask(vb, inf, _CMP_LT_OQ) &
                               _mm512_cmp_ps_mask(p, _mm512_setzero_ps(), _CMP_NEQ_OQ);
    __mmask16 active = ordinary;
    __m512 t = _mm512_maskz_div_ps(active, q, p);
    __m512 r = _mm512_maskz_mul_ps(active, t, t);
    active &= _mm512_cmp_ps_mask(_mm512_maskz_add_ps(active, four, r), four, _CMP_NEQ_OQ);
    while (active != 0) {
      const __m512 s = _mm512_maskz_div_ps(active, r, _mm512_maskz_add_ps(active, four, r));
      const __m512 u = _mm512_maskz_add_ps(active, one, _mm512_maskz_mul_ps(active, two, s));
      p = _mm512_mask_mul_ps(p, active, u, p);
      q = _mm512_mask_mul_ps(q, active, s, q);
      t = _mm512_maskz_div_ps(active, q, p);
      r = _mm512_mask_mul_ps(r, active, t, t);
      active &= _mm512_cmp_ps_mask(_mm512_maskz_add_ps(active, four, r), four, _CMP_NEQ_OQ);
    }
    _mm512_mask_storeu_ps(d + k, ordinary, p);
    for (__mmask16 rest = valid & static_cast<__mmask16>(~ordinary); rest != 0; rest &= rest - 1) {
      const int lane = __builtin_ctz(rest);
      d[k + lane] = EuclideanLength(a[k + lane], b[k + lane]);
    }
  }
}

}  // namespace

void EuclideanLengths(int count, const float* a, const float* b, float* d) {
  if (UsesAvx512()) return LengthsAvx512(count, a, b, d);
  for (int k = 0; k < count; ++k) d[k] = EuclideanLength(a[k], b[k]);
}

}  // namespace kriging
