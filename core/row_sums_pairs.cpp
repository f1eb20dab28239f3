#include "core/row_sums_pairs.h"

#if defined(KORU_PAIR_ROW_SUMS)

#include <emmintrin.h>

#include <utility>

#include "core/two_floats.h"

namespace koru::pairs {

namespace {

struct Dot {
    static __m128d Of(__m128d x, __m128d w) { return _mm_mul_pd(x, w); }
};
struct CityBlock {
    static __m128d Of(__m128d x, __m128d w) { return _mm_andnot_pd(_mm_set1_pd(-0.0), _mm_sub_pd(x, w)); }
};
struct Squared {
    static __m128d Of(__m128d x, __m128d w) {
        const __m128d difference = _mm_sub_pd(x, w);
        return _mm_mul_pd(difference, difference);
    }
};

// Two singles widened to a pair of doubles, or one into the low lane (the
// high lane 0, and nothing read past the element).
__m128d LoadPair(const float* p) { return _mm_cvtps_pd(LoadTwoFloats(p)); }
__m128d LoadOne(const float* p) { return _mm_cvtps_pd(_mm_load_ss(p)); }

__m128d RoundedToSingle(__m128d sum) { return _mm_cvtps_pd(_mm_cvtpd_ps(sum)); }

void StorePair(float* p, __m128d sum) { StoreTwoFloats(p, _mm_cvtpd_ps(sum)); }
void StoreOne(float* p, __m128d sum) { _mm_store_ss(p, _mm_cvtpd_ps(sum)); }

// Columns 0 .. 2 Pairs - 1 in pairs and, if Odd, column 2 Pairs alone.
template <typename Term, uint32_t Pairs, bool Odd>
void AddColumns(float* dest, const float* source, const float* w, uint32_t rows, uint32_t stride) {
    constexpr uint32_t kRegisters = Pairs + (Odd ? 1 : 0);
    __m128d sum[kRegisters];
    for (uint32_t r = 0; r < Pairs; ++r) sum[r] = LoadPair(dest + 2 * r);
    if constexpr (Odd) sum[Pairs] = LoadOne(dest + 2 * Pairs);
    for (uint32_t k = 0; k < rows; ++k, w += stride) {
        const __m128d x = _mm_set1_pd(static_cast<double>(source[k]));
        for (uint32_t r = 0; r < kRegisters; ++r) {
            const __m128d weight = Odd && r == Pairs ? LoadOne(w + 2 * r) : LoadPair(w + 2 * r);
            sum[r] = RoundedToSingle(_mm_add_pd(sum[r], Term::Of(x, weight)));
        }
    }
    for (uint32_t r = 0; r < Pairs; ++r) StorePair(dest + 2 * r, sum[r]);
    if constexpr (Odd) StoreOne(dest + 2 * Pairs, sum[Pairs]);
}

using RowsFunction = void (*)(float*, const float*, const float*, uint32_t, uint32_t);

// The copy for each column count kFirstColumns .. kLastColumns.
template <typename Term, size_t... Index>
void AddRowsOfWidth(std::index_sequence<Index...>, float* dest, const float* source, const float* weights,
                    uint32_t rows, uint32_t cols, uint32_t stride) {
    static constexpr RowsFunction kByColumns[] = {
        &AddColumns<Term, (kFirstColumns + Index) / 2, (kFirstColumns + Index) % 2 == 1>...};
    if (cols >= kFirstColumns && cols <= kLastColumns) {
        kByColumns[cols - kFirstColumns](dest, source, weights, rows, stride);
    }
}

template <typename Term>
void AddRows(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
             uint32_t stride) {
    AddRowsOfWidth<Term>(std::make_index_sequence<kLastColumns - kFirstColumns + 1>{}, dest, source, weights,
                         rows, cols, stride);
}

}  // namespace

void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride) {
    AddRows<Dot>(dest, source, weights, rows, cols, stride);
}

void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                      uint32_t stride) {
    AddRows<CityBlock>(dest, source, weights, rows, cols, stride);
}

void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                    uint32_t stride) {
    AddRows<Squared>(dest, source, weights, rows, cols, stride);
}

}  // namespace koru::pairs

#endif
