// The dot-product row sums (core/row_sums.h) over a few columns whose weights
// are all 0, 1 or -1: the link out of the pattern units of a classifier, one
// row per stored pattern holding its class as ones and zeros.
//
// Each product is then exact in single precision, and a sum of two singles
// rounded to double and then to single is the sum rounded once to single (a
// double holds more than twice the bits of a single), so the chains run in
// single precision, four columns to a register, with the same bits and a
// third of the wait per row. The weights are checked row by row as they are
// added.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#define KORU_UNIT_WEIGHT_ROW_SUMS 1
#endif

namespace koru::unit_weights {

inline constexpr uint32_t kMaxColumns = 15;

#if defined(KORU_UNIT_WEIGHT_ROW_SUMS)
// As koru::AddRowsDot for 1 <= cols <= kMaxColumns; false, with dest as it
// was, at the first weight that is not 0, 1 or -1 (or for another count).
bool AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride);
#endif

}  // namespace koru::unit_weights
