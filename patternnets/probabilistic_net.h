// The probabilistic net (PNN): classification by kernel-weighted comparison of
// the input with every stored training pattern, averaged class by class.
//
// Variants (NetTypes 6, 7 and 10) differ in the pattern slab's comparison and
// kernel: 0 squared distance, exp(-D2 / (2 s2)); 7 dot product,
// exp((z - 1) / s2); 10 city-block distance, exp(-D1 / s2). The output slab
// weighs the activations by the stored class vectors and divides each class by
// its count of pattern units. Everything is computed in 32-bit floats in place.
//
// The export frames have run FindSlab and the paradigm checks; these routines
// do the rest and return its code.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

inline constexpr int kPnnDotVariant = VariantNumber(Variant::kDotProduct);
inline constexpr int kPnnCityBlockVariant = VariantNumber(Variant::kCityBlock);

// The activation cap of the dot-product variant: the single-precision float
// nearest 7.2e10 (bits 0x51861C46), just below e^25.
inline constexpr float kPnnActivationCap = 71999995904.0f;

// The kernel of one pattern unit whose comparison value is `v`, with s2 = sigma
// squared in single precision.
float PnnKernel(float v, uint16_t variant, float sigmaSquared);

// Computes the slab's values from its incoming links: kernel activations on
// the pattern slab, class scores on an output slab. 0, or 16 for an output
// slab that keeps no class counts.
int16_t PnnPropagateSlab(NetEntry& net, SlabRecord& slab, float sigma);

// Presents a class vector on an output slab: pattern 0 takes a new unit,
// pattern u re-presents unit u, moving the class counts from its stored class
// vector to the new one. 0, 16, 17 or 31.
int16_t PnnEvaluateSlab(NetEntry& net, SlabRecord& slab, const float* targets, int16_t pattern);

// Stores the input slab's values (input slab) or the output slab's class vector
// (pattern slab) as a pattern unit's column or row. 0 or 31.
int16_t PnnTrainSlab(NetEntry& net, SlabRecord& slab, int16_t pattern);

}  // namespace koru
