// The float transfer functions built on the exponential (codes 0, 3, 6 and
// 7), applied to a whole slab several neurons side by side: bit for bit
// TransferFloat of every neuron.
#pragma once

#include <cstdint>

namespace koru::bp {

// values[j] = TransferFloat<code>(values[j]) for j < n; the Gaussian forms
// keep each input in sums[j] as TransferFloat does.
void LogisticOfSlab(float* values, uint32_t n);
void SymmetricLogisticOfSlab(float* values, uint32_t n);
void GaussianOfSlab(float* values, float* sums, uint32_t n);
void GaussianComplementOfSlab(float* values, float* sums, uint32_t n);

}  // namespace koru::bp
