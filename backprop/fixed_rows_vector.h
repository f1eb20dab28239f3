// The 8.24 forward pass over one link in explicit vector registers: the bias
// row and the source rows added into the destination values.
//
// The portable loop leaves the 8.24 product to the compiler, which widens
// both factors to 64 bits and builds a full 64 x 64 multiplication out of
// three 32-bit ones. Here each lane's product is one signed 32 x 32 -> 64
// multiplication (even and odd lanes apart), shifted right by 24 and cut to
// its low 32 bits: the floor of the exact product with the 32-bit wrap, the
// bits of FixedMul. The destination sums stay in registers while every row
// of the link is added, each neuron still taking, in ascending order, its
// bias, its first source term, and each later term only while its running
// value lies inside the bound; so every neuron's bits are the plain loop's.
#pragma once

#include <cstdint>

namespace koru::bp {

// values[j] += bias[j], then source term 0, then source terms 1.. while the
// running value lies inside +-bound, for j < n; row k of the source terms at
// bias + (k + 1) * stride. Reads and writes no element past column n - 1.
using FixedLinkFunction = void (*)(int32_t* values, const int32_t* source, const int32_t* bias,
                                   uint32_t sources, uint32_t n, uint32_t stride, int32_t bound);

// The widest copy this processor runs (AVX-512, else AVX2), or null where the
// build or the processor has none; chosen once when the library loads.
FixedLinkFunction VectorFixedLink();

}  // namespace koru::bp
