#include "core/row_sums_fused.h"

#if defined(KORU_WIDE_ROW_SUMS)

// GCC 12's intrinsics fill the unused operand of some conversions with a
// deliberately undefined register, which its own flow analysis then reports.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "core/lanes_avx512.h"

#define KORU_FUSED __attribute__((target("avx512f")))
#define KORU_FUSED_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace koru::fused {

namespace {

// The defined step on eight lanes: the running single widened, the exact
// product added in double, the sum rounded to single.
KORU_FUSED_INLINE __m256 DefinedStep(__m256 sum, __m512d x, __m256 w) {
    return _mm512_cvtpd_ps(_mm512_add_pd(_mm512_cvtps_pd(sum), _mm512_mul_pd(x, _mm512_cvtps_pd(w))));
}

KORU_FUSED_INLINE __m512i BitsOf(__m256 low, __m256 high) {
    return _mm512_castpd_si512(
        _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(low)), _mm256_castps_pd(high), 1));
}

// Columns 0 .. cols - 1 in Registers registers of sixteen, the last holding
// the rest (eight at most unless LastTwoHalves); its unused lanes read no
// memory and are not compared. Short sums and weight rows are loaded and
// stored in whole pieces (core/lanes_avx512.h).
template <uint32_t Registers, bool LastTwoHalves>
KORU_FUSED_INLINE bool AddColumns(float* dest, const float* source, const float* w, uint32_t rows,
                                  uint32_t stride, uint32_t cols) {
    constexpr uint32_t kLast = Registers - 1;
    const uint32_t rest = cols - 16 * kLast;
    const auto lanes = static_cast<__mmask16>((1u << rest) - 1u);
    __m512 sum[Registers];
    for (uint32_t r = 0; r < kLast; ++r) sum[r] = _mm512_loadu_ps(dest + 16 * r);
    sum[kLast] = LoadPieces(dest + 16 * kLast, rest);
    // The bits where the two steps differ, gathered over the rows.
    __m512i differ[Registers];
    for (uint32_t r = 0; r < Registers; ++r) differ[r] = _mm512_setzero_si512();
    for (uint32_t k = 0; k < rows; ++k, w += stride) {
        const __m512 x = _mm512_set1_ps(source[k]);
        const __m512d xWide = _mm512_set1_pd(source[k]);
        for (uint32_t r = 0; r < Registers; ++r) {
            const __m512 weight = r < kLast ? _mm512_loadu_ps(w + 16 * r) : LoadPieces(w + 16 * kLast, rest);
            const __m512 next = _mm512_fmadd_ps(x, weight, sum[r]);
            const __m256 low = DefinedStep(LowHalf(sum[r]), xWide, LowHalf(weight));
            const __m256 high = r < kLast || LastTwoHalves ? DefinedStep(HighHalf(sum[r]), xWide, HighHalf(weight))
                                                           : _mm256_setzero_ps();
            differ[r] = _mm512_or_si512(differ[r], _mm512_xor_si512(BitsOf(low, high), _mm512_castps_si512(next)));
            sum[r] = next;
        }
    }
    __mmask16 anyDiffer = _mm512_test_epi32_mask(differ[kLast], differ[kLast]) & lanes;
    for (uint32_t r = 0; r < kLast; ++r) anyDiffer |= _mm512_test_epi32_mask(differ[r], differ[r]);
    if (anyDiffer != 0) return false;
    for (uint32_t r = 0; r < kLast; ++r) _mm512_storeu_ps(dest + 16 * r, sum[r]);
    StorePieces(dest + 16 * kLast, sum[kLast], rest);
    return true;
}

}  // namespace

KORU_FUSED bool AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                           uint32_t stride) {
    if (cols == 0 || cols > kMaxColumns) return false;
    if (cols <= 8) return AddColumns<1, false>(dest, source, weights, rows, stride, cols);
    if (cols <= 16) return AddColumns<1, true>(dest, source, weights, rows, stride, cols);
    if (cols <= 24) return AddColumns<2, false>(dest, source, weights, rows, stride, cols);
    return AddColumns<2, true>(dest, source, weights, rows, stride, cols);
}

}  // namespace koru::fused

#endif
