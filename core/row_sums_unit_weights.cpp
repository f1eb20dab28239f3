#include "core/row_sums_unit_weights.h"

#if defined(KORU_UNIT_WEIGHT_ROW_SUMS)

#include <emmintrin.h>

#include <utility>

#include "core/two_floats.h"

namespace koru::unit_weights {

namespace {

// Columns 0 .. 4 Quads - 1 four to a register, then Rest in one more.
template <uint32_t Quads, uint32_t Rest>
bool AddColumns(float* dest, const float* source, const float* w, uint32_t rows, uint32_t stride) {
    constexpr uint32_t kRegisters = Quads + (Rest > 0 ? 1 : 0);
    const auto load = [](const float* p, uint32_t r) {
        if constexpr (Rest == 0) {
            return LoadFewFloats(p + 4 * r, 4);
        } else {
            return r < Quads ? LoadFewFloats(p + 4 * r, 4) : LoadFewFloats(p + 4 * r, Rest);
        }
    };
    __m128 sum[kRegisters];
    for (uint32_t r = 0; r < kRegisters; ++r) sum[r] = load(dest, r);
    const __m128 one = _mm_set1_ps(1.0f), zero = _mm_setzero_ps();
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (uint32_t k = 0; k < rows; ++k, w += stride) {
        __m128 weight[kRegisters];
        __m128 units = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (uint32_t r = 0; r < kRegisters; ++r) {
            weight[r] = load(w, r);
            const __m128 unit =
                _mm_or_ps(_mm_cmpeq_ps(weight[r], zero), _mm_cmpeq_ps(_mm_and_ps(weight[r], magnitude), one));
            units = _mm_and_ps(units, unit);
        }
        if (_mm_movemask_ps(units) != 0xF) return false;
        const __m128 x = _mm_set1_ps(source[k]);
        for (uint32_t r = 0; r < kRegisters; ++r) sum[r] = _mm_add_ps(sum[r], _mm_mul_ps(x, weight[r]));
    }
    for (uint32_t r = 0; r < Quads; ++r) StoreFewFloats(dest + 4 * r, sum[r], 4);
    if constexpr (Rest > 0) StoreFewFloats(dest + 4 * Quads, sum[Quads], Rest);
    return true;
}

using RowsFunction = bool (*)(float*, const float*, const float*, uint32_t, uint32_t);

template <size_t... Index>
bool AddRowsOfWidth(std::index_sequence<Index...>, float* dest, const float* source, const float* weights,
                    uint32_t rows, uint32_t cols, uint32_t stride) {
    static constexpr RowsFunction kByColumns[] = {&AddColumns<(Index + 1) / 4, (Index + 1) % 4>...};
    return cols >= 1 && cols <= kMaxColumns && kByColumns[cols - 1](dest, source, weights, rows, stride);
}

}  // namespace

bool AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride) {
    return AddRowsOfWidth(std::make_index_sequence<kMaxColumns>{}, dest, source, weights, rows, cols, stride);
}

}  // namespace koru::unit_weights

#endif
