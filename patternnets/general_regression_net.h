// The general regression net (GRNN): continuous outputs as the kernel-weighted
// average of the stored target vectors.
//
// Variants (NetTypes 8 and 9) differ in the pattern slab's comparison and
// kernel: 0 squared distance, exp(-D2 / (2 s2)); 10 city-block distance,
// exp(-D1 / sigma). Propagating the pattern slab leaves the activations k_u
// and the denominator sum(c_u * k_u), summed in double precision, in the
// pattern slab; propagating the output slab divides the weighed targets by the
// denominator its first link's source slab last left.
//
// The export frames have run FindSlab and the paradigm checks; these routines
// do the rest and return its code.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

inline constexpr int kGrnnCityBlockVariant = VariantNumber(Variant::kCityBlock);

// The kernel of one pattern unit whose distance is `v`; sigma and sigma
// squared as 32-bit floats.
float GrnnKernel(float v, uint16_t variant, float sigma, float sigmaSquared);

// Computes the slab's values from its incoming links. 0; 16 for a slab other
// than an output slab that keeps no unit counts; 38 (every output 0.0) when
// the denominator is 0.0.
int16_t GrnnPropagateSlab(NetEntry& net, SlabRecord& slab, float sigma);

// Presents a target vector on an output slab: pattern 0 takes a new unit,
// pattern u re-presents unit u, lowering its count. 0, 16, 17 or 31.
int16_t GrnnEvaluateSlab(NetEntry& net, SlabRecord& slab, const float* targets, int16_t pattern);

// Stores the input slab's values as a unit's column (input slab) or the output
// slab's targets as its row, raising its count (pattern slab). 0, 16 or 31.
int16_t GrnnTrainSlab(NetEntry& net, SlabRecord& slab, int16_t pattern);

}  // namespace koru
