// train_flags.h - the options of a training run on the command line, shared
// by `koru train` and `koru cv`: added to a CLI11 command, then checked and
// turned into TrainOptions once parsed.
#ifndef KORU_CLI_TRAIN_FLAGS_H
#define KORU_CLI_TRAIN_FLAGS_H

#include <CLI/CLI.hpp>
#include <string>

#include "train_model.h"

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
    void AddCommon(CLI::App* command);
    void AddBackprop(CLI::App* command);
    void AddKernel(CLI::App* command);
    void Apply();

    // Options shared by two paradigms are read into these and handed on.
    double rate = 0, momentum = 0, targetError = 0, weightRange = 0, finalRate = 0;
    int epochs = 0;
    std::string format = "float";
    CLI::Option *validation = nullptr, *hidden = nullptr, *transfer = nullptr, *outputTransfer = nullptr,
                *rule = nullptr, *rateOption = nullptr, *momentumOption = nullptr, *epochsOption = nullptr,
                *patience = nullptr, *targetErrorOption = nullptr, *weightRangeOption = nullptr,
                *formatOption = nullptr, *kernel = nullptr, *sigma = nullptr, *pickSigma = nullptr,
                *units = nullptr, *finalRateOption = nullptr, *radius = nullptr, *gridWidth = nullptr;
};

}  // namespace koru_cli

#endif
