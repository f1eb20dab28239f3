// The row sums (core/row_sums.h) for a few columns, the running sums held two
// to a 128-bit register.
//
// The time goes to the chain of each sum (widen, add, round to single, once
// per row) and to the conversions, which the processor runs one at a time. A
// pair of doubles goes through the chain as fast as one scalar does (the
// conversions of wider registers cross their halves and take longer), with
// half the conversions of the scalar chains: for eight to fifteen columns
// the pairs finish first. Each lane performs exactly the scalar steps.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#define KORU_PAIR_ROW_SUMS 1
#endif

namespace koru::pairs {

// The column counts that go two to a register.
inline constexpr uint32_t kFirstColumns = 8;
inline constexpr uint32_t kLastColumns = 15;

#if defined(KORU_PAIR_ROW_SUMS)
// As AddRowsDot, AddRowsCityBlock and AddRowsSquared, for kFirstColumns <=
// cols <= kLastColumns; any other count adds nothing.
void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride);
void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                      uint32_t stride);
void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                    uint32_t stride);
#endif

}  // namespace koru::pairs
