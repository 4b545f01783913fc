// Hot loops compiled for several instruction sets, the best one chosen when
// the program loads. ThreadSanitizer's runtime is not yet ready when that
// choice runs, so its builds (TAVRIN_ONE_TARGET) keep the default version.
#pragma once

#if defined(TAVRIN_ONE_TARGET)
#define TAVRIN_CLONES
#else
#define TAVRIN_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
