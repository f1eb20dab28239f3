// The ceiling that the float forward pass's arithmetic allows on one core:
// every term x * w formed exactly in double from two floats, added to the
// running value in double and rounded to single after each addition, the
// destination neurons side by side and several source rows per pass, on
// weights that sit in the first-level cache. No library loop can beat it
// without changing the arithmetic; the benchmark prints the fraction of it
// that a forward pass reaches.
#pragma once

#include <cstdint>

namespace bench {

// values[j] takes, for k = 0 .. rows - 1 in order, the term x[k] * w[k * cols + j].
void CeilingLayer(const float* x, const float* weights, float* values, uint32_t rows, uint32_t cols);

// Terms per second of CeilingLayer on a rows x cols layer, best of a few
// timed runs of about `seconds` in all.
double CeilingTermsPerSecond(uint32_t rows, uint32_t cols, double seconds);

}  // namespace bench
