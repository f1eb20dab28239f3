// kernel_options.h - the settings shared by the probabilistic and the
// general regression nets: kernel, smoothing factor and how to choose it.
#ifndef KORU_CLI_KERNEL_OPTIONS_H
#define KORU_CLI_KERNEL_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

namespace koru_cli {

// The slabs of a PNN or GRNN as MakePatternUnitNet makes them.
constexpr int16_t kInputSlab = 0;
constexpr int16_t kPatternSlab = 1;
constexpr int16_t kOutputSlab = 2;

struct KernelOptions {
    std::string kernel = "distance";  // distance | dot (PNN only) | city-block
    double sigma = 0.1;               // the smoothing factor, on the scaled inputs
    std::string pickSigma = "none";   // none | loo (leave-one-out) | validation
};

// The smoothing factors tried by a search: 24 values spaced evenly on a log
// scale from 0.01 to 2, which covers inputs scaled to [0, 1] or to unit
// standard deviation.
std::vector<double> SigmaCandidates();

// Checks a pickSigma value and that a validation search has a validation set.
void ValidatePickSigma(const std::string& pickSigma, size_t validationRows);

// Checks the settings of a kernel net that is to hold `patterns` training
// patterns, one pattern unit each; `paradigm` names the net in messages.
void ValidateKernelJob(const KernelOptions& options, size_t patterns, size_t validationRows,
                       const std::string& paradigm);

// Makes net `net` of `type` as a PNN or GRNN needs it, in 32-bit floats:
// slab 0 (input) of `inputs` neurons, slab 1 of one pattern unit per
// training pattern, slab 2 (output) of `outputs` neurons, and links 0 -> 1
// and 1 -> 2, which start with every stored pattern at zero.
void MakePatternUnitNet(const int16_t* net, uint16_t type, size_t inputs, size_t patterns, size_t outputs);

}  // namespace koru_cli

#endif
