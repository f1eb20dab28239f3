// pnn_trainer.h - storing a training set in a probabilistic net (PNN).
//
// Slab 0 holds the inputs, slab 1 one pattern unit per training pattern,
// slab 2 one neuron per class; link 0 runs from slab 0 to slab 1 and link 1
// from slab 1 to slab 2. Each pattern is stored in one pass: PutSlab,
// PnnEvaluate with its class vector and pattern 0, PnnTrain on slab 0 and on
// slab 1. A pattern is classified by PnnPropagate on slabs 1 and 2 and the
// class with the highest score (the lowest class number on a tie).
#ifndef KORU_CLI_PNN_TRAINER_H
#define KORU_CLI_PNN_TRAINER_H

#include "kernel_options.h"
#include "library_call.h"
#include "model_metadata.h"
#include "training_set.h"

#include <vector>

namespace koru_cli {

// Builds the net in `slot`, stores every training pattern, picks the
// smoothing factor as asked and records the settings in `metadata`.
void TrainPnn(const NetSlot& slot, const KernelOptions& options, const TrainingJob& job,
              ModelMetadata& metadata);

// The class scores for one scaled input with smoothing factor `sigma`;
// `undefined` is set when every score is 0 (no stored pattern near enough).
std::vector<float> PnnScores(const int16_t* net, size_t classes, const std::vector<float>& input,
                             float sigma, bool& undefined);

// Index of the highest value, the lowest index on a tie.
size_t ArgMax(const std::vector<float>& values);

}  // namespace koru_cli

#endif
