// paradigms/grnn.cpp - general regression nets (GRNN): storing, tuning, recall.
//
// The same three slabs and two links as a PNN, with one output neuron for
// the scaled target. Each pattern is stored by PutSlab, GrnnEvaluate with its
// target and pattern 0, GrnnTrain on slab 0 and on slab 1. An estimate is
// GrnnPropagate on slab 1 (which forms the denominator) and then on slab 2.
#include "cli_error.h"
#include "library_call.h"
#include "paradigm_flags.h"
#include "paradigms/kernel.h"
#include "predictor.h"

#include <koru32.h>

namespace koru_cli {

namespace {

uint16_t NetTypeOf(const std::string& kernel) {
    if (kernel == "distance") return KORU32_NET_GRNN_DISTANCE;
    if (kernel == "city-block") return KORU32_NET_GRNN_CITY_BLOCK;
    throw CliError("unknown GRNN kernel '" + kernel + "' (use distance or city-block)");
}

// The estimate for one scaled input; `undefined` is set (and the estimate is
// 0) when every pattern unit's activation underflowed to 0, which the
// library reports as a zero denominator.
float Estimate(const int16_t* net, const std::vector<float>& input, float sigma, bool& undefined) {
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

// Leave one out: unit u's stored target is overwritten with 0 and its count
// set to 0, so it adds to neither the numerator nor the denominator; then its
// target and count are put back. An undefined estimate counts as the
// training mean, as `koru` predicts it.
double SearchSigma(const int16_t* net, const KernelOptions& options, const TrainingJob& job, double targetMean) {
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
    trial.loss = [&](const PatternSet& set, size_t p, float s) {
        bool undefined = false;
        float estimate = Estimate(net, set.inputs[p], s, undefined);
        double error = (undefined ? targetMean : estimate) - static_cast<double>(set.targets[p][0]);
        return error * error;
    };
    trial.leaveOut = [&](size_t p) { present(p, &zero, 0.0f); };
    trial.putBack = [&](size_t p) { present(p, job.train.targets[p].data(), counts[p + 1]); };
    return PickSigma(options, job, trial);
}

class Grnn : public KernelParadigm {
public:
    const char* Name() const override { return "grnn"; }
    uint16_t EngineParadigm() const override { return KORU32_PARADIGM_GRNN; }
    bool Supports(Task task) const override { return task == Task::Regress; }
    Task AutoTask(const std::function<bool()>&) const override { return Task::Regress; }
    void AddFlags(ParadigmFlags& flags, ParadigmOptions& options) const override {
        flags.SetGroup("grnn", "PNN and GRNN (--paradigm pnn, grnn)");
        AddKernelFlags(flags, "grnn", OptionsOf(options), {"distance", "city-block"});
    }
    std::shared_ptr<const ParadigmState> Train(const NetSlot& slot, const ParadigmOptions& options,
                                               const TrainingJob& job) const override;
    bool GradedScores() const override { return false; }
    void Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                Prediction& prediction) const override {
        const auto sigma = static_cast<float>(StateOf(metadata).sigma);
        prediction.value = Estimate(net, input, sigma, prediction.undefined);
    }
};

std::shared_ptr<const ParadigmState> Grnn::Train(const NetSlot& slot, const ParadigmOptions& base,
                                                 const TrainingJob& job) const {
    const KernelOptions& options = OptionsOf(base);
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
    double sigma = options.pickSigma == "none" ? options.sigma : SearchSigma(net, options, job, targetMean);
    return MakeKernelState(options, sigma, job.train.Size());
}

}  // namespace

const ParadigmModule& GrnnParadigm() {
    static const Grnn paradigm;
    return paradigm;
}

}  // namespace koru_cli
