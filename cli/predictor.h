// predictor.h - one prediction from raw CSV values, whatever the paradigm.
//
// Scales the inputs as the model stores it, runs the paradigm's recall, and
// turns the outputs into a class (the highest score; the winning unit's class
// for LVQ) or a value (the output mapped back to the target's units). When a
// kernel net has no stored pattern near enough to decide (every PNN score 0,
// or a GRNN zero denominator), the prediction is marked undefined and takes
// the model's fallback: the most frequent training class, or the mean
// training target.
#ifndef KORU_CLI_PREDICTOR_H
#define KORU_CLI_PREDICTOR_H

#include "model_metadata.h"
#include "paradigm.h"

#include <cstdint>
#include <vector>

namespace koru_cli {

struct Prediction {
    int classIndex = -1;        // classifiers
    double value = 0.0;         // regressors, in the target's units
    std::vector<float> scores;  // classifiers with graded scores: one per class
    bool undefined = false;
};

// Index of the highest value, the lowest index on a tie.
size_t ArgMax(const std::vector<float>& values);

class Predictor {
public:
    Predictor(const int16_t* net, const ModelMetadata& metadata);

    std::vector<float> ScaleInput(const std::vector<double>& raw) const;
    Prediction Predict(const std::vector<double>& raw) const { return PredictScaled(ScaleInput(raw)); }
    Prediction PredictScaled(const std::vector<float>& scaled) const;

private:
    const int16_t* net_;
    const ModelMetadata& metadata_;
};

}  // namespace koru_cli

#endif
