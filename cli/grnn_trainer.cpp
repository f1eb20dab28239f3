// grnn_trainer.cpp - building, filling and tuning general regression nets.
#include "grnn_trainer.h"

#include "cli_error.h"

#include <koru32.h>

#include <cmath>
#include <cstdio>

namespace koru_cli {

namespace {

uint16_t NetTypeOf(const std::string& kernel) {
    if (kernel == "distance") return KORU32_NET_GRNN_DISTANCE;
    if (kernel == "city-block") return KORU32_NET_GRNN_CITY_BLOCK;
    throw CliError("unknown GRNN kernel '" + kernel + "' (use distance or city-block)");
}

}  // namespace

float GrnnEstimate(const int16_t* net, const std::vector<float>& input, float sigma, bool& undefined) {
    Check(PutSlab(net, &kInputSlab, input.data()), "PutSlab");
    Check(GrnnPropagate(net, &kPatternSlab, &sigma), "GrnnPropagate");
    int16_t code = GrnnPropagate(net, &kOutputSlab, &sigma);
    undefined = code == KORU32_ERR_ZERO_DENOMINATOR;
    if (!undefined) {
        Check(code, "GrnnPropagate");
    }
    float estimate = 0.0f;
    Check(GetSlab(net, &kOutputSlab, &estimate), "GetSlab");
    return estimate;
}

void TrainGrnn(const NetSlot& slot, const KernelOptions& options, const TrainingJob& job,
               ModelMetadata& metadata) {
    const int16_t* net = slot.Net();
    uint16_t type = NetTypeOf(options.kernel);
    ValidateKernelJob(options, job.train.Size(), job.validation.Size(), "GRNN");
    MakePatternUnitNet(net, type, job.train.inputs[0].size(), job.train.Size(), 1);
    const int16_t newUnit = 0;
    double targetMean = 0.0;
    for (size_t p = 0; p < job.train.Size(); ++p) {
        Check(PutSlab(net, &kInputSlab, job.train.inputs[p].data()), "PutSlab");
        Check(GrnnEvaluate(net, &kOutputSlab, job.train.targets[p].data(), &newUnit), "GrnnEvaluate");
        Check(GrnnTrain(net, &kInputSlab, &newUnit), "GrnnTrain");
        Check(GrnnTrain(net, &kPatternSlab, &newUnit), "GrnnTrain");
        targetMean += job.train.targets[p][0];
    }
    targetMean /= static_cast<double>(job.train.Size());

    double sigma = options.sigma;
    if (options.pickSigma != "none") {
        std::vector<double> sigmas = SigmaCandidates();
        std::vector<double> squares(sigmas.size(), 0.0);
        size_t trials = 0;
        // An undefined estimate counts as the training mean, as `koru` predicts it.
        auto addError = [&](const std::vector<float>& input, float target, size_t s) {
            bool undefined = false;
            float estimate = GrnnEstimate(net, input, static_cast<float>(sigmas[s]), undefined);
            double error = (undefined ? targetMean : estimate) - static_cast<double>(target);
            squares[s] += error * error;
        };
        if (options.pickSigma == "loo") {
            // Leave one out: unit u's stored target is overwritten with 0 and
            // its count set to 0, so it adds to neither the numerator nor the
            // denominator; then its target and count are put back.
            const size_t capacity = job.train.Size();
            std::vector<float> counts(capacity + 1);
            Check(GetCounts(net, &kPatternSlab, counts.data()), "GetCounts");
            std::vector<float> withdrawn = counts;
            const float zero = 0.0f;
            if (job.progress) {
                job.progress->Note("grnn: leave-one-out search over " + std::to_string(sigmas.size()) +
                                   " smoothing factors");
            }
            for (size_t p = 0; p < capacity; ++p) {
                int16_t unit = static_cast<int16_t>(p + 1);
                Check(GrnnEvaluate(net, &kOutputSlab, &zero, &unit), "GrnnEvaluate");
                Check(GrnnTrain(net, &kPatternSlab, &unit), "GrnnTrain");
                withdrawn[p + 1] = 0.0f;
                Check(PutCounts(net, &kPatternSlab, withdrawn.data()), "PutCounts");
                for (size_t s = 0; s < sigmas.size(); ++s) {
                    addError(job.train.inputs[p], job.train.targets[p][0], s);
                }
                Check(GrnnEvaluate(net, &kOutputSlab, job.train.targets[p].data(), &unit), "GrnnEvaluate");
                Check(GrnnTrain(net, &kPatternSlab, &unit), "GrnnTrain");
                withdrawn[p + 1] = counts[p + 1];
                Check(PutCounts(net, &kPatternSlab, counts.data()), "PutCounts");
            }
            trials = capacity;
        } else {
            for (size_t p = 0; p < job.validation.Size(); ++p) {
                for (size_t s = 0; s < sigmas.size(); ++s) {
                    addError(job.validation.inputs[p], job.validation.targets[p][0], s);
                }
            }
            trials = job.validation.Size();
        }
        size_t best = 0;
        for (size_t s = 0; s < sigmas.size(); ++s) {
            if (squares[s] <= squares[best]) {
                best = s;
            }
        }
        sigma = sigmas[best];
        if (job.curve) {
            job.curve->xLabel = "smoothing factor";
            job.curve->yLabel = options.pickSigma == "loo" ? "leave-one-out RMSE (scaled target)"
                                                           : "validation RMSE (scaled target)";
            job.curve->logX = true;
            for (size_t s = 0; s < sigmas.size(); ++s) {
                job.curve->x.push_back(sigmas[s]);
                job.curve->validation.push_back(std::sqrt(squares[s] / static_cast<double>(trials)));
            }
        }
        if (job.progress) {
            char text[120];
            std::snprintf(text, sizeof text, "grnn: picked sigma %.4g (%s RMSE %.4f on the scaled target)",
                          sigma, options.pickSigma.c_str(), std::sqrt(squares[best] / static_cast<double>(trials)));
            job.progress->Note(text);
        }
    }

    metadata.Set("kernel", options.kernel);
    metadata.Set("sigma", sigma);
    metadata.Set("sigma.picked_by", options.pickSigma);
    metadata.Set("patterns", std::to_string(job.train.Size()));
}

}  // namespace koru_cli
