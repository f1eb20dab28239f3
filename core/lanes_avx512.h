// The first few lanes of a 512-bit register of singles stored and loaded in
// whole 256-, 128-, 64- and 32-bit pieces rather than through a mask: a load
// that meets the bytes of a masked store waits until that store has left
// for the cache, and so does a masked load that meets a pending store,
// where plain loads are served from plain stores at once. For the short
// slabs and weight rows of the forward pass, which the step before (the
// previous layer, or training) has just written.
#pragma once

#include <cstdint>

#include "core/vector_clones.h"

#if defined(KORU_WIDE_ROW_SUMS)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "core/two_floats.h"

#define KORU_LANES_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace koru {

KORU_LANES_INLINE __m256 LowHalf(__m512 v) { return _mm512_castps512_ps256(v); }

KORU_LANES_INLINE __m256 HighHalf(__m512 v) {
    return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1));
}

// v[0 .. count - 1] at p, count <= 16; nothing past them is written.
KORU_LANES_INLINE void StorePieces(float* p, __m512 v, uint32_t count) {
    if (count == 16) return _mm512_storeu_ps(p, v);
    __m256 half = LowHalf(v);
    if (count >= 8) {
        _mm256_storeu_ps(p, half);
        p += 8, count -= 8, half = HighHalf(v);
    }
    __m128 quarter = _mm256_castps256_ps128(half);
    if (count >= 4) {
        _mm_storeu_ps(p, quarter);
        p += 4, count -= 4, quarter = _mm256_extractf128_ps(half, 1);
    }
    StoreFewFloats(p, quarter, count);
}

// p[0 .. count - 1] in the first lanes, the others 0, count <= 16; nothing
// past them is read.
KORU_LANES_INLINE __m256 LoadHalf(const float* p, uint32_t count) {
    if (count >= 8) return _mm256_loadu_ps(p);
    if (count <= 4) return _mm256_zextps128_ps256(LoadFewFloats(p, count));
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p)), LoadFewFloats(p + 4, count - 4), 1);
}

KORU_LANES_INLINE __m512 LoadPieces(const float* p, uint32_t count) {
    if (count >= 16) return _mm512_loadu_ps(p);
    if (count <= 8) return _mm512_zextps256_ps512(LoadHalf(p, count));
    return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(_mm256_loadu_ps(p))),
                                               _mm256_castps_pd(LoadHalf(p + 8, count - 8)), 1));
}

}  // namespace koru

#endif
