// The row sums (core/row_sums.h) for processors with 512-bit vector
// registers, where the toolchain can choose them at run time.
#pragma once

#include <cstdint>

#include "core/vector_clones.h"

#if defined(KORU_WIDE_ROW_SUMS)

namespace koru::wide {

bool Supported();

// Any cols >= 1; same contract and bits as the portable loops.
void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride);
void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                      uint32_t stride);
void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                    uint32_t stride);

}  // namespace koru::wide

#endif
