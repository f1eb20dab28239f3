// predictor.cpp - scaling, recall and decoding of one prediction.
#include "predictor.h"

namespace koru_cli {

size_t ArgMax(const std::vector<float>& values) {
    size_t best = 0;
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) {
            best = i;
        }
    }
    return best;
}

Predictor::Predictor(const int16_t* net, const ModelMetadata& metadata) : net_(net), metadata_(metadata) {}

std::vector<float> Predictor::ScaleInput(const std::vector<double>& raw) const {
    std::vector<float> scaled = metadata_.inputScaling.ApplyRow(raw);
    if (metadata_.unitLength) {
        ScaleToUnitLength(scaled);
    }
    return scaled;
}

Prediction Predictor::PredictScaled(const std::vector<float>& scaled) const {
    Prediction prediction;
    metadata_.paradigm->Recall(net_, metadata_, scaled, prediction);
    const bool classify = metadata_.task == Task::Classify;
    if (!classify) {
        prediction.value = prediction.value * metadata_.targetScale + metadata_.targetOffset;
    }
    if (prediction.undefined) {
        const double fallback = metadata_.record.fallback.value_or(0.0);
        if (classify) {
            int index = static_cast<int>(fallback);
            prediction.classIndex = index >= 0 && static_cast<size_t>(index) < metadata_.classes.size() ? index : 0;
        } else {
            prediction.value = fallback;
        }
    }
    return prediction;
}

}  // namespace koru_cli
