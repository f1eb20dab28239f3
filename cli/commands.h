// commands.h - the subcommands of `koru`. Each returns the exit status and
// reports failures by throwing CliError.
#ifndef KORU_CLI_COMMANDS_H
#define KORU_CLI_COMMANDS_H

#include "train_model.h"

#include <ostream>
#include <string>

namespace koru_cli {

struct TrainCommand {
    TrainOptions options;
    std::string output;  // the network file to write
    std::string plot;    // optional SVG of the training curve
    bool quiet = false;
};
int RunTrain(const TrainCommand& command, std::ostream& out);

int RunEval(const std::string& modelFile, const std::string& dataFile, std::ostream& out);

// Writes the predictions as CSV to `outputFile`, or to `out` when it is empty.
int RunPredict(const std::string& modelFile, const std::string& dataFile, const std::string& outputFile,
               std::ostream& out);

int RunInfo(const std::string& modelFile, std::ostream& out);

// `dataDir` holds iris.csv and diabetes.csv.
int RunDemo(const std::string& dataDir, std::ostream& out);

// The folder of the bundled data sets: $KORU_DATA_DIR when set, else
// ../share/koru32/data from the folder of the running program (where the
// install puts them, and where the build tree keeps a copy).
std::string DefaultDataDir();

}  // namespace koru_cli

#endif
