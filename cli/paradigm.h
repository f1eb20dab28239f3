// paradigm.h - one interface for every paradigm `koru` trains.
//
// A paradigm lives in a file of its own under paradigms/: its typed options
// (and their defaults, stated in their help), its training, its metadata
// and its recall. The commands know paradigms only through ParadigmModule
// and the registry (paradigms/list.h), so adding a paradigm is one new file
// and one line in that list.
#ifndef KORU_CLI_PARADIGM_H
#define KORU_CLI_PARADIGM_H

#include "model_metadata.h"
#include "training_set.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace koru_cli {

class NetSlot;
class ParadigmFlags;
struct NetworkFileLayout;
struct Prediction;

// A paradigm's typed training options; each paradigm derives its own.
struct ParadigmOptions {
    virtual ~ParadigmOptions() = default;
};

// What the checks of a model file against its net can ask of the net.
class NetChecker {
public:
    NetChecker(const NetworkFileLayout& layout, const std::string& fileName) : layout_(layout), file_(fileName) {}
    // "FILE: the metadata does not fit the net (WHAT)"
    [[noreturn]] void Mismatch(const std::string& what) const;
    int SlabSize(int slab) const;  // 0 for a slab not in use
    int SlabKind(int slab) const;
    void ExpectSlab(int slab, size_t neurons, int kind) const;
    void ExpectLink(int link, int source, int dest) const;

private:
    const NetworkFileLayout& layout_;
    std::string file_;
};

class ParadigmModule {
public:
    virtual ~ParadigmModule() = default;
    // "bp": the value of --paradigm and of the metadata's paradigm= line.
    virtual const char* Name() const = 0;
    virtual uint16_t EngineParadigm() const = 0;  // KORU32_PARADIGM_*
    virtual bool Supports(Task task) const = 0;
    // The task `--task auto` stands for; `looksCategorical` asks the target column.
    virtual Task AutoTask(const std::function<bool()>& looksCategorical) const = 0;

    // ---- options ----------------------------------------------------------
    virtual std::unique_ptr<ParadigmOptions> NewOptions() const = 0;
    // Adds the paradigm's options, bound to `options`.
    virtual void AddFlags(ParadigmFlags& flags, ParadigmOptions& options) const = 0;
    // After parsing, when this is the chosen paradigm: range checks and what
    // one option implies for another; throws CLI::ValidationError.
    virtual void FinishFlags(const ParadigmFlags& flags, ParadigmOptions& options) const = 0;
    // The fraction of rows held out when --validation is not given.
    virtual double DefaultValidation(const ParadigmOptions&) const { return 0.2; }
    // Inputs scaled to unit length after the scaling (dot-product kernels).
    virtual bool UnitLengthInputs(const ParadigmOptions&) const { return false; }
    // Empty when training with `options` draws a curve for --plot; else why not.
    virtual std::string NoCurveReason(const ParadigmOptions&) const { return {}; }

    // ---- training, metadata, recall -----------------------------------------
    virtual std::shared_ptr<const ParadigmState> Train(const NetSlot& slot, const ParadigmOptions& options,
                                                       const TrainingJob& job) const = 0;
    // The paradigm's settings from a model file's entries.
    virtual std::shared_ptr<const ParadigmState> ReadState(const MetadataEntries& entries) const = 0;
    // Checks slabs and links past slab 0 against the metadata; throws CliError.
    virtual void CheckNet(const ModelMetadata& metadata, const NetChecker& net) const = 0;
    // Classifiers: whether a prediction carries one graded score per class.
    virtual bool GradedScores() const = 0;
    // Fills the class or the value (scaled), the scores and `undefined` for
    // one scaled input.
    virtual void Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                        Prediction& prediction) const = 0;
};

// Casts between the interface's base types and a paradigm's own ones.
template <typename Options, typename State>
class TypedParadigm : public ParadigmModule {
public:
    std::unique_ptr<ParadigmOptions> NewOptions() const override { return std::make_unique<Options>(); }

protected:
    static const Options& OptionsOf(const ParadigmOptions& options) { return dynamic_cast<const Options&>(options); }
    static Options& OptionsOf(ParadigmOptions& options) { return dynamic_cast<Options&>(options); }
    static const State& StateOf(const ModelMetadata& metadata) { return dynamic_cast<const State&>(*metadata.state); }
};

// Every paradigm, in the order of paradigms/list.h.
const std::vector<const ParadigmModule*>& Paradigms();
// Throws CliError "unknown paradigm 'NAME' (use bp, pnn, grnn or lvq)".
const ParadigmModule& FindParadigm(const std::string& name);
// The names of the paradigms that can do `task` (all when none), joined by
// ", " and a last " or ": "bp, pnn, grnn or lvq".
std::string ParadigmNames(const Task* task = nullptr);

}  // namespace koru_cli

#endif
