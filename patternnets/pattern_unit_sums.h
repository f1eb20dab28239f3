// The accumulation routines of the pattern-unit nets: how one link adds its
// contribution to the values of its destination slab.
//
// Into the pattern slab (a link whose source is not a hidden slab) only the
// first `units` destination neurons are computed, each from every source
// neuron: the comparison of the input with each stored pattern. Out of the
// pattern slab (a link whose source is a hidden slab) every destination neuron
// takes the first `units` source neurons: the activations weighed by the stored
// targets. Pattern units beyond those in use cost nothing.
//
// Every term is formed in double precision from two 32-bit floats, added to
// the destination value in double precision, and the sum is stored back as a
// 32-bit float after every term. The routines add and never clear.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

// x * w
void SumDot(LinkRecord& link, int32_t units);
// |x - w|
void SumCityBlock(LinkRecord& link, int32_t units);
// (x - w) * (x - w)
void SumSquared(LinkRecord& link, int32_t units);

using LinkSum = void (*)(LinkRecord& link, int32_t units);

// Adds, with `sum`, every incoming link of the slab that is not ignored, in
// the order of its list; false when there is none (the values are then left
// as they are).
bool SumActiveLinks(SlabRecord& slab, LinkSum sum, int32_t units);

}  // namespace koru
