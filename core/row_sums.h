// Rows of a float32 weight matrix added into running float32 sums: the inner
// loop of the backpropagation forward pass and of the pattern units'
// comparison of an input with their stored patterns.
//
// For k = 0 .. rows - 1 in ascending order and every j < cols:
//     dest[j] = float(double(dest[j]) + term(double(source[k]), double(w[k][j])))
// where w[k][j] = weights[k * stride + j]: each term formed in double
// precision from two singles, added in double precision and the sum rounded
// to single after every term. Every destination neuron receives its terms in
// exactly this order whatever loop shape is used, so the result is the same
// bits as the plain loop, neuron by neuron.
#pragma once

#include <cstdint>

namespace koru {

// term = x * w (exact in double: two 24-bit mantissas)
void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride);
// term = |x - w|
void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                      uint32_t stride);
// term = (x - w) * (x - w)
void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                    uint32_t stride);

// Whether the loops holding blocks of destination sums in 512-bit registers
// are used (on by default where the processor has them). Tests switch them
// off to check the portable loops on the same machine; returns the previous
// setting. Not for use while other threads run these loops.
bool UseWideRowSums(bool use);

}  // namespace koru
