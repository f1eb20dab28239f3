// train_flags.cpp - the options of `koru train` and `koru cv`.
#include "train_flags.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace koru_cli {

namespace {

// Options that belong to some paradigms only: naming one for another
// paradigm is a mistake worth stopping for, not something to ignore.
struct ParadigmOption {
    CLI::Option* option;
    std::set<std::string> paradigms;
};

void CheckParadigmOptions(const std::vector<ParadigmOption>& options, const std::string& paradigm) {
    for (const ParadigmOption& entry : options) {
        if (entry.option->count() > 0 && entry.paradigms.count(paradigm) == 0) {
            std::string allowed;
            for (const std::string& name : entry.paradigms) {
                allowed += allowed.empty() ? "" : " or ";
                allowed += name;
            }
            throw CLI::ValidationError(entry.option->get_name() + " applies to --paradigm " + allowed +
                                       ", not " + paradigm);
        }
    }
}

// The range a real-valued option must lie in. Every real option is checked
// here, after parsing, so that NaN and the infinities (which CLI11 reads as
// numbers, and which range checks let through) never reach the training.
struct RealLimit {
    CLI::Option* option;
    double value;
    double low;
    bool lowIncluded;
    double high;
    bool highIncluded;
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void CheckRealOptions(const std::vector<RealLimit>& limits) {
    for (const RealLimit& limit : limits) {
        if (limit.option->count() == 0) {
            continue;
        }
        const std::string name = limit.option->get_name();
        if (!std::isfinite(limit.value)) {
            throw CLI::ValidationError(name + " must be finite");
        }
        bool aboveLow = limit.lowIncluded ? limit.value >= limit.low : limit.value > limit.low;
        bool belowHigh = limit.highIncluded ? limit.value <= limit.high : limit.value < limit.high;
        if (!aboveLow || !belowHigh) {
            throw CLI::ValidationError(name + " must be " + (limit.lowIncluded ? "at least " : "above ") +
                                       Number(limit.low) + " and " +
                                       (limit.highIncluded ? "at most " : "below ") + Number(limit.high) +
                                       ", not " + limit.option->as<std::string>());
        }
    }
}

}  // namespace

void TrainFlags::Add(CLI::App* command) {
    AddCommon(command);
    AddBackprop(command);
    AddKernel(command);
}

void TrainFlags::AddCommon(CLI::App* command) {
    command->add_option("--paradigm", options.paradigm, "bp, pnn, grnn or lvq")
        ->check(CLI::IsMember({"bp", "pnn", "grnn", "lvq"}))
        ->capture_default_str();
    command->add_option("--target", options.target, "target column (default: the last column)");
    command
        ->add_option("--inputs", options.inputs,
                     "input columns as one comma-separated value, e.g. a,b "
                     "(default: all others)")
        ->delimiter(',')
        ->allow_extra_args(false);
    command
        ->add_option("--task", options.task,
                     "classify or regress; auto: pnn and lvq classify, grnn regresses, bp classifies a "
                     "target with text or at most 10 distinct values")
        ->check(CLI::IsMember({"auto", "classify", "regress"}))
        ->capture_default_str();
    command->add_option("--scaling", options.scaling, "input scaling: minmax or standard")
        ->check(CLI::IsMember({"minmax", "standard"}))
        ->capture_default_str();
    validation = command
                     ->add_option("--validation", options.validation,
                                  "fraction of rows held out for validation, 0 to 0.9")
                     ->capture_default_str();
    command->add_option("--seed", options.seed, "seed of the weights, the split and the order")
        ->capture_default_str();
    command
        ->add_option("--sample", options.sample,
                     "train on this many rows drawn at random with --seed (0: every row); pnn and grnn "
                     "hold at most 32767 training rows")
        ->check(CLI::Range(size_t{0}, size_t{100000000}));
}

void TrainFlags::AddBackprop(CLI::App* command) {
    const std::string bpGroup = "Backpropagation (--paradigm bp)";
    hidden =
        command
            ->add_option("--hidden", options.bp.hidden, "hidden layer sizes (1 to 32767 each), e.g. 8 or 8,4")
            ->delimiter(',')
            ->allow_extra_args(false)
            ->check(CLI::Range(1, 32767))
            ->capture_default_str()
            ->group(bpGroup);
    transfer = command
                   ->add_option("--transfer", options.bp.transfer,
                                "hidden transfer function: logistic, linear, tanh, gaussian, sine, "
                                "tanh15, symmetric-logistic, gaussian-complement")
                   ->capture_default_str()
                   ->group(bpGroup);
    outputTransfer = command
                         ->add_option("--output-transfer", options.bp.outputTransfer,
                                      "output transfer function (default: logistic to classify, "
                                      "linear to regress)")
                         ->group(bpGroup);
    rule = command->add_option("--rule", options.bp.rule, "plain, momentum, batch or adaptive")
               ->check(CLI::IsMember({"plain", "momentum", "batch", "adaptive"}))
               ->capture_default_str()
               ->group(bpGroup);
    rateOption = command
                     ->add_option("--rate", rate,
                                  "learning rate (bp: above 0, at most 10; 0.2 to classify, 0.05 to regress; "
                                  "lvq: above 0, at most 1; 0.1, "
                                  "falling to --final-rate)")
                     ->group(bpGroup);
    momentumOption =
        command->add_option("--momentum", momentum, "momentum of the momentum rule, 0 to below 1 (0.5)")
            ->group(bpGroup);
    epochsOption = command->add_option("--epochs", epochs, "epochs (bp: 300; lvq: 100)")
                       ->check(CLI::Range(1, 1000000))
                       ->group(bpGroup);
    patience = command
                   ->add_option("--patience", options.bp.patience,
                                "stop after this many epochs without a better validation error; "
                                "0: run every epoch (the best epoch's weights are kept either way)")
                   ->check(CLI::Range(0, 1000000))
                   ->capture_default_str()
                   ->group(bpGroup);
    targetErrorOption =
        command
            ->add_option("--target-error", targetError,
                         "stop once the training mean squared error is at or below it (0 or more)")
            ->group(bpGroup);
    weightRangeOption = command
                            ->add_option("--weight-range", weightRange,
                                         "initial weights drawn in +-range, above 0, at most 100 (0.5)")
                            ->group(bpGroup);
    formatOption =
        command->add_option("--format", format, "numbers of a bp or lvq net: float (32-bit) or fixed (8.24)")
            ->check(CLI::IsMember({"float", "fixed"}))
            ->capture_default_str()
            ->group(bpGroup);
}

void TrainFlags::AddKernel(CLI::App* command) {
    const std::string kernelGroup = "PNN, GRNN and LVQ (--paradigm pnn, grnn, lvq)";
    kernel = command
                 ->add_option("--kernel", options.kernel.kernel,
                              "distance, dot (pnn, lvq) or city-block (pnn, grnn)")
                 ->check(CLI::IsMember({"distance", "dot", "city-block"}))
                 ->capture_default_str()
                 ->group(kernelGroup);
    sigma = command
                ->add_option("--sigma", options.kernel.sigma,
                             "smoothing factor, above 0, at most 1e6 (default: chosen by leave-one-out; "
                             "giving one implies --pick-sigma none)")
                ->group(kernelGroup);
    pickSigma = command
                    ->add_option("--pick-sigma", options.kernel.pickSigma,
                                 "choose sigma: none, loo (leave-one-out) or validation")
                    ->check(CLI::IsMember({"none", "loo", "validation"}))
                    ->capture_default_str()
                    ->group(kernelGroup);
    units = command->add_option("--units-per-class", options.lvq.unitsPerClass, "LVQ units per class")
                ->check(CLI::Range(1, 32767))
                ->capture_default_str()
                ->group(kernelGroup);
    finalRateOption =
        command->add_option("--final-rate", finalRate, "LVQ rate at the last epoch, 0 to 1 (0.001)")
            ->group(kernelGroup);
    radius = command
                 ->add_option("--radius", options.lvq.radius,
                              "LVQ neighbourhood radius at the first epoch, falling to 0")
                 ->check(CLI::Range(0, 32767))
                 ->capture_default_str()
                 ->group(kernelGroup);
    gridWidth = command->add_option("--grid-width", options.lvq.gridWidth, "LVQ grid columns (0: one row)")
                    ->check(CLI::Range(0, 32767))
                    ->capture_default_str()
                    ->group(kernelGroup);
}

void TrainFlags::Finish() {
    const std::string& paradigm = options.paradigm;
    CheckParadigmOptions({{hidden, {"bp"}},
                          {transfer, {"bp"}},
                          {outputTransfer, {"bp"}},
                          {rule, {"bp"}},
                          {momentumOption, {"bp"}},
                          {targetErrorOption, {"bp"}},
                          {patience, {"bp"}},
                          {weightRangeOption, {"bp"}},
                          {rateOption, {"bp", "lvq"}},
                          {epochsOption, {"bp", "lvq"}},
                          {formatOption, {"bp", "lvq"}},
                          {kernel, {"pnn", "grnn", "lvq"}},
                          {sigma, {"pnn", "grnn"}},
                          {pickSigma, {"pnn", "grnn"}},
                          {units, {"lvq"}},
                          {finalRateOption, {"lvq"}},
                          {radius, {"lvq"}},
                          {gridWidth, {"lvq"}}},
                         paradigm);
    const bool lvqRate = paradigm == "lvq";
    CheckRealOptions({{validation, options.validation, 0.0, true, 0.9, true},
                      {rateOption, rate, 0.0, false, lvqRate ? 1.0 : 10.0, true},
                      {momentumOption, momentum, 0.0, true, 1.0, false},
                      {targetErrorOption, targetError, 0.0, true, 1e30, true},
                      {weightRangeOption, weightRange, 0.0, false, 100.0, true},
                      {sigma, options.kernel.sigma, 0.0, false, 1e6, true},
                      {finalRateOption, finalRate, 0.0, true, 1.0, true}});
    if (sigma->count() > 0) {
        if (pickSigma->count() > 0 && options.kernel.pickSigma != "none") {
            throw CLI::ValidationError("--sigma sets the smoothing factor; it cannot go with --pick-sigma " +
                                       options.kernel.pickSigma);
        }
        options.kernel.pickSigma = "none";
    }
    Apply();
}

void TrainFlags::Apply() {
    const std::string& paradigm = options.paradigm;
    BpOptions& bp = options.bp;
    LvqOptions& lvq = options.lvq;
    if (rateOption->count()) (paradigm == "lvq" ? lvq.rate : bp.rate) = rate;
    if (epochsOption->count()) (paradigm == "lvq" ? lvq.epochs : bp.epochs) = epochs;
    if (momentumOption->count()) bp.momentum = momentum;
    if (targetErrorOption->count()) bp.targetError = targetError;
    if (weightRangeOption->count()) bp.weightRange = weightRange;
    if (finalRateOption->count()) lvq.finalRate = finalRate;
    bp.format = format;
    lvq.format = format;
    if (kernel->count()) lvq.variant = options.kernel.kernel;
    if (paradigm == "lvq" && lvq.variant == "city-block") {
        throw CLI::ValidationError("--kernel city-block applies to pnn and grnn; lvq takes distance or dot");
    }
    if (paradigm == "grnn" && options.kernel.kernel == "dot") {
        throw CLI::ValidationError("--kernel dot applies to pnn and lvq; grnn takes distance or city-block");
    }
}

}  // namespace koru_cli
