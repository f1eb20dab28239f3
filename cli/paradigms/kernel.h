// paradigms/kernel.h - what the probabilistic and the general regression nets
// share: kernel, smoothing factor, the search that chooses it, the net, and
// the settings a model records.
#ifndef KORU_CLI_PARADIGMS_KERNEL_H
#define KORU_CLI_PARADIGMS_KERNEL_H

#include "paradigm.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace koru_cli {

// The slabs of a PNN or GRNN as MakePatternUnitNet makes them.
constexpr int16_t kInputSlab = 0;
constexpr int16_t kPatternSlab = 1;
constexpr int16_t kOutputSlab = 2;

struct KernelOptions : ParadigmOptions {
    std::string kernel = "distance";  // distance | dot (PNN only) | city-block
    double sigma = 0.1;               // the smoothing factor, on the scaled inputs (pickSigma none)
    // none | loo (leave-one-out) | validation. No single smoothing factor
    // suits every data set, so by default leave-one-out chooses it; the
    // command line implies none when --sigma is given.
    std::string pickSigma = "loo";
};

// What a trained PNN or GRNN records.
struct KernelState : ParadigmState {
    std::string kernel = "distance";
    double sigma = 0.0;
    std::string pickedBy = "none";
    size_t patterns = 0;

    void Write(MetadataEntries& entries) const override;
};
std::shared_ptr<const ParadigmState> ReadKernelState(const MetadataEntries& entries);

// The options of both paradigms; `kernels` are the ones `paradigm` takes.
void AddKernelFlags(ParadigmFlags& flags, const std::string& paradigm, KernelOptions& options,
                    const std::vector<std::string>& kernels);
// Checks --sigma; a given --sigma implies --pick-sigma none.
void FinishKernelFlags(const ParadigmFlags& flags, KernelOptions& options);
// Leave-one-out needs no held-out rows, so unless --validation says
// otherwise, every row is stored and takes part in the search; the search on
// validation rows holds out a fifth.
double KernelDefaultValidation(const KernelOptions& options);
std::string KernelNoCurveReason(const KernelOptions& options);
// Checks the slabs and links of a PNN or GRNN and its smoothing factor.
void CheckKernelNet(const ModelMetadata& metadata, const KernelState& state, const NetChecker& net);

// The parts of the PNN and GRNN modules that are the kernel's alone: how
// their options finish, which rows they hold out, their recorded state and
// the check of their nets.
class KernelParadigm : public TypedParadigm<KernelOptions, KernelState> {
public:
    void FinishFlags(const ParadigmFlags& flags, ParadigmOptions& options) const override {
        FinishKernelFlags(flags, OptionsOf(options));
    }
    double DefaultValidation(const ParadigmOptions& options) const override {
        return KernelDefaultValidation(OptionsOf(options));
    }
    std::string NoCurveReason(const ParadigmOptions& options) const override {
        return KernelNoCurveReason(OptionsOf(options));
    }
    std::shared_ptr<const ParadigmState> ReadState(const MetadataEntries& entries) const override {
        return ReadKernelState(entries);
    }
    void CheckNet(const ModelMetadata& metadata, const NetChecker& net) const override {
        CheckKernelNet(metadata, StateOf(metadata), net);
    }
};

// The smoothing factors tried by a search: 24 values spaced evenly on a log
// scale from 0.01 to 2, which covers inputs scaled to [0, 1] or to unit
// standard deviation.
std::vector<double> SigmaCandidates();

// Checks the settings of a kernel net that is to hold `patterns` training
// patterns, one pattern unit each; `paradigm` names the net in messages.
void ValidateKernelJob(const KernelOptions& options, size_t patterns, size_t validationRows,
                       const std::string& paradigm);

// How a kernel net is scored in the smoothing-factor search.
struct SigmaTrial {
    const char* paradigm = "";  // "pnn" or "grnn": starts the progress notes
    // true: the loss is a squared error on the scaled target, reported as the
    // RMSE; false: the loss is 0 or 1 (wrong), reported as the error rate.
    bool squaredError = false;
    // The loss of pattern `p` of `set` at smoothing factor `sigma`.
    std::function<double(const PatternSet& set, size_t p, float sigma)> loss;
    // Leave one out: takes training pattern p's unit out of the net, and puts
    // it back afterwards.
    std::function<void(size_t p)> leaveOut;
    std::function<void(size_t p)> putBack;
};

// Searches SigmaCandidates() as `options.pickSigma` asks (loo or validation)
// and returns the factor of the smallest summed loss, the largest factor
// among equals (the smoothest of the equally good nets). Fills the job's curve
// with the measure of every factor and notes the search and its pick.
double PickSigma(const KernelOptions& options, const TrainingJob& job, const SigmaTrial& trial);

// The settings a model records after training with `options`.
std::shared_ptr<KernelState> MakeKernelState(const KernelOptions& options, double sigma, size_t patterns);

// Makes net `net` of `type` as a PNN or GRNN needs it, in 32-bit floats:
// slab 0 (input) of `inputs` neurons, slab 1 of one pattern unit per
// training pattern, slab 2 (output) of `outputs` neurons, and links 0 -> 1
// and 1 -> 2, which start with every stored pattern at zero.
void MakePatternUnitNet(const int16_t* net, uint16_t type, size_t inputs, size_t patterns, size_t outputs);

}  // namespace koru_cli

#endif
