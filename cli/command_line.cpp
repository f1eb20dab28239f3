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

// The subcommands and where their options go.
struct Commands {
    TrainCommand train;
    TrainFlags trainFlags;
    CvCommand cv;
    TrainFlags cvFlags;
    std::string modelFile, dataFile, dataDir = DefaultDataDir();
    PredictCommand predict;
    CLI::App *trainApp = nullptr, *cvApp = nullptr, *evalApp = nullptr, *predictApp = nullptr, *infoApp = nullptr,
             *demoApp = nullptr;
};

void AddTrain(CLI::App& app, Commands& c) {
    c.trainApp = app.add_subcommand(
        "train",
        "Train a net on a CSV file (header row; the last column is the target unless --target names "
        "one) and save it as one network file with its metadata.");
    c.trainApp->add_option("DATA.csv", c.trainFlags.options.dataFile, "CSV file to train on")->required();
    c.trainApp->add_option("-o,--output", c.train.output, "network file to write (MODEL.net)")->required();
    c.trainFlags.Add(c.trainApp);
    c.trainApp->add_option("--plot", c.train.plot, "write the training curve to this SVG file");
    c.trainApp->add_flag("-q,--quiet", c.train.quiet, "no progress display");
    c.trainApp->add_flag("--save-on-interrupt", c.train.saveOnInterrupt,
                         "Ctrl-C or SIGTERM during bp or lvq training stops it and saves the best net so far "
                         "(without it nothing is saved); the exit status is 128 + the signal either way");
}

void AddCv(CLI::App& app, Commands& c) {
    c.cvApp = app.add_subcommand(
        "cv", "Stratified K-fold cross validation: train on K-1 folds as 'koru train' would, score the "
              "held-out fold, and print each fold's and the mean and standard deviation of the metric.");
    c.cvApp->add_option("DATA.csv", c.cvFlags.options.dataFile, "CSV file to cross-validate on")->required();
    c.cvApp->add_option("--folds", c.cv.folds, "number of folds, 2 or more")
        ->check(CLI::Range(2, 1000))
        ->capture_default_str();
    c.cvFlags.Add(c.cvApp);
    c.cvApp->add_flag("-q,--quiet", c.cv.quiet, "no progress display");
}

void AddEvalAndPredict(CLI::App& app, Commands& c) {
    c.evalApp = app.add_subcommand(
        "eval", "Evaluate a model on a CSV file: accuracy and confusion matrix, or RMSE and MAE.");
    c.evalApp->add_option("MODEL.net", c.modelFile, "network file made by 'koru train'")->required();
    c.evalApp->add_option("DATA.csv", c.dataFile, "CSV file with the model's columns")->required();
    c.predictApp = app.add_subcommand("predict", "Write the model's predictions for a CSV file as CSV.");
    c.predictApp->add_option("MODEL.net", c.predict.modelFile, "network file made by 'koru train'")->required();
    c.predictApp->add_option("DATA.csv", c.predict.dataFile, "CSV file with the model's input columns")->required();
    c.predictApp->add_option("-o,--output", c.predict.output, "CSV file to write (default: standard output)");
    c.predictApp->add_flag("--proba", c.predict.proba,
                           "classifiers: one column p:CLASS per class, summing to 1 (bp: outputs, pnn: kernel "
                           "sums, each over their total; lvq: 1 for the winning class)");
    c.predictApp->add_option("--id", c.predict.ids, "copy this data column through (repeatable)")
        ->allow_extra_args(false);
    c.predictApp->add_flag("--keep-inputs", c.predict.keepInputs, "copy every column of the data row through");
}

void AddInfoAndDemo(CLI::App& app, Commands& c) {
    c.infoApp = app.add_subcommand(
        "info", "Describe a network file: net type, format, slabs, links, pattern counts, metadata.");
    c.infoApp->add_option("MODEL.net", c.modelFile, "network file")->required();
    c.demoApp = app.add_subcommand(
        "demo", "Train every paradigm on the bundled data sets and print a table of the results.");
    c.demoApp->add_option("--data", c.dataDir, "folder holding iris.csv and diabetes.csv")->capture_default_str();
}

// Runs the parsed subcommand; a CliError becomes "koru: error: ..." on `err`.
int RunParsed(Commands& c, std::ostream& out, std::ostream& err) {
    try {
        if (c.trainApp->parsed()) return RunTrain(c.train, out);
        if (c.cvApp->parsed()) return RunCv(c.cv, out);
        if (c.evalApp->parsed()) return RunEval(c.modelFile, c.dataFile, out);
        if (c.predictApp->parsed()) return RunPredict(c.predict, out);
        if (c.infoApp->parsed()) return RunInfo(c.modelFile, out);
        if (c.demoApp->parsed()) return RunDemo(c.dataDir, out);
    } catch (const CliError& error) {
        out.flush();
        err << "koru: error: " << error.what() << "\n";
        return error.Status();
    }
    return 2;
}

// CLI11 reads an empty value ("--momentum ''") as the type's zero, which for
// options whose range includes 0 would pass as a chosen setting: every
// option that takes a value must be given a non-empty one.
void RefuseEmptyValues(const CLI::App& app) {
    for (const CLI::App* command : app.get_subcommands()) {
        for (const CLI::Option* option : command->get_options()) {
            if (option->get_type_size() == 0) continue;  // a flag
            for (const std::string& value : option->results()) {
                if (value.empty()) {
                    throw CLI::ValidationError(option->get_name() + " needs a value, not an empty one");
                }
            }
        }
    }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "koru: train, evaluate and use KORU32 neural networks on CSV files.\n"
        "Run 'koru COMMAND --help' for the options of a command.",
        "koru"};
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionLines);
    Commands c;
    AddTrain(app, c);
    AddCv(app, c);
    AddEvalAndPredict(app, c);
    AddInfoAndDemo(app, c);

    const std::set<std::string> commands{"train", "cv", "eval", "predict", "info", "demo"};
    if (argc > 1 && argv[1][0] != '-' && commands.count(argv[1]) == 0) {
        err << "koru: error: unknown command '" << argv[1]
            << "' (use train, cv, eval, predict, info or demo; see 'koru --help')\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
        RefuseEmptyValues(app);
        if (c.trainApp->parsed()) {
            c.trainFlags.Finish();
            c.train.options = c.trainFlags.options;
        }
        if (c.cvApp->parsed()) {
            c.cvFlags.Finish();
            c.cv.options = c.cvFlags.options;
        }
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help, --version
        }
        err << "koru: error: " << OneLine(error.what()) << " (see 'koru --help' or 'koru COMMAND --help')\n";
        return 2;
    }
    return RunParsed(c, out, err);
}

}  // namespace koru_cli
