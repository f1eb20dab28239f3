// lvq_trainer.cpp - building, training and recalling LVQ nets.
#include "lvq_trainer.h"

#include "cli_error.h"

#include <koru32.h>

#include <cmath>
#include <numeric>

namespace koru_cli {

namespace {

constexpr int16_t kInputSlab = 0;
constexpr int16_t kUnitSlab = 1;
constexpr int16_t kLink = 0;

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

}  // namespace

void TrainLvq(const NetSlot& slot, const LvqOptions& options, const TrainingJob& job,
              ModelMetadata& metadata) {
    if (options.variant != "distance" && options.variant != "dot") {
        throw CliError("unknown LVQ variant '" + options.variant + "' (use distance or dot)");
    }
    if (options.format != "float" && options.format != "fixed") {
        throw CliError("unknown number format '" + options.format + "' (use float or fixed)");
    }
    if (options.unitsPerClass < 1 || options.epochs < 1 || options.radius < 0 || options.gridWidth < 0) {
        throw CliError("--units-per-class and --epochs must be at least 1, --radius and --grid-width at least 0");
    }
    const size_t classes = static_cast<size_t>(job.classCount);
    const size_t units = classes * static_cast<size_t>(options.unitsPerClass);
    if (units > 32767 || options.radius > 32767 || options.gridWidth > 32767) {
        throw CliError("too many LVQ units, or a radius or grid width above 32767");
    }
    const int16_t* net = slot.Net();
    MakeSeededNet(net, options.variant == "dot" ? KORU32_NET_LVQ_DOT : KORU32_NET_LVQ_DISTANCE, options.format,
                  job.seed);
    const size_t inputs = job.train.inputs[0].size();
    int16_t inputCount = static_cast<int16_t>(inputs);
    int16_t unitCount = static_cast<int16_t>(units);
    int16_t inputKind = KORU32_SLAB_INPUT;
    int16_t unitKind = KORU32_SLAB_OUTPUT;
    Check(MakeSlab(net, &kInputSlab, &inputCount, &inputKind), "MakeSlab");
    Check(MakeSlab(net, &kUnitSlab, &unitCount, &unitKind), "MakeSlab");
    float range = 0.5f;
    Check(MakeLink(net, &kLink, &range, &kInputSlab, &kUnitSlab), "MakeLink");

    // Start each unit on a training pattern of its class, drawn with the seed.
    std::vector<std::vector<size_t>> byClass(classes);
    for (size_t p = 0; p < job.train.Size(); ++p) {
        byClass[static_cast<size_t>(job.train.classes[p])].push_back(p);
    }
    std::mt19937 random(job.seed);
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

    std::vector<size_t> order(job.train.Size());
    std::iota(order.begin(), order.end(), size_t{0});
    const uint16_t width = static_cast<uint16_t>(options.gridWidth);
    if (job.curve) {
        job.curve->yLabel = "error rate";
        job.curve->trainingName = "training error rate";
        job.curve->validationName = "validation error rate";
    }
    if (job.progress) {
        job.progress->Start("lvq", options.epochs, "error rate");
    }
    double trainError = NAN;
    double validationError = NAN;
    for (int epoch = 1; epoch <= options.epochs; ++epoch) {
        double done = options.epochs > 1 ? static_cast<double>(epoch - 1) / (options.epochs - 1) : 0.0;
        float rate = static_cast<float>(options.rate + (options.finalRate - options.rate) * done);
        int16_t radius = static_cast<int16_t>(std::lround(options.radius * (1.0 - done)));
        ShuffleOrder(order, random);
        size_t wrong = 0;
        for (size_t p : order) {
            Check(PutSlab(net, &kInputSlab, job.train.inputs[p].data()), "PutSlab");
            int winner = Winner(net);
            bool right = unitClasses[static_cast<size_t>(winner)] == job.train.classes[p];
            if (!right) {
                ++wrong;
            }
            float signedRate = right ? rate : -rate;
            Check(LvqTrain(net, &kInputSlab, &signedRate, &radius, &width), "LvqTrain");
        }
        trainError = static_cast<double>(wrong) / static_cast<double>(order.size());
        validationError = ErrorRate(net, unitClasses, job.validation);
        ReportEpoch(job, epoch, trainError, validationError);
    }
    if (job.progress) {
        job.progress->Finish();
    }

    metadata.Set("lvq.variant", options.variant);
    metadata.Set("lvq.units_per_class", std::to_string(options.unitsPerClass));
    metadata.SetIntegers("lvq.unit_classes", unitClasses);
    metadata.Set("lvq.rate", options.rate);
    metadata.Set("lvq.final_rate", options.finalRate);
    metadata.Set("lvq.radius", std::to_string(options.radius));
    metadata.Set("lvq.grid_width", std::to_string(options.gridWidth));
    metadata.Set("lvq.epochs", std::to_string(options.epochs));
    metadata.Set("format", options.format);
    metadata.Set("train.error_rate", trainError);
    if (job.validation.Size() > 0) {
        metadata.Set("validation.error_rate", validationError);
    }
}

int LvqClass(const int16_t* net, const std::vector<int>& unitClasses, size_t classes,
             const std::vector<float>& input) {
    Check(PutSlab(net, &kInputSlab, input.data()), "PutSlab");
    int winner = Winner(net);
    if (winner < 0 || static_cast<size_t>(winner) >= unitClasses.size()) {
        throw CliError("the LVQ net's winning unit " + std::to_string(winner + 1) +
                       " has no class in the model's metadata");
    }
    int cls = unitClasses[static_cast<size_t>(winner)];
    if (cls < 0 || static_cast<size_t>(cls) >= classes) {
        throw CliError("the model's metadata gives an LVQ unit a class it does not list");
    }
    return cls;
}

}  // namespace koru_cli
