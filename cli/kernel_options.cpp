// kernel_options.cpp - the smoothing-factor search grid.
#include "kernel_options.h"

#include "cli_error.h"

#include <cmath>

namespace koru_cli {

std::vector<double> SigmaCandidates() {
    constexpr int kCount = 24;
    const double low = std::log(0.01);
    const double high = std::log(2.0);
    std::vector<double> sigmas;
    for (int i = 0; i < kCount; ++i) {
        sigmas.push_back(std::exp(low + (high - low) * i / (kCount - 1)));
    }
    return sigmas;
}

void ValidatePickSigma(const std::string& pickSigma, size_t validationRows) {
    if (pickSigma != "none" && pickSigma != "loo" && pickSigma != "validation") {
        throw CliError("unknown --pick-sigma '" + pickSigma + "' (use none, loo or validation)");
    }
    if (pickSigma == "validation" && validationRows == 0) {
        throw CliError("--pick-sigma validation needs a validation set (--validation above 0)");
    }
}

}  // namespace koru_cli
