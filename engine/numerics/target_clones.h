#pragma once
// SORVAN_CLONES: a function compiled for AVX2 processors and for any x86-64,
// the version chosen when the program is loaded by the processor's features.
// (A clone named by "arch=..." is chosen only on that processor model, never
// on a later one; and without FMA both versions round alike, so the results
// have the same bits on every processor.) Under
// ThreadSanitizer the load-time chooser would itself be instrumented and run
// before the sanitizer is ready, so such builds keep the portable version.
#if defined(__SANITIZE_THREAD__)
#define SORVAN_CLONES
#else
#define SORVAN_CLONES __attribute__((target_clones("avx2", "default")))
#endif
