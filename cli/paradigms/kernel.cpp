// paradigms/kernel.cpp - the smoothing-factor search, the kernel net and
// the options and settings PNN and GRNN share.
#include "paradigms/kernel.h"

#include "cli_error.h"
#include "library_call.h"
#include "network_file.h"
#include "paradigm_flags.h"

#include <koru32.h>

#include <cmath>
#include <cstdio>

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

double PickSigma(const KernelOptions& options, const TrainingJob& job, const SigmaTrial& trial) {
    const std::vector<double> sigmas = SigmaCandidates();
    const bool leaveOneOut = options.pickSigma == "loo";
    const PatternSet& scored = leaveOneOut ? job.train : job.validation;
    if (leaveOneOut && job.progress) {
        job.progress->Note(std::string(trial.paradigm) + ": leave-one-out search over " +
                           std::to_string(sigmas.size()) + " smoothing factors");
    }
    // Every factor is tried on one pattern before the next pattern, so a
    // left-out unit is taken out and put back once, not once per factor.
    std::vector<double> losses(sigmas.size(), 0.0);
    for (size_t p = 0; p < scored.Size(); ++p) {
        if (leaveOneOut) {
            trial.leaveOut(p);
        }
        for (size_t s = 0; s < sigmas.size(); ++s) {
            losses[s] += trial.loss(scored, p, static_cast<float>(sigmas[s]));
        }
        if (leaveOneOut) {
            trial.putBack(p);
        }
    }
    const double trials = static_cast<double>(scored.Size());
    auto measure = [&](size_t s) {
        return trial.squaredError ? std::sqrt(losses[s] / trials) : losses[s] / trials;
    };

    // The smallest loss wins; among equals the largest factor, the smoothest
    // of the equally good nets.
    size_t best = 0;
    for (size_t s = 0; s < sigmas.size(); ++s) {
        if (losses[s] <= losses[best]) {
            best = s;
        }
    }
    if (job.curve) {
        job.curve->xLabel = "smoothing factor";
        job.curve->yLabel = std::string(leaveOneOut ? "leave-one-out " : "validation ") +
                            (trial.squaredError ? "RMSE (scaled target)" : "error rate");
        job.curve->logX = true;
        job.curve->validationName = job.curve->yLabel;  // what the one curve is, not "validation"
        for (size_t s = 0; s < sigmas.size(); ++s) {
            job.curve->x.push_back(sigmas[s]);
            job.curve->validation.push_back(measure(s));
        }
    }
    if (job.progress) {
        char text[120];
        std::snprintf(text, sizeof text,
                      trial.squaredError ? "%s: picked sigma %.4g (%s RMSE %.4f on the scaled target)"
                                         : "%s: picked sigma %.4g (%s error rate %.4f)",
                      trial.paradigm, sigmas[best], options.pickSigma.c_str(), measure(best));
        job.progress->Note(text);
    }
    return sigmas[best];
}

std::shared_ptr<KernelState> MakeKernelState(const KernelOptions& options, double sigma, size_t patterns) {
    auto state = std::make_shared<KernelState>();
    state->kernel = options.kernel;
    state->sigma = sigma;
    state->pickedBy = options.pickSigma;
    state->patterns = patterns;
    return state;
}

void KernelState::Write(MetadataEntries& entries) const {
    entries.Put("kernel", kernel);
    entries.Put("sigma", sigma);
    entries.Put("sigma.picked_by", pickedBy);
    entries.PutInteger("patterns", static_cast<long long>(patterns));
}

std::shared_ptr<const ParadigmState> ReadKernelState(const MetadataEntries& entries) {
    auto state = std::make_shared<KernelState>();
    state->sigma = entries.Number("sigma");
    state->kernel = entries.TextOr("kernel", state->kernel);
    state->pickedBy = entries.TextOr("sigma.picked_by", state->pickedBy);
    state->patterns = static_cast<size_t>(entries.IntegerOr("patterns", 0));
    return state;
}

void AddKernelFlags(ParadigmFlags& flags, const std::string& paradigm, KernelOptions& options,
                    const std::vector<std::string>& kernels) {
    std::string list;
    for (size_t i = 0; i < kernels.size(); ++i) {
        list += (i == 0 ? "" : (i + 1 == kernels.size() ? " or " : ", ")) + kernels[i];
    }
    flags.Add("--kernel", paradigm, options.kernel, list + " (default distance)", kernels);
    flags.Add("--sigma", paradigm, options.sigma,
              "smoothing factor, above 0, at most 1e6 (default: chosen by leave-one-out; giving one implies "
              "--pick-sigma none)");
    flags.Add("--pick-sigma", paradigm, options.pickSigma,
              "choose sigma: none, loo (leave-one-out over every row not held out by --validation) or "
              "validation (on the held-out rows) (default loo)",
              {"none", "loo", "validation"});
}

void FinishKernelFlags(const ParadigmFlags& flags, KernelOptions& options) {
    flags.CheckReal("--sigma", options.sigma, 0.0, false, 1e6, true);
    if (flags.Given("--sigma")) {
        if (flags.Given("--pick-sigma") && options.pickSigma != "none") {
            ParadigmFlags::Refuse("--sigma sets the smoothing factor; it cannot go with --pick-sigma " +
                                       options.pickSigma);
        }
        options.pickSigma = "none";
    }
}

double KernelDefaultValidation(const KernelOptions& options) {
    return options.pickSigma == "validation" ? 0.2 : 0.0;
}

std::string KernelNoCurveReason(const KernelOptions& options) {
    return options.pickSigma == "none"
               ? "--plot needs a training curve: pnn and grnn have one only with --pick-sigma loo or validation"
               : "";
}

void CheckKernelNet(const ModelMetadata& metadata, const KernelState& state, const NetChecker& net) {
    if (net.SlabSize(1) < 1 || net.SlabKind(1) != KORU32_SLAB_HIDDEN) {
        net.Mismatch("slab 1 should be the pattern slab");
    }
    net.ExpectSlab(2, metadata.task == Task::Classify ? metadata.classes.size() : 1, KORU32_SLAB_OUTPUT);
    net.ExpectLink(0, 0, 1);
    net.ExpectLink(1, 1, 2);
    if (!(state.sigma > 0.0)) {
        net.Mismatch("the smoothing factor must be above 0");
    }
}

static void ValidatePickSigma(const std::string& pickSigma, size_t validationRows) {
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
                       std::to_string(patterns) + " (--sample N trains on N rows drawn at random with --seed)");
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
