// command_line.cpp - the subcommands and options of `koru`, parsed with CLI11.
#include "command_line.h"

#include <CLI/CLI.hpp>
#include <set>

#include "cli_error.h"
#include "commands.h"
#include "train_flags.h"

#include <koru32.h>

namespace koru_cli {

namespace {

// "1.0.0" from a version number in the form of KORU32_VERSION_NUMBER.
std::string VersionText(int32_t number) {
    return std::to_string(number / 10000) + "." + std::to_string(number / 100 % 100) + "." +
           std::to_string(number % 100);
}

// The program's version (that of the header it was built with) and the
// version of the library it has loaded, which may be a later one.
std::string VersionLines() {
    int32_t library = 0;
    GetLibraryVersion(&library);
    return "koru " + VersionText(KORU32_VERSION_NUMBER) + "\nKORU32 library " + VersionText(library);
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "koru: train, evaluate and use KORU32 neural networks on CSV files.\n"
        "Run 'koru COMMAND --help' for the options of a command.",
        "koru"};
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionLines);

    // ---- train -------------------------------------------------------------
    TrainCommand train;
    TrainFlags trainFlags;
    CLI::App* trainCommand = app.add_subcommand(
        "train",
        "Train a net on a CSV file (header row; the last column is the target unless --target names "
        "one) and save it as one network file with its metadata.");
    trainCommand->add_option("DATA.csv", trainFlags.options.dataFile, "CSV file to train on")->required();
    trainCommand->add_option("-o,--output", train.output, "network file to write (MODEL.net)")->required();
    trainFlags.Add(trainCommand);
    trainCommand->add_option("--plot", train.plot, "write the training curve to this SVG file");
    trainCommand->add_flag("-q,--quiet", train.quiet, "no progress display");

    CvCommand cv;
    TrainFlags cvFlags;
    CLI::App* cvCommand = app.add_subcommand(
        "cv", "Stratified K-fold cross validation: train on K-1 folds as 'koru train' would, score the "
              "held-out fold, and print each fold's and the mean and standard deviation of the metric.");
    cvCommand->add_option("DATA.csv", cvFlags.options.dataFile, "CSV file to cross-validate on")->required();
    cvCommand->add_option("--folds", cv.folds, "number of folds, 2 or more")
        ->check(CLI::Range(2, 1000))
        ->capture_default_str();
    cvFlags.Add(cvCommand);
    cvCommand->add_flag("-q,--quiet", cv.quiet, "no progress display");

    // ---- eval, predict, info, demo ----------------------------------------
    std::string modelFile, dataFile, dataDir = DefaultDataDir();
    CLI::App* evalCommand = app.add_subcommand(
        "eval", "Evaluate a model on a CSV file: accuracy and confusion matrix, or RMSE and MAE.");
    evalCommand->add_option("MODEL.net", modelFile, "network file made by 'koru train'")->required();
    evalCommand->add_option("DATA.csv", dataFile, "CSV file with the model's columns")->required();
    PredictCommand predict;
    CLI::App* predictCommand =
        app.add_subcommand("predict", "Write the model's predictions for a CSV file as CSV.");
    predictCommand->add_option("MODEL.net", predict.modelFile, "network file made by 'koru train'")
        ->required();
    predictCommand->add_option("DATA.csv", predict.dataFile, "CSV file with the model's input columns")
        ->required();
    predictCommand->add_option("-o,--output", predict.output, "CSV file to write (default: standard output)");
    predictCommand->add_flag(
        "--proba", predict.proba,
        "classifiers: one column p:CLASS per class, summing to 1 (bp: outputs, pnn: kernel "
        "sums, each over their total; lvq: 1 for the winning class)");
    predictCommand->add_option("--id", predict.ids, "copy this data column through (repeatable)")
        ->allow_extra_args(false);
    predictCommand->add_flag("--keep-inputs", predict.keepInputs,
                             "copy every column of the data row through");
    CLI::App* infoCommand = app.add_subcommand(
        "info", "Describe a network file: net type, format, slabs, links, pattern counts, metadata.");
    infoCommand->add_option("MODEL.net", modelFile, "network file")->required();
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "Train every paradigm on the bundled data sets and print a table of the results.");
    demoCommand->add_option("--data", dataDir, "folder holding iris.csv and diabetes.csv")
        ->capture_default_str();

    const std::set<std::string> commands{"train", "cv", "eval", "predict", "info", "demo"};
    if (argc > 1 && argv[1][0] != '-' && commands.count(argv[1]) == 0) {
        err << "koru: error: unknown command '" << argv[1]
            << "' (use train, cv, eval, predict, info or demo; see 'koru --help')\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
        if (trainCommand->parsed()) {
            trainFlags.Finish();
            train.options = trainFlags.options;
        }
        if (cvCommand->parsed()) {
            cvFlags.Finish();
            cv.options = cvFlags.options;
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
        if (cvCommand->parsed()) return RunCv(cv, out);
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
