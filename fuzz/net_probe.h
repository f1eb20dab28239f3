// Drives every export over every slab, link and store number of one net,
// with caller buffers of exactly the sizes the exports state, and checks
// the codes, that refused calls write no output, and that reading changes
// nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace koru_fuzz {

// Neuron count of a slab of a net in use, or 0 when the slab is not in use
// (the caller then hands a one-element buffer, which no answering export
// may touch).
uint32_t NeuronsOf(int16_t net, int16_t slab);
// Element counts of a link's weights and changes, and of a store record.
uint32_t WeightsOf(int16_t net, int16_t link);
uint32_t ChangesOf(int16_t net, int16_t link);
uint32_t StoreWidthOf(int16_t net, int16_t store);

// A caller buffer of `n` elements (at least one), filled with a pattern that
// no export writes, so that an output written on a refusal shows.
std::vector<float> OutputBuffer(uint32_t n);
bool Untouched(const std::vector<float>& buffer);
// Whether no element of `buffer` still holds the pattern.
bool AllWritten(const std::vector<float>& buffer);

// The reading exports on every object number of `net` (and a few numbers
// outside the ranges): documented codes, outputs only on success, and the
// engine's fingerprint unchanged.
void ProbeNet(int16_t net);

// The paradigm exports on every slab in use of `net` (and on one number that
// names no slab), in slab order, with ordinary arguments: documented codes
// and a consistent engine after each slab.
void ExerciseNet(int16_t net);

}  // namespace koru_fuzz
