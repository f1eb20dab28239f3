// paradigms/bp.cpp - backpropagation: options, training, metadata, recall.
//
// The net is a chain of slabs: slab 0 the inputs, slabs 1..H the hidden
// layers, slab H+1 the outputs (one neuron per class, or one for a regressor),
// with link i from slab i to slab i+1. Each epoch visits the patterns in a
// shuffled order: PutSlab on slab 0, BpPropagate on slabs 1..H+1, BpEvaluate
// on the output slab, then BpTrain from slab H back to slab 0. The batch and
// adaptive rules apply their accumulated steps on the last pattern of the
// epoch. With validation rows the net of the best validation error is the
// one kept, and training stops after --patience epochs without a better one.
#include "cli_error.h"
#include "library_call.h"
#include "network_file.h"
#include "paradigm_flags.h"
#include "paradigms/bp_options.h"
#include "pending_file.h"
#include "predictor.h"

#include <koru32.h>

#include <cmath>
#include <numeric>
#include <optional>

namespace koru_cli {

namespace {

// What a trained backpropagation model records.
struct BpState : ParadigmState {
    BpOptions options;            // outputTransfer and rate as they were used
    int epochsRun = 0;
    std::optional<int> bestEpoch;  // with validation rows
    double trainMse = NAN;
    std::optional<double> validationMse;

    void Write(MetadataEntries& entries) const override {
        entries.PutIntegers("bp.hidden", options.hidden);
        entries.Put("bp.transfer", options.transfer);
        entries.Put("bp.output_transfer", options.outputTransfer);
        entries.Put("bp.rule", options.rule);
        entries.Put("bp.rate", options.rate);
        entries.Put("bp.momentum", options.momentum);
        entries.Put("bp.weight_range", options.weightRange);
        entries.Put("bp.target_error", options.targetError);
        entries.PutInteger("bp.epochs", options.epochs);
        entries.PutInteger("bp.epochs_run", epochsRun);
        entries.PutInteger("bp.patience", options.patience);
        if (bestEpoch) entries.PutInteger("bp.best_epoch", *bestEpoch);
        entries.Put("format", options.format);
        entries.Put("train.mse", trainMse);
        if (validationMse) entries.Put("validation.mse", *validationMse);
    }
};

// Forward pass through slabs 1..last for the input already in slab 0.
void Propagate(const int16_t* net, int16_t last) {
    for (int16_t slab = 1; slab <= last; ++slab) {
        Check(BpPropagate(net, &slab), "BpPropagate");
    }
}

// Mean squared error over a pattern set, as the engine evaluates it.
double SetError(const int16_t* net, int16_t outputSlab, const PatternSet& set) {
    if (set.Size() == 0) {
        return NAN;
    }
    const int16_t input = 0;
    double total = 0.0;
    for (size_t p = 0; p < set.Size(); ++p) {
        Check(PutSlab(net, &input, set.inputs[p].data()), "PutSlab");
        Propagate(net, outputSlab);
        float sum = 0.0f;
        Check(BpEvaluate(net, &outputSlab, set.targets[p].data(), &sum), "BpEvaluate");
        total += sum;
    }
    return total / static_cast<double>(set.Size() * set.targets[0].size());
}

// The weights (and the weight changes, where the rule keeps them) of every
// link, so the best epoch's net can be put back after training went on.
class WeightSnapshot {
public:
    WeightSnapshot(const int16_t* net, const std::vector<int>& sizes) : net_(net) {
        for (size_t link = 0; link + 1 < sizes.size(); ++link) {
            size_t count = static_cast<size_t>(sizes[link] + 1) * static_cast<size_t>(sizes[link + 1]);
            weights_.emplace_back(count);
            changes_.emplace_back(count);
        }
    }
    void Take() {
        for (int16_t link = 0; link < static_cast<int16_t>(weights_.size()); ++link) {
            Check(GetLink(net_, &link, weights_[static_cast<size_t>(link)].data()), "GetLink");
            hasChanges_ = GetLinkChanges(net_, &link, changes_[static_cast<size_t>(link)].data()) == KORU32_OK;
        }
    }
    void Restore() const {
        for (int16_t link = 0; link < static_cast<int16_t>(weights_.size()); ++link) {
            Check(PutLink(net_, &link, weights_[static_cast<size_t>(link)].data()), "PutLink");
            if (hasChanges_) {
                Check(PutLinkChanges(net_, &link, changes_[static_cast<size_t>(link)].data()), "PutLinkChanges");
            }
        }
    }

private:
    const int16_t* net_;
    std::vector<std::vector<float>> weights_, changes_;
    bool hasChanges_ = false;
};

// The rate when --rate is not given. A regressor's linear output takes
// smaller steps than a classifier's logistic outputs, whose slope damps them.
double DefaultRate(const TrainingJob& job) {
    return job.task == Task::Classify ? 0.2 : 0.05;
}

// Makes the net: slabs of `sizes` (inputs, hidden layers, outputs), their
// transfer functions and the links between neighbours.
void BuildNet(const int16_t* net, const BpOptions& options, const std::vector<int>& sizes, uint32_t seed) {
    MakeSeededNet(net, RuleNetType(options.rule), options.format, seed);
    const auto outputSlab = static_cast<int16_t>(sizes.size() - 1);
    for (int16_t slab = 0; slab <= outputSlab; ++slab) {
        auto neurons = static_cast<int16_t>(sizes[static_cast<size_t>(slab)]);
        int16_t kind = slab == 0 ? KORU32_SLAB_INPUT : (slab == outputSlab ? KORU32_SLAB_OUTPUT : KORU32_SLAB_HIDDEN);
        Check(MakeSlab(net, &slab, &neurons, &kind), "MakeSlab");
        if (slab > 0) {
            auto code = static_cast<int16_t>(TransferCode(slab == outputSlab ? options.outputTransfer : options.transfer));
            Check(Transfer(net, &slab, &code), "Transfer");
        }
    }
    auto range = static_cast<float>(options.weightRange);
    for (int16_t link = 0; link < outputSlab; ++link) {
        int16_t source = link;
        auto dest = static_cast<int16_t>(link + 1);
        Check(MakeLink(net, &link, &range, &source, &dest), "MakeLink");
    }
}

// One training run: the epochs, the best epoch and why it stopped.
class BpRun {
public:
    BpRun(const int16_t* net, const BpOptions& options, const TrainingJob& job, const std::vector<int>& sizes)
        : net_(net), options_(options), job_(job), outputSlab_(static_cast<int16_t>(sizes.size() - 1)),
          best_(net, sizes), order_(job.train.Size()), random_(job.seed) {
        std::iota(order_.begin(), order_.end(), size_t{0});
    }
    void Run(BpState& state);

private:
    double Epoch();
    void Notes(const BpState& state) const;

