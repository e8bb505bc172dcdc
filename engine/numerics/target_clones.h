#pragma once
// SORVAN_CLONES: a function compiled for AVX2/FMA processors and for any
// x86-64, the version chosen when the program is loaded. Under
// ThreadSanitizer the load-time chooser would itself be instrumented and run
// before the sanitizer is ready, so such builds keep the portable version.
#if defined(__SANITIZE_THREAD__)
#define SORVAN_CLONES
#else
#define SORVAN_CLONES __attribute__((target_clones("arch=haswell", "default")))
#endif
