// Hot loops compiled more than once: for the baseline processor and for wider
// vector units, the copy chosen once at load time by the processor found.
//
// A clone runs the same operations in the same order on each element as the
// baseline copy (only several elements side by side), and the build never
// contracts a multiply and an add, so every clone gives the same bits.
// Only where the toolchain dispatches at load time (GCC on 64-bit ELF
// systems); elsewhere, the 32-bit builds included, the one baseline copy.
#pragma once

// KORU32_VECTOR_PATHS_AVX2 and KORU32_NO_VECTOR_CLONES (set by the build's
// KORU32_VECTOR_PATHS) leave out the wider copies, so that the tests can run
// the narrower ones on any machine.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    !defined(KORU32_NO_VECTOR_CLONES)
#if defined(KORU32_VECTOR_PATHS_AVX2)
#define KORU_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORU_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
// Loops written for 512-bit registers, chosen once at run time the same way.
#define KORU_WIDE_ROW_SUMS 1
#endif
#else
#define KORU_VECTOR_CLONES
#endif

// Inlined into each clone so that it is compiled for that clone's processor.
#define KORU_INLINE_INTO_CLONES inline __attribute__((always_inline))
