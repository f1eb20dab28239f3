// The dot-product row sums (core/row_sums.h) over a few columns, each step
// taken as one fused multiply-add in single precision and checked.
//
// The defined step rounds the exact sum of the running single and the exact
// product to double and then to single; a fused multiply-add rounds the same
// exact sum once, to single. The two differ only where the first rounding
// lands on a tie between two singles that the exact sum was not on, which
// is rare. So the chain of each sum runs on fused steps (a third of the wait
// of widening, adding and rounding), while beside it, off the chain, the
// defined step is computed from the same running sum and the two results are
// compared bit for bit. Equal at every step, each fused step started from
// the value the defined loop holds there, so the sums are the defined ones;
// at any difference nothing is stored and the caller runs a defined loop.
#pragma once

#include <cstdint>

#include "core/vector_clones.h"

#if defined(KORU_WIDE_ROW_SUMS)

namespace koru::fused {

inline constexpr uint32_t kMaxColumns = 32;

// As koru::AddRowsDot for 1 <= cols <= kMaxColumns, and true; false, with
// dest as it was, where a step differs (or for another count). Only where
// the processor has 512-bit registers (koru::wide::Supported).
bool AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride);

}  // namespace koru::fused

#endif
