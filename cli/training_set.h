// training_set.h - what a paradigm trainer is handed: scaled inputs, the
// vectors the output slab is to produce, and how to report its progress.
#ifndef KORU_CLI_TRAINING_SET_H
#define KORU_CLI_TRAINING_SET_H

#include "model_metadata.h"
#include "progress.h"
#include "training_curve.h"

#include <cstdint>
#include <random>
#include <vector>

namespace koru_cli {

struct PatternSet {
    std::vector<std::vector<float>> inputs;   // scaled as the model stores it
    std::vector<std::vector<float>> targets;  // classifiers: one-hot; regressors: the scaled target
    std::vector<int> classes;                 // classifiers: class index per pattern

    size_t Size() const { return inputs.size(); }
};

struct TrainingJob {
    Task task = Task::Classify;
    int classCount = 0;          // classifiers
    PatternSet train;
    PatternSet validation;       // may be empty
    uint32_t seed = 1;
    Progress* progress = nullptr;
    TrainingCurve* curve = nullptr;
};

// Adds one epoch's errors to the job's curve (the validation error only when
// there is a validation set) and shows them on its progress display.
void ReportEpoch(const TrainingJob& job, int epoch, double trainError, double validationError);

// The order in which a training epoch visits the patterns: a Fisher-Yates
// shuffle driven by the 32-bit Mersenne twister, whose output the C++
// standard fixes, so a seed gives the same order with every compiler.
void ShuffleOrder(std::vector<size_t>& order, std::mt19937& random);

}  // namespace koru_cli

#endif
