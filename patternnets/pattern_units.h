// The pattern units of a probabilistic or general regression net: how many are
// in use, which one an evaluation or a training call addresses, and whether
// that unit lies within the arrays the call reaches.
//
// Pattern unit u is neuron u - 1 of the pattern slab, column u - 1 of the
// input link's weights and row u - 1 of the output link's weights. Units
// 1 .. patternCount are in use; PutCounts can set patternCount to anything, so
// every routine here keeps a unit within the arrays it names before anything
// is written.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

// The units in use as propagation counts them: a patternCount set below zero
// stands for none. The accumulation routines cut a count beyond the arrays.
inline int32_t UnitsInUse(const NetEntry& net) { return net.patternCount < 0 ? 0 : net.patternCount; }

inline bool IsActive(const LinkRecord& link) { return link.status != KORU32_LINK_IGNORED; }
inline bool IsTrained(const LinkRecord& link) { return link.status == KORU32_LINK_TRAINED; }

// The per-neuron counts of a slab as 32-bit floats, or null when the slab has
// none (only a PNN output slab and a GRNN pattern slab keep them).
float* CountsOf(SlabRecord& slab);

// Evaluation with pattern 0 on an output slab: takes the next free unit and
// raises patternCount. The capacity is the neuron count of the source slab of
// the output slab's first incoming link; an output slab without one has no
// capacity and gets 17, a full net 31. A negative patternCount counts as no
// unit in use, so the new unit is unit 1.
int16_t TakeNewUnit(NetEntry& net, const SlabRecord& output, uint16_t& unit);

// Re-presentation of unit `pattern`: 31 unless it lies in 1 .. patternCount.
int16_t PresentedUnit(const NetEntry& net, int16_t pattern, uint16_t& unit);

// The unit a training call writes: pattern 0 names unit patternCount (the last
// unit taken), any other pattern unit `pattern`. 31 when it names no unit in
// use, also for pattern 0 while patternCount is 0 or below (unit 0 lies
// before the arrays).
int16_t TrainedUnit(const NetEntry& net, int16_t pattern, uint16_t& unit);

// Whether `unit` has its column (input slab) or its row (any other slab) in
// the weights of every trained outgoing link of `slab`. False only when
// patternCount has been set beyond what the links hold.
bool FitsTrainedLinks(const SlabRecord& slab, uint16_t unit);

}  // namespace koru
