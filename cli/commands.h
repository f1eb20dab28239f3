// commands.h - the subcommands of `koru`. Each returns the exit status and
// reports failures by throwing CliError.
#ifndef KORU_CLI_COMMANDS_H
#define KORU_CLI_COMMANDS_H

#include "csv_table.h"
#include "train_model.h"

#include <ostream>
#include <string>
#include <vector>

namespace koru_cli {

struct TrainCommand {
    TrainOptions options;
    std::string output;  // the network file to write
    std::string plot;    // optional SVG of the training curve
    bool quiet = false;
    // Ctrl-C or SIGTERM during training: save the best net so far (else nothing).
    bool saveOnInterrupt = false;
};
int RunTrain(const TrainCommand& command, std::ostream& out);

struct CvCommand {
    TrainOptions options;
    int folds = 5;
    bool quiet = false;
};
// Prints each fold's score, then the mean and standard deviation (over the
// folds, with K - 1 in the denominator) of accuracy or RMSE.
int RunCv(const CvCommand& command, std::ostream& out);
// The fold (0 to folds-1) of every row: a seeded shuffle, ordered by class for
// a classifier, dealt out in turn. Sets `task` as training would resolve it.
std::vector<int> CrossValidationFolds(const CsvTable& table, const TrainOptions& options, int folds, Task& task);

int RunEval(const std::string& modelFile, const std::string& dataFile, std::ostream& out);

struct PredictCommand {
    std::string modelFile;
    std::string dataFile;
    std::string output;            // empty: standard output
    bool proba = false;            // one probability column per class instead of raw scores
    std::vector<std::string> ids;  // data columns copied through
    bool keepInputs = false;       // every column of the data row copied through
};
// Writes the predictions as CSV to the command's output, or to `out`.
int RunPredict(const PredictCommand& command, std::ostream& out);

int RunInfo(const std::string& modelFile, std::ostream& out);

// `dataDir` holds iris.csv and diabetes.csv.
int RunDemo(const std::string& dataDir, std::ostream& out);

// The folder of the bundled data sets: $KORU_DATA_DIR when set, else
// ../share/koru32/data from the folder of the running program (where the
// install puts them, and where the build tree keeps a copy).
std::string DefaultDataDir();

}  // namespace koru_cli

#endif
