// Two adjacent singles into the low half of a 128-bit register (the high
// half 0) and back, through a copy: the address need not suit a double, and
// nothing past the second single is read or written. Likewise up to four.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace koru {

inline __m128 LoadTwoFloats(const float* p) {
    double two;
    std::memcpy(&two, p, sizeof two);
    return _mm_castpd_ps(_mm_load_sd(&two));
}

inline void StoreTwoFloats(float* p, __m128 v) {
    const double two = _mm_cvtsd_f64(_mm_castps_pd(v));
    std::memcpy(p, &two, sizeof two);
}

// Singles 0 .. count - 1 (count <= 4) into the first lanes, the others 0,
// and back; nothing past the last is read or written.
inline __attribute__((always_inline)) __m128 LoadFewFloats(const float* p, uint32_t count) {
    if (count >= 4) return _mm_loadu_ps(p);
    if (count <= 1) return count == 1 ? _mm_load_ss(p) : _mm_setzero_ps();
    const __m128 two = LoadTwoFloats(p);
    return count == 2 ? two : _mm_movelh_ps(two, _mm_load_ss(p + 2));
}

inline __attribute__((always_inline)) void StoreFewFloats(float* p, __m128 v, uint32_t count) {
    if (count >= 4) return _mm_storeu_ps(p, v);
    if (count == 1) _mm_store_ss(p, v);
    if (count < 2) return;
    StoreTwoFloats(p, v);
    if (count == 3) _mm_store_ss(p + 2, _mm_movehl_ps(v, v));
}

}  // namespace koru
