#pragma once
// SORVAN_CLONES: a function compiled for AVX2 processors and for any x86-64,
// the version chosen when the program is loaded by the processor's features.
// (A clone named by "arch=..." is chosen only on that processor model, never
// on a later one; and without FMA both versions round alike, so the results
// have the same bits on every processor.) Under
// ThreadSanitizer the load-time chooser would itself be instrumented and run
// before the sanitizer is ready, so such builds keep the portable version.
//
// SORVAN_WIDE_CLONES adds an AVX-512 version, for single-precision loops,
// whose lanes round alike at every width (the engine is compiled with
// -ffp-contract=off: no a * b + c becomes a fused multiply-add).
#if defined(__SANITIZE_THREAD__)
#define SORVAN_CLONES
#define SORVAN_WIDE_CLONES
#else
#define SORVAN_CLONES __attribute__((target_clones("avx2", "default")))
#define SORVAN_WIDE_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
