// paradigms/lvq.cpp - learning vector quantisation (LVQ1): options,
// training, metadata, recall.
//
// Slab 0 holds the inputs and slab 1 (an output slab) the units, `unitsPerClass`
// per class, units of one class side by side; link 0 from slab 0 to slab 1
// holds one weight vector per unit, each started on a randomly chosen
// training pattern of its class. The engine knows no classes: per pattern the
// trainer calls LvqPropagate and LvqEvaluate on slab 1, then LvqTrain on slab
// 0 with +rate when the winning unit belongs to the pattern's class and -rate
// when it does not. The rate falls linearly from --rate to --final-rate over
// the epochs, and the neighbourhood radius from --radius to 0.
#include "cli_error.h"
#include "library_call.h"
#include "paradigm_flags.h"
#include "pending_file.h"
#include "predictor.h"

#include <koru32.h>

#include <cmath>
#include <numeric>
#include <optional>

namespace koru_cli {

namespace {

constexpr int16_t kInputSlab = 0;
constexpr int16_t kUnitSlab = 1;
constexpr int16_t kLink = 0;

struct LvqOptions : ParadigmOptions {
    std::string variant = "distance";  // distance | dot
    int unitsPerClass = 5;             // 2 fell short on digits and breast cancer
    double rate = 0.1;
    double finalRate = 0.001;
    int radius = 0;
    int gridWidth = 0;                 // 0: the units in one row
    int epochs = 100;
    std::string format = "float";
};

struct LvqState : ParadigmState {
    LvqOptions options;
    std::vector<int> unitClasses;  // the class of every unit
    double trainErrorRate = NAN;
    std::optional<double> validationErrorRate;