    const int16_t* net_;
    const BpOptions& options_;
    const TrainingJob& job_;
    const int16_t outputSlab_;
    WeightSnapshot best_;
    std::vector<size_t> order_;
    std::mt19937 random_;
    double bestTrainMse_ = NAN;
    bool stoppedEarly_ = false, interrupted_ = false;
};

// One pass over the training patterns; returns the error as it was met,
// pattern by pattern, while the weights moved (the usual running error).
double BpRun::Epoch() {
    const bool batchRule = RuleIsBatch(options_.rule);
    const auto rate = static_cast<float>(options_.rate);
    const auto momentum = static_cast<float>(options_.momentum);
    const int16_t inputSlab = 0;
    const size_t patterns = job_.train.Size();
    ShuffleOrder(order_, random_);
    double total = 0.0;
    for (size_t i = 0; i < patterns; ++i) {
        size_t p = order_[i];
        Check(PutSlab(net_, &inputSlab, job_.train.inputs[p].data()), "PutSlab");
        Propagate(net_, outputSlab_);
        float sum = 0.0f;
        Check(BpEvaluate(net_, &outputSlab_, job_.train.targets[p].data(), &sum), "BpEvaluate");
        total += sum;
        uint16_t apply = (batchRule && i + 1 == patterns) ? 1 : 0;
        for (auto slab = static_cast<int16_t>(outputSlab_ - 1); slab >= 0; --slab) {
            Check(BpTrain(net_, &slab, &rate, &momentum, &apply), "BpTrain");
        }
    }
    return total / (static_cast<double>(patterns) * static_cast<double>(job_.train.targets[0].size()));
}

void BpRun::Run(BpState& state) {
    const bool keepBest = job_.validation.Size() > 0;
    double validationError = NAN;
    for (int epoch = 1; epoch <= options_.epochs; ++epoch) {
        state.trainMse = Epoch();
        validationError = SetError(net_, outputSlab_, job_.validation);
        state.epochsRun = epoch;
        ReportEpoch(job_, epoch, state.trainMse, validationError);
        if (keepBest && (!state.bestEpoch || validationError < *state.validationMse)) {
            best_.Take();
            state.bestEpoch = epoch;
            state.validationMse = validationError;
            bestTrainMse_ = state.trainMse;
        }
        if (options_.targetError > 0.0 && state.trainMse <= options_.targetError) break;
        if (keepBest && options_.patience > 0 && epoch - *state.bestEpoch >= options_.patience) {
            stoppedEarly_ = true;
            break;
        }
        if (StopRequested()) {
            interrupted_ = true;
            break;
        }
    }
    if (keepBest && *state.bestEpoch != state.epochsRun) {
        best_.Restore();
        state.trainMse = bestTrainMse_;
    }
    Notes(state);
}

void BpRun::Notes(const BpState& state) const {
    if (!job_.progress) {
        return;
    }
    job_.progress->Finish();
    const std::string epochs = std::to_string(state.epochsRun);
    if (interrupted_) {
        job_.progress->Note("bp: interrupted after " + epochs + " epochs");
    } else if (stoppedEarly_) {
        job_.progress->Note("bp: stopped after " + epochs + " epochs, " + std::to_string(options_.patience) +
                            " without a better validation error");
    } else if (state.epochsRun < options_.epochs) {
        job_.progress->Note("bp: reached the target error after " + epochs + " epochs");
    }
    if (state.bestEpoch) {
        job_.progress->Note("bp: kept the weights of epoch " + std::to_string(*state.bestEpoch) +
                            ", the best validation error");
    }
}

class Backprop : public TypedParadigm<BpOptions, BpState> {
public:
    const char* Name() const override { return "bp"; }
    uint16_t EngineParadigm() const override { return KORU32_PARADIGM_BACKPROP; }
    bool Supports(Task) const override { return true; }
    Task AutoTask(const std::function<bool()>& looksCategorical) const override {
        return looksCategorical() ? Task::Classify : Task::Regress;
    }
    void AddFlags(ParadigmFlags& flags, ParadigmOptions& base) const override;
    void FinishFlags(const ParadigmFlags& flags, ParadigmOptions& base) const override;
    std::shared_ptr<const ParadigmState> Train(const NetSlot& slot, const ParadigmOptions& options,
                                               const TrainingJob& job) const override;
    std::shared_ptr<const ParadigmState> ReadState(const MetadataEntries& entries) const override;
    void CheckNet(const ModelMetadata& metadata, const NetChecker& net) const override;
    bool GradedScores() const override { return true; }
    void Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                Prediction& prediction) const override;
};

void Backprop::AddFlags(ParadigmFlags& flags, ParadigmOptions& base) const {
    BpOptions& o = OptionsOf(base);
    flags.SetGroup("bp", "Backpropagation (--paradigm bp)");
    flags.Add("--hidden", "bp", o.hidden, "hidden layer sizes (1 to 32767 each), e.g. 8 or 8,4 (default 8)", 1, 32767);
    flags.Add("--transfer", "bp", o.transfer, "hidden transfer function (default logistic)", TransferNames());
    flags.Add("--output-transfer", "bp", o.outputTransfer,
              "output transfer function (default: logistic to classify, linear to regress)", TransferNames());
    flags.Add("--rule", "bp", o.rule, "training rule: plain, momentum, batch or adaptive (default momentum)",
              {"plain", "momentum", "batch", "adaptive"});
    flags.Add("--rate", "bp", o.rate,
              "learning rate, above 0, at most 10 (default 0.2 to classify, 0.05 to regress, whatever "
              "the rule)");
    flags.Add("--momentum", "bp", o.momentum, "momentum of the momentum rule, 0 to below 1 (default 0.5)");
    flags.Add("--epochs", "bp", o.epochs, "most epochs (default 1000; --patience ends most runs sooner)", 1, 1000000);
    flags.Add("--patience", "bp", o.patience,
              "stop after this many epochs without a better validation error; 0: run every epoch (the best "
              "epoch's weights are kept either way) (default 50)", 0, 1000000);
    flags.Add("--target-error", "bp", o.targetError,
              "stop once the training mean squared error is at or below it, 0 or more (default 0: never)");
    flags.Add("--weight-range", "bp", o.weightRange, "initial weights drawn in +-range, above 0, at most 100 (default 0.5)");
    flags.Add("--format", "bp", o.format, "numbers of the net: float (32-bit) or fixed (8.24) (default float)",
              {"float", "fixed"});
}

void Backprop::FinishFlags(const ParadigmFlags& flags, ParadigmOptions& base) const {
    const BpOptions& o = OptionsOf(base);
    flags.CheckReal("--rate", o.rate, 0.0, false, 10.0, true);
    flags.CheckReal("--momentum", o.momentum, 0.0, true, 1.0, false);
    flags.CheckReal("--target-error", o.targetError, 0.0, true, 1e30, true);
    flags.CheckReal("--weight-range", o.weightRange, 0.0, false, 100.0, true);
}

std::shared_ptr<const ParadigmState> Backprop::Train(const NetSlot& slot, const ParadigmOptions& base,
                                                     const TrainingJob& job) const {
    auto state = std::make_shared<BpState>();
    BpOptions& options = state->options;
    options = OptionsOf(base);
    ValidateBpOptions(options);
    if (options.outputTransfer.empty()) {
        options.outputTransfer = job.task == Task::Classify ? "logistic" : "linear";
    }
    if (std::isnan(options.rate)) {
        options.rate = DefaultRate(job);
    }
    std::vector<int> sizes{static_cast<int>(job.train.inputs[0].size())};
    sizes.insert(sizes.end(), options.hidden.begin(), options.hidden.end());
    sizes.push_back(static_cast<int>(job.train.targets[0].size()));
    BuildNet(slot.Net(), options, sizes, job.seed);
    if (job.curve) {
        job.curve->yLabel = "mean squared error of the outputs";
        job.curve->logY = true;
        job.curve->trainingName = "training mse";
        job.curve->validationName = "validation mse";
    }
    if (job.progress) {
        job.progress->Start("bp", options.epochs, "mse");
    }
    BpRun(slot.Net(), options, job, sizes).Run(*state);
    return state;
}

std::shared_ptr<const ParadigmState> Backprop::ReadState(const MetadataEntries& entries) const {
    auto state = std::make_shared<BpState>();
    BpOptions& o = state->options;
    o.hidden = entries.Integers("bp.hidden");
    o.transfer = entries.TextOr("bp.transfer", o.transfer);
    o.outputTransfer = entries.TextOr("bp.output_transfer", o.outputTransfer);
    o.rule = entries.TextOr("bp.rule", o.rule);
    o.rate = entries.NumberOr("bp.rate", o.rate);
    o.momentum = entries.NumberOr("bp.momentum", o.momentum);
    o.weightRange = entries.NumberOr("bp.weight_range", o.weightRange);
    o.targetError = entries.NumberOr("bp.target_error", o.targetError);
    o.epochs = static_cast<int>(entries.IntegerOr("bp.epochs", o.epochs));
    state->epochsRun = static_cast<int>(entries.IntegerOr("bp.epochs_run", 0));
    o.patience = static_cast<int>(entries.IntegerOr("bp.patience", o.patience));
    if (entries.Has("bp.best_epoch")) state->bestEpoch = static_cast<int>(entries.Integer("bp.best_epoch"));
    o.format = entries.TextOr("format", o.format);
    state->trainMse = entries.NumberOr("train.mse", NAN);
    if (entries.Has("validation.mse")) state->validationMse = entries.NumberOr("validation.mse", NAN);
    return state;
}

void Backprop::CheckNet(const ModelMetadata& metadata, const NetChecker& net) const {
    const std::vector<int>& hidden = StateOf(metadata).options.hidden;
    if (hidden.size() > 29) {
        net.Mismatch("too many hidden layers");
    }
    for (size_t h = 0; h < hidden.size(); ++h) {
        if (hidden[h] < 1) {
            net.Mismatch("a hidden layer without neurons");
        }
        net.ExpectSlab(static_cast<int>(h + 1), static_cast<size_t>(hidden[h]), KORU32_SLAB_HIDDEN);
    }
    const int last = static_cast<int>(hidden.size() + 1);
    net.ExpectSlab(last, metadata.task == Task::Classify ? metadata.classes.size() : 1, KORU32_SLAB_OUTPUT);
    for (int link = 0; link < last; ++link) {
        net.ExpectLink(link, link, link + 1);
    }
}

void Backprop::Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                      Prediction& prediction) const {
    const int16_t inputSlab = 0;
    const auto outputSlab = static_cast<int16_t>(StateOf(metadata).options.hidden.size() + 1);
    Check(PutSlab(net, &inputSlab, input.data()), "PutSlab");
    Propagate(net, outputSlab);
    std::vector<float> values(metadata.task == Task::Classify ? metadata.classes.size() : 1);
    Check(GetSlab(net, &outputSlab, values.data()), "GetSlab");
    if (metadata.task == Task::Classify) {
        prediction.classIndex = static_cast<int>(ArgMax(values));
        prediction.scores = std::move(values);
    } else {
        prediction.value = values[0];
    }
}

}  // namespace

const ParadigmModule& BpParadigm() {
    static const Backprop paradigm;
    return paradigm;
}

}  // namespace koru_cli
