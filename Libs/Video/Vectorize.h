#pragma once

// The per-sample loops are compiled twice on x86-64, for AVX2 and for the
// baseline, and the processor picks one when the program starts.
#if defined(__x86_64__) && defined(__GNUC__)
#define VOSTREL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VOSTREL_VECTOR_CLONES
#endif
