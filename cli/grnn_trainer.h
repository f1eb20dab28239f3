// grnn_trainer.h - storing a training set in a general regression net (GRNN).
//
// The same three slabs and two links as a PNN, with one output neuron for
// the scaled target. Each pattern is stored by PutSlab, GrnnEvaluate with its
// target and pattern 0, GrnnTrain on slab 0 and on slab 1. An estimate is
// GrnnPropagate on slab 1 (which forms the denominator) and then on slab 2.
#ifndef KORU_CLI_GRNN_TRAINER_H
#define KORU_CLI_GRNN_TRAINER_H

#include "kernel_options.h"
#include "library_call.h"
#include "model_metadata.h"
#include "training_set.h"

#include <vector>

namespace koru_cli {

void TrainGrnn(const NetSlot& slot, const KernelOptions& options, const TrainingJob& job,
               ModelMetadata& metadata);

// The estimate for one scaled input; `undefined` is set (and the estimate is
// 0) when every pattern unit's activation underflowed to 0, which the
// library reports as a zero denominator.
float GrnnEstimate(const int16_t* net, const std::vector<float>& input, float sigma, bool& undefined);

}  // namespace koru_cli

#endif
