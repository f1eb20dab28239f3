// paradigms/pnn.cpp - probabilistic nets (PNN): storing, tuning, recall.
//
// Slab 0 holds the inputs, slab 1 one pattern unit per training pattern,
// slab 2 one neuron per class; link 0 runs from slab 0 to slab 1 and link 1
// from slab 1 to slab 2. Each pattern is stored in one pass: PutSlab,
// PnnEvaluate with its class vector and pattern 0, PnnTrain on slab 0 and on
// slab 1. A pattern is classified by PnnPropagate on slabs 1 and 2 and the
// class with the highest score (the lowest class number on a tie).
#include "cli_error.h"
#include "library_call.h"
#include "paradigm_flags.h"
#include "paradigms/kernel.h"
#include "predictor.h"

#include <koru32.h>

namespace koru_cli {

namespace {

uint16_t NetTypeOf(const std::string& kernel) {
    if (kernel == "distance") return KORU32_NET_PNN_DISTANCE;
    if (kernel == "dot") return KORU32_NET_PNN_DOT;
    if (kernel == "city-block") return KORU32_NET_PNN_CITY_BLOCK;
    throw CliError("unknown PNN kernel '" + kernel + "' (use distance, dot or city-block)");
}

// The class scores for one scaled input; `undefined` is set when every score
// is 0 (no stored pattern near enough).
std::vector<float> Scores(const int16_t* net, size_t classes, const std::vector<float>& input, float sigma,
                          bool& undefined) {
    Check(PutSlab(net, &kInputSlab, input.data()), "PutSlab");
    Check(PnnPropagate(net, &kPatternSlab, &sigma), "PnnPropagate");
    Check(PnnPropagate(net, &kOutputSlab, &sigma), "PnnPropagate");
    std::vector<float> scores(classes);
    Check(GetSlab(net, &kOutputSlab, scores.data()), "GetSlab");
    undefined = true;
    for (float score : scores) {
        if (score != 0.0f) {
            undefined = false;
        }
    }
    return scores;
}

bool Correct(const int16_t* net, size_t classes, const std::vector<float>& input, int expected, float sigma) {
    bool undefined = false;
    std::vector<float> scores = Scores(net, classes, input, sigma, undefined);
    return !undefined && static_cast<int>(ArgMax(scores)) == expected;
}

// Leave one out with the engine's own re-presentation: unit u is
// re-presented with an all-zero class vector, which takes it out of its class
// count, and its stored class row is overwritten with zeros, so it adds
// nothing to any score; afterwards it is re-presented and stored with its
// true class again.
double SearchSigma(const int16_t* net, const KernelOptions& options, const TrainingJob& job) {
    const auto classes = static_cast<size_t>(job.classCount);
    const std::vector<float> zeros(classes, 0.0f);
    auto present = [&](size_t p, const float* classVector) {
        const auto unit = static_cast<int16_t>(p + 1);
        Check(PnnEvaluate(net, &kOutputSlab, classVector, &unit), "PnnEvaluate");
        Check(PnnTrain(net, &kPatternSlab, &unit), "PnnTrain");
    };
    SigmaTrial trial;
    trial.paradigm = "pnn";
    trial.loss = [&](const PatternSet& set, size_t p, float s) {
        return Correct(net, classes, set.inputs[p], set.classes[p], s) ? 0.0 : 1.0;
    };
    trial.leaveOut = [&](size_t p) { present(p, zeros.data()); };
    trial.putBack = [&](size_t p) { present(p, job.train.targets[p].data()); };
    return PickSigma(options, job, trial);
}

class Pnn : public KernelParadigm {
public:
    const char* Name() const override { return "pnn"; }
    uint16_t EngineParadigm() const override { return KORU32_PARADIGM_PNN; }
    bool Supports(Task task) const override { return task == Task::Classify; }
    Task AutoTask(const std::function<bool()>&) const override { return Task::Classify; }
    void AddFlags(ParadigmFlags& flags, ParadigmOptions& options) const override {
        flags.SetGroup("pnn", "PNN and GRNN (--paradigm pnn, grnn)");
        AddKernelFlags(flags, "pnn", OptionsOf(options), {"distance", "dot", "city-block"});
    }
    bool UnitLengthInputs(const ParadigmOptions& options) const override { return OptionsOf(options).kernel == "dot"; }
    std::shared_ptr<const ParadigmState> Train(const NetSlot& slot, const ParadigmOptions& options,
                                               const TrainingJob& job) const override;
    bool GradedScores() const override { return true; }
    void Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                Prediction& prediction) const override {
        const auto sigma = static_cast<float>(StateOf(metadata).sigma);
        prediction.scores = Scores(net, metadata.classes.size(), input, sigma, prediction.undefined);
        prediction.classIndex = static_cast<int>(ArgMax(prediction.scores));
    }
};

std::shared_ptr<const ParadigmState> Pnn::Train(const NetSlot& slot, const ParadigmOptions& base,
                                                const TrainingJob& job) const {
    const KernelOptions& options = OptionsOf(base);
    const int16_t* net = slot.Net();
    uint16_t type = NetTypeOf(options.kernel);
    ValidateKernelJob(options, job.train.Size(), job.validation.Size(), "PNN");
    MakePatternUnitNet(net, type, job.train.inputs[0].size(), job.train.Size(), static_cast<size_t>(job.classCount));
    const int16_t newUnit = 0;
    for (size_t p = 0; p < job.train.Size(); ++p) {
        Check(PutSlab(net, &kInputSlab, job.train.inputs[p].data()), "PutSlab");
        Check(PnnEvaluate(net, &kOutputSlab, job.train.targets[p].data(), &newUnit), "PnnEvaluate");
        Check(PnnTrain(net, &kInputSlab, &newUnit), "PnnTrain");
        Check(PnnTrain(net, &kPatternSlab, &newUnit), "PnnTrain");
    }
    double sigma = options.pickSigma == "none" ? options.sigma : SearchSigma(net, options, job);
    return MakeKernelState(options, sigma, job.train.Size());
}

}  // namespace

const ParadigmModule& PnnParadigm() {
    static const Pnn paradigm;
    return paradigm;
}

}  // namespace koru_cli
