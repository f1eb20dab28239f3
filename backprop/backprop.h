// The backpropagation routines behind the exports: the forward pass,
// evaluation against targets, training, and the scaled addition of slabs.
//
// Every routine takes the float or fixed-point path once per call, by the
// net's number format: all arrays of a net are float32 when its format is 3
// and 8.24 fixed point otherwise.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru::bp {

inline bool IsFloatFormat(uint16_t format) { return format == kFloat32; }

// Computes the slab from its incoming links of status 1 or 2 and, when at
// least one contributed, its transfer function. `floatNet` is the net's
// format test.
void PropagateSlab(SlabRecord& slab, bool floatNet);

// Applies the slab's transfer function to every neuron in place, keeping
// the inputs in `sums` for the codes whose derivative needs them.
void ApplyTransfer(SlabRecord& slab, bool floatNet);

// Where the targets of an evaluation come from and how they are held.
struct Targets {
    enum Kind : uint8_t {
        kFloats,    // caller's float array, or a float32 store
        kIntegers,  // caller's 16-bit integers scaled by 10000
        kFixed,     // an 8.24 store
    };
    Kind kind;
    const void* data;
    // Number of targets that exist from `data` on; neurons past it get none.
    uint32_t available;
};

// Compares the output slab with the targets: writes each neuron's output
// delta (for transfer codes 0..7) and returns the sum of squared errors of
// this pattern. The caller decides what to do with the slab's errorSum.
double EvaluateSlab(SlabRecord& slab, bool floatNet, const Targets& targets);

// The training parameters of one BpTrain call: the rate and the momentum as
// the caller gave them (single precision), and the batch apply flag.
struct TrainingParameters {
    float rate;
    float momentum;
    uint16_t apply;
};

// Trains the links of status 2 that leave the slab with the deltas of the
// slabs they feed, by the net type's training rule, and leaves the slab's own
// deltas for the next call further back.
void TrainSlab(SlabRecord& slab, bool floatNet, TrainingRule rule, const TrainingParameters& parameters);

// Adds factor times the source slab's values to the destination slab's, as
// many as the smaller slab has, each side read and written in its own format.
void AddSlabValues(const SlabRecord& source, SlabRecord& dest, double factor);

}  // namespace koru::bp
