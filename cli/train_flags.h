// train_flags.h - the options of a training run on the command line, shared
// by `koru train`, `koru cv` and the demo: added to a CLI11 command, then
// checked and turned into TrainOptions once parsed. Each paradigm adds its
// own options (paradigm.h).
#ifndef KORU_CLI_TRAIN_FLAGS_H
#define KORU_CLI_TRAIN_FLAGS_H

#include "paradigm.h"
#include "paradigm_flags.h"
#include "train_model.h"

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace koru_cli {

class TrainFlags {
public:
    // Adds every training option (not the data file, -o, --plot or -q).
    void Add(CLI::App* command);
    // After parsing: refuses options of another paradigm and numbers out of
    // range (CLI::ValidationError naming the option), then fills `options`.
    void Finish();

    TrainOptions options;

private:
    std::string paradigm_ = "bp";
    double validation_ = 0.2;
    CLI::Option* validationOption_ = nullptr;
    std::unique_ptr<ParadigmFlags> flags_;
    std::vector<std::shared_ptr<ParadigmOptions>> perParadigm_;  // in the order of Paradigms()
};

// The options of a training run from command-line words ("--paradigm",
// "lvq", ...) as `koru train` reads them; `dataFile` is the data file.
// Throws CliError for words it refuses.
TrainOptions ParseTrainOptions(const std::string& dataFile, const std::vector<std::string>& words);

}  // namespace koru_cli

#endif
