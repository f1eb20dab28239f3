// bp_trainer.h - training a backpropagation net on a training set.
//
// The net is a chain of slabs: slab 0 the inputs, slabs 1..H the hidden
// layers, slab H+1 the outputs (one neuron per class, or one for a regressor),
// with link i from slab i to slab i+1. Each epoch visits the patterns in a
// shuffled order: PutSlab on slab 0, BpPropagate on slabs 1..H+1, BpEvaluate
// on the output slab, then BpTrain from slab H back to slab 0. The batch and
// adaptive rules apply their accumulated steps on the last pattern of the
// epoch.
#ifndef KORU_CLI_BP_TRAINER_H
#define KORU_CLI_BP_TRAINER_H

#include "bp_options.h"
#include "library_call.h"
#include "model_metadata.h"
#include "training_set.h"

#include <string>
#include <vector>

namespace koru_cli {

// Builds and trains the net in `slot`, records the settings in `metadata`.
void TrainBackprop(const NetSlot& slot, const BpOptions& options, const TrainingJob& job,
                   ModelMetadata& metadata);

// The output slab's values for one scaled input.
std::vector<float> BackpropOutputs(const int16_t* net, const ModelMetadata& metadata,
                                   const std::vector<float>& input);

}  // namespace koru_cli

#endif
