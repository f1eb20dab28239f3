// grnn_trainer.cpp - building, filling and tuning general regression nets.
#include "grnn_trainer.h"

#include "cli_error.h"

#include <koru32.h>


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
        // Leave one out: unit u's stored target is overwritten with 0 and its
        // count set to 0, so it adds to neither the numerator nor the
        // denominator; then its target and count are put back.
        std::vector<float> counts;
        std::vector<float> withdrawn;
        if (options.pickSigma == "loo") {
            counts.resize(job.train.Size() + 1);
            Check(GetCounts(net, &kPatternSlab, counts.data()), "GetCounts");
            withdrawn = counts;
        }
        const float zero = 0.0f;
        auto present = [&](size_t p, const float* target, float count) {
            const auto unit = static_cast<int16_t>(p + 1);
            Check(GrnnEvaluate(net, &kOutputSlab, target, &unit), "GrnnEvaluate");
            Check(GrnnTrain(net, &kPatternSlab, &unit), "GrnnTrain");
            withdrawn[p + 1] = count;
            Check(PutCounts(net, &kPatternSlab, withdrawn.data()), "PutCounts");
        };
        SigmaTrial trial;
        trial.paradigm = "grnn";
        trial.squaredError = true;
        // An undefined estimate counts as the training mean, as `koru` predicts it.
        trial.loss = [&](const PatternSet& set, size_t p, float s) {
            bool undefined = false;
            float estimate = GrnnEstimate(net, set.inputs[p], s, undefined);
            double error = (undefined ? targetMean : estimate) - static_cast<double>(set.targets[p][0]);
            return error * error;
        };
        trial.leaveOut = [&](size_t p) { present(p, &zero, 0.0f); };
        trial.putBack = [&](size_t p) { present(p, job.train.targets[p].data(), counts[p + 1]); };
        sigma = PickSigma(options, job, trial);
    }

    RecordKernelSettings(options, sigma, job.train.Size(), metadata);
}

}  // namespace koru_cli
