// The error shares of several source neurons summed side by side.
//
// Source neuron r - 1's share is a running sum across weight row r, in
// ascending destination order, each addition rounded to single precision (or
// wrapped at 32 bits) as if stored: a chain in which every addition waits
// for the one before. The chains of different source neurons are
// independent, so the rows are taken eight at a time, each destination step
// adding one term to each of the eight sums: every sum keeps its own order
// and roundings, and the processor works on eight chains at once instead of
// waiting on one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

inline constexpr uint32_t kSharedRows = 8;

// shares[i] += sum over j of delta[j] x rows[i x stride + j], i < kSharedRows.
KORU_INLINE_INTO_CLONES void AddSharesOfRowsFloat(float* __restrict shares, const float* __restrict rows,
                                                  uint32_t stride, const float* __restrict delta, uint32_t n) {
    float running[kSharedRows];
    for (uint32_t i = 0; i < kSharedRows; ++i) running[i] = shares[i];
    for (uint32_t j = 0; j < n; ++j) {
        const double d = delta[j];
        for (uint32_t i = 0; i < kSharedRows; ++i) {
            running[i] = static_cast<float>(running[i] + d * rows[size_t{i} * stride + j]);
        }
    }
    for (uint32_t i = 0; i < kSharedRows; ++i) shares[i] = running[i];
}

// One row: shares[0] += sum over j of delta[j] x row[j].
KORU_INLINE_INTO_CLONES void AddShareOfRowFloat(float* __restrict share, const float* __restrict row,
                                                const float* __restrict delta, uint32_t n) {
    float running = *share;
    for (uint32_t j = 0; j < n; ++j) running = static_cast<float>(running + static_cast<double>(delta[j]) * row[j]);
    *share = running;
}

KORU_INLINE_INTO_CLONES void AddSharesOfRowsFixed(int32_t* __restrict shares, const int32_t* __restrict rows,
                                                  uint32_t stride, const int32_t* __restrict delta, uint32_t n) {
    int32_t running[kSharedRows];
    for (uint32_t i = 0; i < kSharedRows; ++i) running[i] = shares[i];
    for (uint32_t j = 0; j < n; ++j) {
        const int32_t d = delta[j];
        for (uint32_t i = 0; i < kSharedRows; ++i) {
            running[i] = WrapAdd(running[i], FixedMul(d, rows[size_t{i} * stride + j]));
        }
    }
    for (uint32_t i = 0; i < kSharedRows; ++i) shares[i] = running[i];
}

KORU_INLINE_INTO_CLONES void AddShareOfRowFixed(int32_t* __restrict share, const int32_t* __restrict row,
                                                const int32_t* __restrict delta, uint32_t n) {
    int32_t running = *share;
    for (uint32_t j = 0; j < n; ++j) running = WrapAdd(running, FixedMul(delta[j], row[j]));
    *share = running;
}

}  // namespace koru::bp
