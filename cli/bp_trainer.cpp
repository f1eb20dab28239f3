// bp_trainer.cpp - building, training and recalling backpropagation nets.
#include "bp_trainer.h"

#include "cli_error.h"

#include <koru32.h>

#include <cmath>
#include <numeric>

namespace koru_cli {

namespace {

int16_t OutputSlab(const ModelMetadata& metadata) {
    return static_cast<int16_t>(metadata.GetIntegers("bp.hidden").size() + 1);
}

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

}  // namespace

void TrainBackprop(const NetSlot& slot, const BpOptions& options, const TrainingJob& job,
                   ModelMetadata& metadata) {
    ValidateBpOptions(options);
    const bool batchRule = RuleIsBatch(options.rule);
    const int16_t* net = slot.Net();
    std::string outputTransfer = options.outputTransfer.empty()
                                     ? (job.task == Task::Classify ? "logistic" : "linear")
                                     : options.outputTransfer;

    MakeSeededNet(net, RuleNetType(options.rule), options.format, job.seed);

    // Slab sizes: inputs, hidden layers, outputs.
    std::vector<int> sizes;
    sizes.push_back(static_cast<int>(job.train.inputs[0].size()));
    sizes.insert(sizes.end(), options.hidden.begin(), options.hidden.end());
    sizes.push_back(static_cast<int>(job.train.targets[0].size()));
    const int16_t outputSlab = static_cast<int16_t>(sizes.size() - 1);
    for (int16_t slab = 0; slab <= outputSlab; ++slab) {
        int16_t neurons = static_cast<int16_t>(sizes[static_cast<size_t>(slab)]);
        int16_t kind = slab == 0 ? KORU32_SLAB_INPUT
                                 : (slab == outputSlab ? KORU32_SLAB_OUTPUT : KORU32_SLAB_HIDDEN);
        Check(MakeSlab(net, &slab, &neurons, &kind), "MakeSlab");
        if (slab > 0) {
            int16_t code = static_cast<int16_t>(
                TransferCode(slab == outputSlab ? outputTransfer : options.transfer));
            Check(Transfer(net, &slab, &code), "Transfer");
        }
    }
    float range = static_cast<float>(options.weightRange);
    for (int16_t link = 0; link < outputSlab; ++link) {
        int16_t source = link;
        int16_t dest = static_cast<int16_t>(link + 1);
        Check(MakeLink(net, &link, &range, &source, &dest), "MakeLink");
    }

    // A regressor's linear output takes smaller steps than a classifier's
    // logistic outputs, whose slope damps them.
    const double chosenRate = std::isnan(options.rate) ? (job.task == Task::Classify ? 0.2 : 0.05) : options.rate;
    const float rate = static_cast<float>(chosenRate);
    const float momentum = static_cast<float>(options.momentum);
    const int16_t inputSlab = 0;
    const size_t patterns = job.train.Size();
    const double outputs = static_cast<double>(job.train.targets[0].size());
    std::vector<size_t> order(patterns);
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 random(job.seed);

    if (job.curve) {
        job.curve->yLabel = "mean squared error of the outputs";
        job.curve->logY = true;
        job.curve->trainingName = "training mse";
        job.curve->validationName = "validation mse";
    }
    if (job.progress) {
        job.progress->Start("bp", options.epochs, "mse");
    }
    int epochsRun = 0;
    double trainError = NAN;
    double validationError = NAN;
    // With validation rows the net of the best validation error is the one
    // saved, and training stops after `patience` epochs without a better one.
    const bool keepBest = job.validation.Size() > 0;
    WeightSnapshot best(net, sizes);
    int bestEpoch = 0;
    double bestTrain = NAN, bestValidation = NAN;
    bool stoppedEarly = false;
    for (int epoch = 1; epoch <= options.epochs; ++epoch) {
        ShuffleOrder(order, random);
        double total = 0.0;
        for (size_t i = 0; i < patterns; ++i) {
            size_t p = order[i];
            Check(PutSlab(net, &inputSlab, job.train.inputs[p].data()), "PutSlab");
            Propagate(net, outputSlab);
            float sum = 0.0f;
            Check(BpEvaluate(net, &outputSlab, job.train.targets[p].data(), &sum), "BpEvaluate");
            total += sum;
            uint16_t apply = (batchRule && i + 1 == patterns) ? 1 : 0;
            for (int16_t slab = static_cast<int16_t>(outputSlab - 1); slab >= 0; --slab) {
                Check(BpTrain(net, &slab, &rate, &momentum, &apply), "BpTrain");
            }
        }
        // The error of the epoch as it was met, pattern by pattern, while the
        // weights moved (the usual running training error).
        trainError = total / (static_cast<double>(patterns) * outputs);
        validationError = SetError(net, outputSlab, job.validation);
        epochsRun = epoch;
        ReportEpoch(job, epoch, trainError, validationError);
        if (keepBest && (bestEpoch == 0 || validationError < bestValidation)) {
            best.Take();
            bestEpoch = epoch;
            bestTrain = trainError;
            bestValidation = validationError;
        }
        if (options.targetError > 0.0 && trainError <= options.targetError) {
            break;
        }
        if (keepBest && options.patience > 0 && epoch - bestEpoch >= options.patience) {
            stoppedEarly = true;
            break;
        }
    }
    if (keepBest && bestEpoch != epochsRun) {
        best.Restore();
        trainError = bestTrain;
        validationError = bestValidation;
    }
    if (job.progress) {
        job.progress->Finish();
        if (stoppedEarly) {
            job.progress->Note("bp: stopped after " + std::to_string(epochsRun) + " epochs, " +
                               std::to_string(options.patience) + " without a better validation error");
        } else if (epochsRun < options.epochs) {
            job.progress->Note("bp: reached the target error after " + std::to_string(epochsRun) + " epochs");
        }
        if (keepBest) {
            job.progress->Note("bp: kept the weights of epoch " + std::to_string(bestEpoch) +
                               ", the best validation error");
        }
    }

    metadata.SetIntegers("bp.hidden", options.hidden);
    metadata.Set("bp.transfer", options.transfer);
    metadata.Set("bp.output_transfer", outputTransfer);
    metadata.Set("bp.rule", options.rule);
    metadata.Set("bp.rate", chosenRate);
    metadata.Set("bp.momentum", options.momentum);
    metadata.Set("bp.weight_range", options.weightRange);
    metadata.Set("bp.target_error", options.targetError);
    metadata.Set("bp.epochs", std::to_string(options.epochs));
    metadata.Set("bp.epochs_run", std::to_string(epochsRun));
    metadata.Set("bp.patience", std::to_string(options.patience));
    if (keepBest) {
        metadata.Set("bp.best_epoch", std::to_string(bestEpoch));
    }
    metadata.Set("format", options.format);
    metadata.Set("train.mse", trainError);
    if (job.validation.Size() > 0) {
        metadata.Set("validation.mse", validationError);
    }
}

std::vector<float> BackpropOutputs(const int16_t* net, const ModelMetadata& metadata,
                                   const std::vector<float>& input) {
    const int16_t inputSlab = 0;
    const int16_t outputSlab = OutputSlab(metadata);
    size_t outputs = metadata.task == Task::Classify ? metadata.classes.size() : 1;
    Check(PutSlab(net, &inputSlab, input.data()), "PutSlab");
    Propagate(net, outputSlab);
    std::vector<float> values(outputs);
    Check(GetSlab(net, &outputSlab, values.data()), "GetSlab");
    return values;
}

}  // namespace koru_cli