    void Write(MetadataEntries& entries) const override {
        entries.Put("lvq.variant", options.variant);
        entries.PutInteger("lvq.units_per_class", options.unitsPerClass);
        entries.PutIntegers("lvq.unit_classes", unitClasses);
        entries.Put("lvq.rate", options.rate);
        entries.Put("lvq.final_rate", options.finalRate);
        entries.PutInteger("lvq.radius", options.radius);
        entries.PutInteger("lvq.grid_width", options.gridWidth);
        entries.PutInteger("lvq.epochs", options.epochs);
        entries.Put("format", options.format);
        entries.Put("train.error_rate", trainErrorRate);
        if (validationErrorRate) entries.Put("validation.error_rate", *validationErrorRate);
    }
};

// The winning unit (from 0) for the input now in slab 0.
int Winner(const int16_t* net) {
    Check(LvqPropagate(net, &kUnitSlab), "LvqPropagate");
    uint16_t winner = 0;
    const uint16_t keepScores = 0;
    Check(LvqEvaluate(net, &kUnitSlab, &winner, &keepScores), "LvqEvaluate");
    return static_cast<int>(winner) - 1;
}

double ErrorRate(const int16_t* net, const std::vector<int>& unitClasses, const PatternSet& set) {
    if (set.Size() == 0) {
        return NAN;
    }
    size_t wrong = 0;
    for (size_t p = 0; p < set.Size(); ++p) {
        Check(PutSlab(net, &kInputSlab, set.inputs[p].data()), "PutSlab");
        if (unitClasses[static_cast<size_t>(Winner(net))] != set.classes[p]) {
            ++wrong;
        }
    }
    return static_cast<double>(wrong) / static_cast<double>(set.Size());
}

void ValidateLvqOptions(const LvqOptions& options, size_t classes) {
    if (options.variant != "distance" && options.variant != "dot") {
        throw CliError("unknown LVQ variant '" + options.variant + "' (use distance or dot)");
    }
    if (options.format != "float" && options.format != "fixed") {
        throw CliError("unknown number format '" + options.format + "' (use float or fixed)");
    }
    if (options.unitsPerClass < 1 || options.epochs < 1 || options.radius < 0 || options.gridWidth < 0) {
        throw CliError("--units-per-class and --epochs must be at least 1, --radius and --grid-width at least 0");
    }
    if (classes * static_cast<size_t>(options.unitsPerClass) > 32767 || options.radius > 32767 ||
        options.gridWidth > 32767) {
        throw CliError("too many LVQ units, or a radius or grid width above 32767");
    }
}

// Makes the net and starts each unit on a training pattern of its class,
// drawn with `random`; returns the class of every unit.
std::vector<int> MakeLvqNet(const int16_t* net, const LvqOptions& options, const TrainingJob& job,
                            std::mt19937& random) {
    const auto classes = static_cast<size_t>(job.classCount);
    const size_t units = classes * static_cast<size_t>(options.unitsPerClass);
    MakeSeededNet(net, options.variant == "dot" ? KORU32_NET_LVQ_DOT : KORU32_NET_LVQ_DISTANCE, options.format,
                  job.seed);
    const size_t inputs = job.train.inputs[0].size();
    auto inputCount = static_cast<int16_t>(inputs);
    auto unitCount = static_cast<int16_t>(units);
    int16_t inputKind = KORU32_SLAB_INPUT;
    int16_t unitKind = KORU32_SLAB_OUTPUT;
    Check(MakeSlab(net, &kInputSlab, &inputCount, &inputKind), "MakeSlab");
    Check(MakeSlab(net, &kUnitSlab, &unitCount, &unitKind), "MakeSlab");
    float range = 0.5f;
    Check(MakeLink(net, &kLink, &range, &kInputSlab, &kUnitSlab), "MakeLink");
    std::vector<std::vector<size_t>> byClass(classes);
    for (size_t p = 0; p < job.train.Size(); ++p) {
        byClass[static_cast<size_t>(job.train.classes[p])].push_back(p);
    }
    std::vector<int> unitClasses(units);
    std::vector<float> weights(inputs * units, 0.0f);  // row i: input i, column j: unit j
    for (size_t j = 0; j < units; ++j) {
        size_t cls = j / static_cast<size_t>(options.unitsPerClass);
        unitClasses[j] = static_cast<int>(cls);
        if (byClass[cls].empty()) {
            continue;  // a class only the validation rows have: its units stay at 0
        }
        size_t p = byClass[cls][random() % byClass[cls].size()];
        for (size_t i = 0; i < inputs; ++i) {
            weights[i * units + j] = job.train.inputs[p][i];
        }
    }
    Check(PutLink(net, &kLink, weights.data()), "PutLink");
    return unitClasses;
}

// The epochs; a stop request (Ctrl-C) ends them after the current one.
void RunEpochs(const int16_t* net, LvqState& state, const TrainingJob& job, std::mt19937& random) {
    const LvqOptions& options = state.options;
    std::vector<size_t> order(job.train.Size());
    std::iota(order.begin(), order.end(), size_t{0});
    const auto width = static_cast<uint16_t>(options.gridWidth);
    for (int epoch = 1; epoch <= options.epochs; ++epoch) {
        double done = options.epochs > 1 ? static_cast<double>(epoch - 1) / (options.epochs - 1) : 0.0;
        auto rate = static_cast<float>(options.rate + (options.finalRate - options.rate) * done);
        auto radius = static_cast<int16_t>(std::lround(options.radius * (1.0 - done)));
        ShuffleOrder(order, random);
        size_t wrong = 0;
        for (size_t p : order) {
            Check(PutSlab(net, &kInputSlab, job.train.inputs[p].data()), "PutSlab");
            bool right = state.unitClasses[static_cast<size_t>(Winner(net))] == job.train.classes[p];
            wrong += right ? 0 : 1;
            float signedRate = right ? rate : -rate;
            Check(LvqTrain(net, &kInputSlab, &signedRate, &radius, &width), "LvqTrain");
        }
        state.trainErrorRate = static_cast<double>(wrong) / static_cast<double>(order.size());
        double validationError = ErrorRate(net, state.unitClasses, job.validation);
        if (job.validation.Size() > 0) state.validationErrorRate = validationError;
        ReportEpoch(job, epoch, state.trainErrorRate, validationError);
        if (StopRequested() && epoch < options.epochs) {
            if (job.progress) job.progress->Note("lvq: interrupted after " + std::to_string(epoch) + " epochs");
            break;
        }
    }
}

class Lvq : public TypedParadigm<LvqOptions, LvqState> {
public:
    const char* Name() const override { return "lvq"; }
    uint16_t EngineParadigm() const override { return KORU32_PARADIGM_LVQ; }
    bool Supports(Task task) const override { return task == Task::Classify; }
    Task AutoTask(const std::function<bool()>&) const override { return Task::Classify; }
    void AddFlags(ParadigmFlags& flags, ParadigmOptions& base) const override {
        LvqOptions& o = OptionsOf(base);
        flags.SetGroup("lvq", "LVQ (--paradigm lvq)");
        flags.Add("--kernel", "lvq", o.variant, "distance or dot (default distance)", {"distance", "dot"});
        flags.Add("--units-per-class", "lvq", o.unitsPerClass, "units per class (default 5)", 1, 32767);
        flags.Add("--rate", "lvq", o.rate, "learning rate at the first epoch, above 0, at most 1 (default 0.1)");
        flags.Add("--final-rate", "lvq", o.finalRate, "learning rate at the last epoch, 0 to 1 (default 0.001)");
        flags.Add("--radius", "lvq", o.radius, "neighbourhood radius at the first epoch, falling to 0 (default 0)", 0,
                  32767);
        flags.Add("--grid-width", "lvq", o.gridWidth, "grid columns (default 0: one row)", 0, 32767);
        flags.Add("--epochs", "lvq", o.epochs, "epochs (default 100)", 1, 1000000);
        flags.Add("--format", "lvq", o.format, "numbers of the net: float (32-bit) or fixed (8.24) (default float)",
                  {"float", "fixed"});
    }
    void FinishFlags(const ParadigmFlags& flags, ParadigmOptions& base) const override {
        const LvqOptions& o = OptionsOf(base);
        flags.CheckReal("--rate", o.rate, 0.0, false, 1.0, true);
        flags.CheckReal("--final-rate", o.finalRate, 0.0, true, 1.0, true);
    }
    bool UnitLengthInputs(const ParadigmOptions& options) const override { return OptionsOf(options).variant == "dot"; }
    std::shared_ptr<const ParadigmState> Train(const NetSlot& slot, const ParadigmOptions& options,
                                               const TrainingJob& job) const override;
    std::shared_ptr<const ParadigmState> ReadState(const MetadataEntries& entries) const override;
    void CheckNet(const ModelMetadata& metadata, const NetChecker& net) const override {
        const std::vector<int>& unitClasses = StateOf(metadata).unitClasses;
        net.ExpectSlab(1, unitClasses.size(), KORU32_SLAB_OUTPUT);
        net.ExpectLink(0, 0, 1);
        for (int cls : unitClasses) {
            if (cls < 0 || static_cast<size_t>(cls) >= metadata.classes.size()) {
                net.Mismatch("an LVQ unit of an unknown class");
            }
        }
    }
    bool GradedScores() const override { return false; }
    void Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                Prediction& prediction) const override;
};

std::shared_ptr<const ParadigmState> Lvq::Train(const NetSlot& slot, const ParadigmOptions& base,
                                                const TrainingJob& job) const {
    auto state = std::make_shared<LvqState>();
    state->options = OptionsOf(base);
    ValidateLvqOptions(state->options, static_cast<size_t>(job.classCount));
    std::mt19937 random(job.seed);
    state->unitClasses = MakeLvqNet(slot.Net(), state->options, job, random);
    if (job.curve) {
        job.curve->yLabel = "error rate";
        job.curve->trainingName = "training error rate";
        job.curve->validationName = "validation error rate";
    }
    if (job.progress) {
        job.progress->Start("lvq", state->options.epochs, "error rate");
    }
    RunEpochs(slot.Net(), *state, job, random);
    if (job.progress) {
        job.progress->Finish();
    }
    return state;
}

std::shared_ptr<const ParadigmState> Lvq::ReadState(const MetadataEntries& entries) const {
    auto state = std::make_shared<LvqState>();
    LvqOptions& o = state->options;
    state->unitClasses = entries.Integers("lvq.unit_classes");
    o.variant = entries.TextOr("lvq.variant", o.variant);
    o.unitsPerClass = static_cast<int>(entries.IntegerOr("lvq.units_per_class", o.unitsPerClass));
    o.rate = entries.NumberOr("lvq.rate", o.rate);
    o.finalRate = entries.NumberOr("lvq.final_rate", o.finalRate);
    o.radius = static_cast<int>(entries.IntegerOr("lvq.radius", o.radius));
    o.gridWidth = static_cast<int>(entries.IntegerOr("lvq.grid_width", o.gridWidth));
    o.epochs = static_cast<int>(entries.IntegerOr("lvq.epochs", o.epochs));
    o.format = entries.TextOr("format", o.format);
    state->trainErrorRate = entries.NumberOr("train.error_rate", NAN);
    if (entries.Has("validation.error_rate")) state->validationErrorRate = entries.NumberOr("validation.error_rate", NAN);
    return state;
}

void Lvq::Recall(const int16_t* net, const ModelMetadata& metadata, const std::vector<float>& input,
                 Prediction& prediction) const {
    const std::vector<int>& unitClasses = StateOf(metadata).unitClasses;
    Check(PutSlab(net, &kInputSlab, input.data()), "PutSlab");
    int winner = Winner(net);
    if (winner < 0 || static_cast<size_t>(winner) >= unitClasses.size()) {
        throw CliError("the LVQ net's winning unit " + std::to_string(winner + 1) +
                       " has no class in the model's metadata");
    }
    prediction.classIndex = unitClasses[static_cast<size_t>(winner)];
}

}  // namespace

const ParadigmModule& LvqParadigm() {
    static const Lvq paradigm;
    return paradigm;
}

}  // namespace koru_cli
