// paradigms/bp_options.h - the settings of a backpropagation run and the
// names of its rules and transfer functions.
#ifndef KORU_CLI_BP_OPTIONS_H
#define KORU_CLI_BP_OPTIONS_H

#include "paradigm.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace koru_cli {

struct BpOptions : ParadigmOptions {
    std::vector<int> hidden{8};
    std::string transfer = "logistic";
    std::string outputTransfer;  // empty: logistic for classifiers, linear for regressors
    std::string rule = "momentum";
    double rate = NAN;           // NaN: 0.2 to classify, 0.05 to regress
    double momentum = 0.5;
    int epochs = 1000;  // 300 stopped short on Friedman #1; the patience ends most runs sooner
    double targetError = 0.0;    // stop once the training error is at or below it
    double weightRange = 0.5;
    // Stop after this many epochs without a better validation error (0: run
    // every epoch). With validation rows the weights of the best epoch are
    // kept either way.
    int patience = 50;
    std::string format = "float";
};

// Transfer names ("logistic", "linear", "tanh", "gaussian", "sine",
// "tanh15", "symmetric-logistic", "gaussian-complement") and their codes.
int TransferCode(const std::string& name);
const char* TransferName(int code);
const std::vector<std::string>& TransferNames();

// Checks the options; throws CliError for an unknown name or a value out of range.
void ValidateBpOptions(const BpOptions& options);

// The net type of a training rule (plain, momentum, batch, adaptive), and
// whether the rule applies its steps once per epoch.
uint16_t RuleNetType(const std::string& rule);
bool RuleIsBatch(const std::string& rule);

}  // namespace koru_cli

#endif
