// The kernels of all pattern units in use, several units side by side: bit
// for bit PnnKernel or GrnnKernel of every unit.
#pragma once

#include <cstdint>

namespace koru {

// values[u] = PnnKernel(values[u], variant, sigmaSquared) for u < n.
void PnnKernels(float* values, uint32_t n, uint16_t variant, float sigmaSquared);
// values[u] = GrnnKernel(values[u], variant, sigma, sigmaSquared) for u < n,
// and the denominator sum(counts[u] * values[u]) over u < n of those
// activations: each product exact in double, the sum in double after every
// term, in unit order.
double GrnnKernelsAndDenominator(float* values, const float* counts, uint32_t n, uint16_t variant, float sigma,
                                 float sigmaSquared);

}  // namespace koru
