#include "backprop/fixed_rows_vector.h"

// The same builds as the vector clones (core/vector_clones.h): GCC on 64-bit
// ELF systems, AVX-512 left out by KORU32_VECTOR_PATHS_AVX2 and both by
// KORU32_NO_VECTOR_CLONES, so that the tests can run each copy.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    !defined(KORU32_NO_VECTOR_CLONES)
#define KORU_FIXED_LINK_AVX2 1
#if !defined(KORU32_VECTOR_PATHS_AVX2)
#define KORU_FIXED_LINK_AVX512 1
#endif
#endif

#if defined(KORU_FIXED_LINK_AVX2)
// GCC 12's intrinsics fill the unused operand of some conversions with a
// deliberately undefined register, which its own flow analysis then reports.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "core/lanes_avx512.h"
#endif

namespace koru::bp {

namespace {

// Up to this many registers of destination sums go through the rows in one
// pass: enough to hide the multiplications' latency, few enough to leave
// registers for the rows.
constexpr uint32_t kRegisters = 4;

#if defined(KORU_FIXED_LINK_AVX512)

#define KORU_AVX512 __attribute__((target("avx512f")))
#define KORU_AVX512_INLINE __attribute__((target("avx512f"), always_inline)) inline

// FixedMul of x (in every 32-bit lane) and each lane of w.
KORU_AVX512_INLINE __m512i FixedMul16(__m512i x, __m512i w) {
    const __m512i even = _mm512_srli_epi64(_mm512_mul_epi32(x, w), 24);
    const __m512i odd = _mm512_slli_epi64(_mm512_mul_epi32(x, _mm512_srli_epi64(w, 32)), 8);
    return _mm512_mask_blend_epi32(0xAAAA, even, odd);
}

// Whether every lane of the registers lies inside the bound (the lanes a
// block leaves unused hold 0).
template <uint32_t R>
KORU_AVX512_INLINE bool AllInside512(const __m512i* v, __m512i upper, __m512i lower) {
    __mmask16 inside = 0xFFFF;
    for (uint32_t r = 0; r < R; ++r) {
        inside &= _mm512_cmple_epi32_mask(v[r], upper) & _mm512_cmpge_epi32_mask(v[r], lower);
    }
    return inside == 0xFFFF;
}

// Columns 0 .. 16 R - 1 of the link, the last register holding the lanes of
// `last` only (masked lanes read and write no memory). While every neuron of
// the block is inside the bound, each term is added unmasked and the test
// only decides, in a branch the processor predicts, when to leave for the
// masked loop: the chain from one term to the next is then one addition
// instead of a comparison, a mask and an addition. Either loop adds exactly
// the terms the defined order takes.
template <uint32_t R>
KORU_AVX512_INLINE void FixedBlock16(int32_t* values, const int32_t* source, const int32_t* bias,
                                     uint32_t sources, uint32_t stride, int32_t bound, uint32_t rest) {
    const auto last = static_cast<__mmask16>((1u << rest) - 1u);
    const auto lanes = [last](uint32_t r) { return r + 1 == R ? last : __mmask16{0xFFFF}; };
    // The values in whole pieces (core/lanes_avx512.h): the stores just before
    // and the transfer's loads just after are then served at once.
    auto* const singles = reinterpret_cast<float*>(values);
    const __m512i upper = _mm512_set1_epi32(bound), lower = _mm512_set1_epi32(-bound);
    __m512i v[R];
    for (uint32_t r = 0; r < R; ++r) {
        const __m512i value = r + 1 == R ? _mm512_castps_si512(LoadPieces(singles + 16 * r, rest))
                                         : _mm512_loadu_si512(values + 16 * r);
        v[r] = _mm512_add_epi32(value,
                                _mm512_maskz_loadu_epi32(lanes(r), bias + 16 * r));
    }
    const int32_t* row = bias + stride;
    if (sources > 0) {
        const __m512i x = _mm512_set1_epi32(source[0]);
        for (uint32_t r = 0; r < R; ++r) {
            v[r] = _mm512_add_epi32(v[r], FixedMul16(x, _mm512_maskz_loadu_epi32(lanes(r), row + 16 * r)));
        }
    }
    uint32_t k = 1;
    for (; k < sources && AllInside512<R>(v, upper, lower); ++k) {
        row += stride;
        const __m512i x = _mm512_set1_epi32(source[k]);
        for (uint32_t r = 0; r < R; ++r) {
            v[r] = _mm512_add_epi32(v[r], FixedMul16(x, _mm512_maskz_loadu_epi32(lanes(r), row + 16 * r)));
        }
    }
    for (; k < sources; ++k) {
        row += stride;
        const __m512i x = _mm512_set1_epi32(source[k]);
        for (uint32_t r = 0; r < R; ++r) {
            const __mmask16 inside =
                _mm512_cmple_epi32_mask(v[r], upper) & _mm512_cmpge_epi32_mask(v[r], lower);
            const __m512i term = FixedMul16(x, _mm512_maskz_loadu_epi32(lanes(r), row + 16 * r));
            v[r] = _mm512_mask_add_epi32(v[r], inside, v[r], term);
        }
    }
    for (uint32_t r = 0; r + 1 < R; ++r) _mm512_storeu_si512(values + 16 * r, v[r]);
    StorePieces(singles + 16 * (R - 1), _mm512_castsi512_ps(v[R - 1]), rest);
}

KORU_AVX512 void FixedLink512(int32_t* values, const int32_t* source, const int32_t* bias, uint32_t sources,
                              uint32_t n, uint32_t stride, int32_t bound) {
    for (uint32_t j = 0; j < n; j += 16 * kRegisters) {
        const uint32_t columns = n - j < 16 * kRegisters ? n - j : 16 * kRegisters;
        const uint32_t registers = (columns + 15) / 16;
        const uint32_t rest = columns - 16 * (registers - 1);
        int32_t* v = values + j;
        const int32_t* b = bias + j;
        switch (registers) {
            case 1: FixedBlock16<1>(v, source, b, sources, stride, bound, rest); break;
            case 2: FixedBlock16<2>(v, source, b, sources, stride, bound, rest); break;
            case 3: FixedBlock16<3>(v, source, b, sources, stride, bound, rest); break;
            default: FixedBlock16<4>(v, source, b, sources, stride, bound, rest); break;
        }
    }
}

#endif  // KORU_FIXED_LINK_AVX512

#if defined(KORU_FIXED_LINK_AVX2)

#define KORU_AVX2 __attribute__((target("avx2")))
#define KORU_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

KORU_AVX2_INLINE __m256i FixedMul8(__m256i x, __m256i w) {
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(x, w), 24);
    const __m256i odd = _mm256_slli_epi64(_mm256_mul_epi32(x, _mm256_srli_epi64(w, 32)), 8);
    return _mm256_blend_epi32(even, odd, 0xAA);
}

template <uint32_t R>
KORU_AVX2_INLINE bool AllInside256(const __m256i* v, __m256i upper, __m256i lower) {
    __m256i outside = _mm256_setzero_si256();
    for (uint32_t r = 0; r < R; ++r) {
        outside = _mm256_or_si256(
            outside, _mm256_or_si256(_mm256_cmpgt_epi32(v[r], upper), _mm256_cmpgt_epi32(lower, v[r])));
    }
    return _mm256_testz_si256(outside, outside) != 0;
}

// As FixedBlock16 in registers of eight lanes; `last` holds all ones in the
// lanes of the last register in use (masked lanes read and write no memory).
template <uint32_t R>
KORU_AVX2_INLINE void FixedBlock8(int32_t* values, const int32_t* source, const int32_t* bias,
                                  uint32_t sources, uint32_t stride, int32_t bound, __m256i last) {
    __m256i lanes[R];
    for (uint32_t r = 0; r < R; ++r) lanes[r] = r + 1 == R ? last : _mm256_set1_epi32(-1);
    const __m256i upper = _mm256_set1_epi32(bound), lower = _mm256_set1_epi32(-bound);
    __m256i v[R];
    for (uint32_t r = 0; r < R; ++r) {
        v[r] = _mm256_add_epi32(_mm256_maskload_epi32(values + 8 * r, lanes[r]),
                                _mm256_maskload_epi32(bias + 8 * r, lanes[r]));
    }
    const int32_t* row = bias + stride;
    if (sources > 0) {
        const __m256i x = _mm256_set1_epi32(source[0]);
        for (uint32_t r = 0; r < R; ++r) {
            v[r] = _mm256_add_epi32(v[r], FixedMul8(x, _mm256_maskload_epi32(row + 8 * r, lanes[r])));
        }
    }
    uint32_t k = 1;
    for (; k < sources && AllInside256<R>(v, upper, lower); ++k) {
        row += stride;
        const __m256i x = _mm256_set1_epi32(source[k]);
        for (uint32_t r = 0; r < R; ++r) {
            v[r] = _mm256_add_epi32(v[r], FixedMul8(x, _mm256_maskload_epi32(row + 8 * r, lanes[r])));
        }
    }
    for (; k < sources; ++k) {
        row += stride;
        const __m256i x = _mm256_set1_epi32(source[k]);
        for (uint32_t r = 0; r < R; ++r) {
            const __m256i outside =
                _mm256_or_si256(_mm256_cmpgt_epi32(v[r], upper), _mm256_cmpgt_epi32(lower, v[r]));
            const __m256i term = FixedMul8(x, _mm256_maskload_epi32(row + 8 * r, lanes[r]));
            v[r] = _mm256_add_epi32(v[r], _mm256_andnot_si256(outside, term));
        }
    }
    for (uint32_t r = 0; r < R; ++r) _mm256_maskstore_epi32(values + 8 * r, lanes[r], v[r]);
}

KORU_AVX2 void FixedLink256(int32_t* values, const int32_t* source, const int32_t* bias, uint32_t sources,
                            uint32_t n, uint32_t stride, int32_t bound) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (uint32_t j = 0; j < n; j += 8 * kRegisters) {
        const uint32_t columns = n - j < 8 * kRegisters ? n - j : 8 * kRegisters;
        const uint32_t registers = (columns + 7) / 8;
        const int rest = static_cast<int>(columns - 8 * (registers - 1));
        const __m256i last = _mm256_cmpgt_epi32(_mm256_set1_epi32(rest), lane);
        int32_t* v = values + j;
        const int32_t* b = bias + j;
        switch (registers) {
            case 1: FixedBlock8<1>(v, source, b, sources, stride, bound, last); break;
            case 2: FixedBlock8<2>(v, source, b, sources, stride, bound, last); break;
            case 3: FixedBlock8<3>(v, source, b, sources, stride, bound, last); break;
            default: FixedBlock8<4>(v, source, b, sources, stride, bound, last); break;
        }
    }
}

#endif  // KORU_FIXED_LINK_AVX2

FixedLinkFunction Choose() {
#if defined(KORU_FIXED_LINK_AVX2)
    __builtin_cpu_init();  // may run before the runtime's own initialisation
#if defined(KORU_FIXED_LINK_AVX512)
    if (__builtin_cpu_supports("avx512f")) return FixedLink512;
#endif
    if (__builtin_cpu_supports("avx2")) return FixedLink256;
#endif
    return nullptr;
}

}  // namespace

// Chosen at the first call, so that a caller's own load-time initialiser may
// ask for it whatever the order of initialisation.
FixedLinkFunction VectorFixedLink() {
    static const FixedLinkFunction chosen = Choose();
    return chosen;
}

}  // namespace koru::bp
