// Learning vector quantisation: a competitive layer whose units each hold one
// weight vector (a column of the link from the input slab). The exports score
// the units, pick the winner, and train the winner's grid neighbourhood.
//
// Every routine takes the net's number format, chosen once per call: float32
// arrays take the floating-point path, anything else the 8.24 path.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

// LVQ variants, as a net records them.
inline constexpr uint16_t kLvqDistance = VariantNumber(Variant::kPlain);  // squared Euclidean distance, smallest wins
inline constexpr uint16_t kLvqDot = VariantNumber(Variant::kDotProduct);  // dot product with unit-length columns, largest wins

// Scores every unit of `output` against the values of the source slabs of
// its incoming links that are not ignored; scores of several links add up.
void ScoreUnits(SlabRecord& output, uint16_t variant, uint16_t format);

// Ranks the values `output` holds, records the winner (from 0) in its
// `winner` field and returns it; `oneHot` replaces the values by the winner
// code (1 at the winner, 0 elsewhere).
uint16_t PickWinner(SlabRecord& output, uint16_t variant, uint16_t format, bool oneHot);

// Moves the weights of every trained outgoing link of `input`: the units
// within `radius` grid steps of the destination slab's winner, on a grid of
// `width` columns, each by `rate` of its distance to the input pattern.
void TrainNeighbourhoods(SlabRecord& input, float rate, int16_t radius, int16_t width, uint16_t format);

}  // namespace koru
