// command_line.cpp - the subcommands and options of `koru`, parsed with CLI11.
#include "command_line.h"

#include "cli_error.h"
#include "commands.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace koru_cli {

namespace {

constexpr const char* kVersion = "koru 0.1.0";

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
                                       Number(limit.low) + " and " + (limit.highIncluded ? "at most " : "below ") +
                                       Number(limit.high) + ", not " + limit.option->as<std::string>());
        }
    }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"koru: train, evaluate and use KORU32 neural networks on CSV files.\n"
                 "Run 'koru COMMAND --help' for the options of a command.",
                 "koru"};
    app.require_subcommand(1);
    app.set_version_flag("--version", kVersion);

    // ---- train -------------------------------------------------------------
    TrainCommand train;
    double rate = 0, momentum = 0, targetError = 0, weightRange = 0, finalRate = 0;
    int epochs = 0;
    std::string format = "float";
    CLI::App* trainCommand = app.add_subcommand(
        "train", "Train a net on a CSV file (header row; the last column is the target unless --target names "
                 "one) and save it as one network file with its metadata.");
    trainCommand->add_option("DATA.csv", train.options.dataFile, "CSV file to train on")->required();
    trainCommand->add_option("-o,--output", train.output, "network file to write (MODEL.net)")->required();
    trainCommand->add_option("--paradigm", train.options.paradigm, "bp, pnn, grnn or lvq")
        ->check(CLI::IsMember({"bp", "pnn", "grnn", "lvq"}))
        ->capture_default_str();
    trainCommand->add_option("--target", train.options.target, "target column (default: the last column)");
    trainCommand->add_option("--inputs", train.options.inputs, "input columns as one comma-separated value, e.g. a,b "
                                                               "(default: all others)")
        ->delimiter(',')
        ->allow_extra_args(false);
    trainCommand->add_option("--task", train.options.task,
                             "classify or regress; auto: pnn and lvq classify, grnn regresses, bp classifies a "
                             "target with text or at most 10 distinct values")
        ->check(CLI::IsMember({"auto", "classify", "regress"}))
        ->capture_default_str();
    trainCommand->add_option("--scaling", train.options.scaling, "input scaling: minmax or standard")
        ->check(CLI::IsMember({"minmax", "standard"}))
        ->capture_default_str();
    auto* validation = trainCommand->add_option("--validation", train.options.validation,
                                                "fraction of rows held out for validation, 0 to 0.9")
                           ->capture_default_str();
    trainCommand->add_option("--seed", train.options.seed, "seed of the weights, the split and the order")
        ->capture_default_str();
    trainCommand->add_option("--sample", train.options.sample,
                             "train on this many rows drawn at random with --seed (0: every row); pnn and grnn "
                             "hold at most 32767 training rows")
        ->check(CLI::Range(size_t{0}, size_t{100000000}));
    trainCommand->add_option("--plot", train.plot, "write the training curve to this SVG file");
    trainCommand->add_flag("-q,--quiet", train.quiet, "no progress display");

    const std::string bpGroup = "Backpropagation (--paradigm bp)";
    auto* hidden = trainCommand->add_option("--hidden", train.options.bp.hidden, "hidden layer sizes (1 to 32767 each), e.g. 8 or 8,4")
                       ->delimiter(',')
                       ->allow_extra_args(false)
                       ->check(CLI::Range(1, 32767))
                       ->capture_default_str()
                       ->group(bpGroup);
    auto* transfer = trainCommand->add_option("--transfer", train.options.bp.transfer,
                                              "hidden transfer function: logistic, linear, tanh, gaussian, sine, "
                                              "tanh15, symmetric-logistic, gaussian-complement")
                         ->capture_default_str()
                         ->group(bpGroup);
    auto* outputTransfer = trainCommand->add_option("--output-transfer", train.options.bp.outputTransfer,
                                                    "output transfer function (default: logistic to classify, "
                                                    "linear to regress)")
                               ->group(bpGroup);
    auto* rule = trainCommand->add_option("--rule", train.options.bp.rule, "plain, momentum, batch or adaptive")
                     ->check(CLI::IsMember({"plain", "momentum", "batch", "adaptive"}))
                     ->capture_default_str()
                     ->group(bpGroup);
    auto* rateOption = trainCommand->add_option("--rate", rate, "learning rate (bp: above 0, at most 10; 0.2 to classify, 0.05 to regress; lvq: above 0, at most 1; 0.1, "
                                         "falling to --final-rate)")
                           ->group(bpGroup);
    auto* momentumOption = trainCommand->add_option("--momentum", momentum, "momentum of the momentum rule, 0 to below 1 (0.5)")
                               ->group(bpGroup);
    auto* epochsOption = trainCommand->add_option("--epochs", epochs, "epochs (bp: 300; lvq: 100)")
                             ->check(CLI::Range(1, 1000000))
                             ->group(bpGroup);
    auto* patience = trainCommand->add_option("--patience", train.options.bp.patience,
                                              "stop after this many epochs without a better validation error; "
                                              "0: run every epoch (the best epoch's weights are kept either way)")
                         ->check(CLI::Range(0, 1000000))
                         ->capture_default_str()
                         ->group(bpGroup);
    auto* targetErrorOption = trainCommand->add_option("--target-error", targetError,
                                                       "stop once the training mean squared error is at or below it (0 or more)")
                                  ->group(bpGroup);
    auto* weightRangeOption = trainCommand->add_option("--weight-range", weightRange,
                                                       "initial weights drawn in +-range, above 0, at most 100 (0.5)")
                                  ->group(bpGroup);
    auto* formatOption = trainCommand->add_option("--format", format, "numbers of a bp or lvq net: float (32-bit) or fixed (8.24)")
                             ->check(CLI::IsMember({"float", "fixed"}))
                             ->capture_default_str()
                             ->group(bpGroup);

    const std::string kernelGroup = "PNN, GRNN and LVQ (--paradigm pnn, grnn, lvq)";
    auto* kernel = trainCommand->add_option("--kernel", train.options.kernel.kernel,
                                            "distance, dot (pnn, lvq) or city-block (pnn, grnn)")
                       ->check(CLI::IsMember({"distance", "dot", "city-block"}))
                       ->capture_default_str()
                       ->group(kernelGroup);
    auto* sigma = trainCommand->add_option("--sigma", train.options.kernel.sigma,
                                           "smoothing factor, above 0, at most 1e6 (default: chosen by leave-one-out; "
                                           "giving one implies --pick-sigma none)")
                      ->group(kernelGroup);
    auto* pickSigma = trainCommand->add_option("--pick-sigma", train.options.kernel.pickSigma,
                                               "choose sigma: none, loo (leave-one-out) or validation")
                          ->check(CLI::IsMember({"none", "loo", "validation"}))
                          ->capture_default_str()
                          ->group(kernelGroup);
    auto* units = trainCommand->add_option("--units-per-class", train.options.lvq.unitsPerClass, "LVQ units per class")
                      ->check(CLI::Range(1, 32767))
                      ->capture_default_str()
                      ->group(kernelGroup);
    auto* finalRateOption = trainCommand->add_option("--final-rate", finalRate, "LVQ rate at the last epoch, 0 to 1 (0.001)")
                                ->group(kernelGroup);
    auto* radius = trainCommand->add_option("--radius", train.options.lvq.radius,
                                            "LVQ neighbourhood radius at the first epoch, falling to 0")
                       ->check(CLI::Range(0, 32767))
                       ->capture_default_str()
                       ->group(kernelGroup);
    auto* gridWidth = trainCommand->add_option("--grid-width", train.options.lvq.gridWidth,
                                               "LVQ grid columns (0: one row)")
                          ->check(CLI::Range(0, 32767))
                          ->capture_default_str()
                          ->group(kernelGroup);

    // ---- eval, predict, info, demo ----------------------------------------
    std::string modelFile, dataFile, dataDir = DefaultDataDir();
    CLI::App* evalCommand = app.add_subcommand(
        "eval", "Evaluate a model on a CSV file: accuracy and confusion matrix, or RMSE and MAE.");
    evalCommand->add_option("MODEL.net", modelFile, "network file made by 'koru train'")->required();
    evalCommand->add_option("DATA.csv", dataFile, "CSV file with the model's columns")->required();
    PredictCommand predict;
    CLI::App* predictCommand = app.add_subcommand("predict", "Write the model's predictions for a CSV file as CSV.");
    predictCommand->add_option("MODEL.net", predict.modelFile, "network file made by 'koru train'")->required();
    predictCommand->add_option("DATA.csv", predict.dataFile, "CSV file with the model's input columns")->required();
    predictCommand->add_option("-o,--output", predict.output, "CSV file to write (default: standard output)");
    predictCommand->add_flag("--proba", predict.proba,
                             "classifiers: one column p:CLASS per class, summing to 1 (bp: outputs, pnn: kernel "
                             "sums, each over their total; lvq: 1 for the winning class)");
    predictCommand->add_option("--id", predict.ids, "copy this data column through (repeatable)")
        ->allow_extra_args(false);
    predictCommand->add_flag("--keep-inputs", predict.keepInputs, "copy every column of the data row through");
    CLI::App* infoCommand = app.add_subcommand(
        "info", "Describe a network file: net type, format, slabs, links, pattern counts, metadata.");
    infoCommand->add_option("MODEL.net", modelFile, "network file")->required();
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "Train every paradigm on the bundled data sets and print a table of the results.");
    demoCommand->add_option("--data", dataDir, "folder holding iris.csv and diabetes.csv")->capture_default_str();

    const std::set<std::string> commands{"train", "eval", "predict", "info", "demo"};
    if (argc > 1 && argv[1][0] != '-' && commands.count(argv[1]) == 0) {
        err << "koru: error: unknown command '" << argv[1]
            << "' (use train, eval, predict, info or demo; see 'koru --help')\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
        if (trainCommand->parsed()) {
            const std::string& paradigm = train.options.paradigm;
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
            CheckRealOptions({{validation, train.options.validation, 0.0, true, 0.9, true},
                              {rateOption, rate, 0.0, false, lvqRate ? 1.0 : 10.0, true},
                              {momentumOption, momentum, 0.0, true, 1.0, false},
                              {targetErrorOption, targetError, 0.0, true, 1e30, true},
                              {weightRangeOption, weightRange, 0.0, false, 100.0, true},
                              {sigma, train.options.kernel.sigma, 0.0, false, 1e6, true},
                              {finalRateOption, finalRate, 0.0, true, 1.0, true}});
            if (sigma->count() > 0) {
                if (pickSigma->count() > 0 && train.options.kernel.pickSigma != "none") {
                    throw CLI::ValidationError("--sigma sets the smoothing factor; it cannot go with --pick-sigma " +
                                               train.options.kernel.pickSigma);
                }
                train.options.kernel.pickSigma = "none";
            }
            BpOptions& bp = train.options.bp;
            LvqOptions& lvq = train.options.lvq;
            if (rateOption->count()) (paradigm == "lvq" ? lvq.rate : bp.rate) = rate;
            if (epochsOption->count()) (paradigm == "lvq" ? lvq.epochs : bp.epochs) = epochs;
            if (momentumOption->count()) bp.momentum = momentum;
            if (targetErrorOption->count()) bp.targetError = targetError;
            if (weightRangeOption->count()) bp.weightRange = weightRange;
            if (finalRateOption->count()) lvq.finalRate = finalRate;
            bp.format = format;
            lvq.format = format;
            if (kernel->count()) lvq.variant = train.options.kernel.kernel;
            if (paradigm == "lvq" && lvq.variant == "city-block") {
                throw CLI::ValidationError("--kernel city-block applies to pnn and grnn; lvq takes distance or dot");
            }
            if (paradigm == "grnn" && train.options.kernel.kernel == "dot") {
                throw CLI::ValidationError("--kernel dot applies to pnn and lvq; grnn takes distance or city-block");
            }
        }
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help, --version
        }
        err << "koru: error: " << OneLine(error.what()) << " (see 'koru --help' or 'koru COMMAND --help')\n";
        return 2;
    }

    try {
        if (trainCommand->parsed()) return RunTrain(train, out);
        if (evalCommand->parsed()) return RunEval(modelFile, dataFile, out);
        if (predictCommand->parsed()) return RunPredict(predict, out);
        if (infoCommand->parsed()) return RunInfo(modelFile, out);
        if (demoCommand->parsed()) return RunDemo(dataDir, out);
    } catch (const CliError& error) {
        out.flush();
        err << "koru: error: " << error.what() << "\n";
        return 1;
    }
    return 2;
}

}  // namespace koru_cli
