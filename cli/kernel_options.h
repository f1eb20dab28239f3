// kernel_options.h - the settings shared by the probabilistic and the
// general regression nets: kernel, smoothing factor and how to choose it.
#ifndef KORU_CLI_KERNEL_OPTIONS_H
#define KORU_CLI_KERNEL_OPTIONS_H

#include <string>
#include <vector>

namespace koru_cli {

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

}  // namespace koru_cli

#endif
