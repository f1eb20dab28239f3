// predictor.cpp - scaling, recall and decoding of one prediction.
#include "predictor.h"

#include "bp_trainer.h"
#include "grnn_trainer.h"
#include "lvq_trainer.h"
#include "pnn_trainer.h"

namespace koru_cli {

Predictor::Predictor(const int16_t* net, const ModelMetadata& metadata) : net_(net), metadata_(metadata) {
    if (metadata.paradigm == Paradigm::Lvq) {
        unitClasses_ = metadata.GetIntegers("lvq.unit_classes");
    }
    if (metadata.paradigm == Paradigm::Pnn || metadata.paradigm == Paradigm::Grnn) {
        sigma_ = static_cast<float>(metadata.GetNumber("sigma"));
    }
    if (metadata.Has("fallback")) {
        fallback_ = metadata.GetNumber("fallback");
    }
}

std::vector<float> Predictor::ScaleInput(const std::vector<double>& raw) const {
    std::vector<float> scaled = metadata_.inputScaling.ApplyRow(raw);
    if (metadata_.unitLength) {
        ScaleToUnitLength(scaled);
    }
    return scaled;
}

Prediction Predictor::PredictScaled(const std::vector<float>& scaled) const {
    Prediction prediction;
    const bool classify = metadata_.task == Task::Classify;
    const size_t classes = metadata_.classes.size();
    switch (metadata_.paradigm) {
        case Paradigm::Backprop: {
            std::vector<float> outputs = BackpropOutputs(net_, metadata_, scaled);
            if (classify) {
                prediction.classIndex = static_cast<int>(ArgMax(outputs));
                prediction.scores = std::move(outputs);
            } else {
                prediction.value = outputs[0] * metadata_.targetScale + metadata_.targetOffset;
            }
            break;
        }
        case Paradigm::Pnn: {
            prediction.scores = PnnScores(net_, classes, scaled, sigma_, prediction.undefined);
            prediction.classIndex = static_cast<int>(ArgMax(prediction.scores));
            break;
        }
        case Paradigm::Grnn: {
            float estimate = GrnnEstimate(net_, scaled, sigma_, prediction.undefined);
            prediction.value = estimate * metadata_.targetScale + metadata_.targetOffset;
            break;
        }
        case Paradigm::Lvq:
            prediction.classIndex = LvqClass(net_, unitClasses_, classes, scaled);
            break;
    }
    if (prediction.undefined) {
        if (classify) {
            int fallback = static_cast<int>(fallback_);
            prediction.classIndex = fallback >= 0 && static_cast<size_t>(fallback) < classes ? fallback : 0;
        } else {
            prediction.value = fallback_;
        }
    }
    return prediction;
}

}  // namespace koru_cli
