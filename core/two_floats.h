// Two adjacent singles into the low half of a 128-bit register (the high
// half 0) and back, through a copy: the address need not suit a double, and
// nothing past the second single is read or written.
#pragma once

#include <emmintrin.h>

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

}  // namespace koru
