// kernel_options.cpp - the smoothing-factor search grid.
#include "kernel_options.h"

#include "cli_error.h"
#include "library_call.h"

#include <koru32.h>

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

void ValidateKernelJob(const KernelOptions& options, size_t patterns, size_t validationRows,
                       const std::string& paradigm) {
    ValidatePickSigma(options.pickSigma, validationRows);
    if (options.pickSigma == "none" && !(options.sigma > 0.0)) {
        throw CliError("--sigma must be above 0");
    }
    if (patterns > 32767) {
        throw CliError("a " + paradigm + " holds at most 32767 training patterns; this set has " +
                       std::to_string(patterns));
    }
}

void MakePatternUnitNet(const int16_t* net, uint16_t type, size_t inputs, size_t patterns, size_t outputs) {
    // These nets compute in 32-bit floats whatever the math mode.
    const uint16_t math = KORU32_MATH_FLOAT;
    Check(SetMath(&math), "SetMath");
    Check(MakeNet(net, &type), "MakeNet");
    const int16_t sizes[3] = {static_cast<int16_t>(inputs), static_cast<int16_t>(patterns),
                              static_cast<int16_t>(outputs)};
    const int16_t kinds[3] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT};
    for (int16_t slab = 0; slab < 3; ++slab) {
        Check(MakeSlab(net, &slab, &sizes[slab], &kinds[slab]), "MakeSlab");
    }
    const float range = 0.0f;
    for (int16_t link = 0; link < 2; ++link) {
        const int16_t source = link;
        const auto dest = static_cast<int16_t>(link + 1);
        Check(MakeLink(net, &link, &range, &source, &dest), "MakeLink");
    }
}

}  // namespace koru_cli
