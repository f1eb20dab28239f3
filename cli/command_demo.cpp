// command_demo.cpp - `koru demo`: every paradigm on the bundled data sets.
//
// Trains backpropagation (in 32-bit floats and in 8.24 fixed point), a PNN
// and an LVQ net on the iris measurements, and a GRNN and backpropagation on
// the diabetes progression data, each with a fifth of the rows held out, and
// prints one table row per run as it finishes. Kept to a few seconds.
#include "cli_error.h"
#include "commands.h"
#include "train_flags.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

// Where the data sets lie, relative to the folder of the program: the build
// sets it from the install layout, and keeps a copy there in its own tree.
#ifndef KORU_DATA_FROM_PROGRAM
#define KORU_DATA_FROM_PROGRAM "../share/koru32/data"
#endif

namespace koru_cli {

namespace {

struct DemoRun {
    const char* label;
    const char* dataSet;
    TrainOptions options;
};

// A run on the bundled data set `dataSet` with the options `words`, as
// `koru train` takes them; a fifth of the rows is held out for every paradigm.
DemoRun Run(const std::string& dataDir, const char* label, const char* dataSet, std::vector<std::string> words) {
    words.insert(words.end(), {"--validation", "0.2"});
    return DemoRun{label, dataSet, ParseTrainOptions(dataDir + "/" + dataSet + ".csv", words)};
}

std::vector<DemoRun> DemoRuns(const std::string& dataDir) {
    return {
        Run(dataDir, "bp (float32)", "iris", {"--paradigm", "bp", "--hidden", "6", "--epochs", "200"}),
        Run(dataDir, "bp (8.24 fixed)", "iris", {"--paradigm", "bp", "--hidden", "6", "--epochs", "200", "--format", "fixed"}),
        Run(dataDir, "pnn", "iris", {"--paradigm", "pnn", "--pick-sigma", "loo"}),
        Run(dataDir, "lvq", "iris", {"--paradigm", "lvq", "--epochs", "50"}),
        Run(dataDir, "grnn", "diabetes", {"--paradigm", "grnn", "--pick-sigma", "loo"}),
        Run(dataDir, "bp (float32)", "diabetes", {"--paradigm", "bp", "--hidden", "8", "--rate", "0.05", "--epochs", "100"}),
    };
}

// One line of the results table; the heading is written with it too, so the
// columns line up.
std::string TableRow(const char* paradigm, const char* dataSet, const char* task, const char* rows,
                     const char* result, const char* time) {
    char line[160];
    std::snprintf(line, sizeof line, "%-16s %-9s %-9s %-12s %-18s %8s\n", paradigm, dataSet, task, rows, result,
                  time);
    return line;
}

}  // namespace

std::string DefaultDataDir() {
    const char* fromEnvironment = std::getenv("KORU_DATA_DIR");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    // The running program's own file (links resolved), whatever the current
    // folder; a system without /proc falls back on data/ of the current folder.
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || program.empty()) return "data";
    return (program.parent_path() / KORU_DATA_FROM_PROGRAM).lexically_normal().string();
}

int RunDemo(const std::string& dataDir, std::ostream& out) {
    for (const char* name : {"iris.csv", "diabetes.csv"}) {
        if (!std::ifstream(dataDir + "/" + name)) {
            throw CliError(dataDir + "/" + name + ": cannot open the bundled data set (set --data or KORU_DATA_DIR)");
        }
    }
    out << "koru demo: each paradigm trained on a bundled data set and scored on the 20% of rows held out\n\n";
    out << TableRow("paradigm", "data set", "task", "train/valid.", "validation result", "time");
    out << std::string(77, '-') << "\n" << std::flush;
    double total = 0.0;
    Progress quiet(Progress::Mode::Quiet, out);
    for (const DemoRun& run : DemoRuns(dataDir)) {
        TrainedModel model = TrainModel(run.options, quiet);
        const Evaluation& result = *model.validation;
        char measure[40];
        if (result.task == Task::Classify) {
            std::snprintf(measure, sizeof measure, "accuracy %.4f", result.Accuracy());
        } else {
            std::snprintf(measure, sizeof measure, "rmse %.2f", result.Rmse());
        }
        std::string rows = std::to_string(model.trainRows) + "/" + std::to_string(model.validationRows);
        char time[24];
        std::snprintf(time, sizeof time, "%.2f s", model.seconds);
        out << TableRow(run.label, run.dataSet, TaskName(result.task), rows.c_str(), measure, time) << std::flush;
        total += model.seconds;
    }
    char line[160];
    std::snprintf(line, sizeof line, "\ntotal training time %.2f s. Try: koru train %s/iris.csv -o iris.net\n",
                  total, dataDir.c_str());
    out << line;
    return 0;
}

}  // namespace koru_cli
