// The logistic of a whole slab in 512-bit registers by a shorter route, each
// result kept only where it provably has the bits of the defined function.
#pragma once

#include <cstdint>

#include "core/vector_clones.h"

#if defined(KORU_WIDE_ROW_SUMS)

namespace koru::bp::checked {

// values[j] = TransferFloat<KORU32_TRANSFER_LOGISTIC>(values[j]) for j < n,
// bit for bit; only where the processor has 512-bit registers
// (koru::wide::Supported). Returns how many neurons were left to the
// defined function.
uint32_t LogisticOfSlab(float* values, uint32_t n);

}  // namespace koru::bp::checked

#endif
