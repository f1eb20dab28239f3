// pnn_trainer.cpp - building, filling and tuning probabilistic nets.
#include "pnn_trainer.h"

#include "cli_error.h"

#include <koru32.h>


namespace koru_cli {

namespace {

uint16_t NetTypeOf(const std::string& kernel) {
    if (kernel == "distance") return KORU32_NET_PNN_DISTANCE;
    if (kernel == "dot") return KORU32_NET_PNN_DOT;
    if (kernel == "city-block") return KORU32_NET_PNN_CITY_BLOCK;
    throw CliError("unknown PNN kernel '" + kernel + "' (use distance, dot or city-block)");
}

bool Correct(const int16_t* net, size_t classes, const std::vector<float>& input, int expected, float sigma) {
    bool undefined = false;
    std::vector<float> scores = PnnScores(net, classes, input, sigma, undefined);
    return !undefined && static_cast<int>(ArgMax(scores)) == expected;
}

}  // namespace

size_t ArgMax(const std::vector<float>& values) {
    size_t best = 0;
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) {
            best = i;
        }
    }
    return best;
}

std::vector<float> PnnScores(const int16_t* net, size_t classes, const std::vector<float>& input,
                             float sigma, bool& undefined) {
    Check(PutSlab(net, &kInputSlab, input.data()), "PutSlab");
    Check(PnnPropagate(net, &kPatternSlab, &sigma), "PnnPropagate");
    Check(PnnPropagate(net, &kOutputSlab, &sigma), "PnnPropagate");
    std::vector<float> scores(classes);
    Check(GetSlab(net, &kOutputSlab, scores.data()), "GetSlab");
    undefined = true;
    for (float score : scores) {
        if (score != 0.0f) {
            undefined = false;
        }
    }
    return scores;
}

void TrainPnn(const NetSlot& slot, const KernelOptions& options, const TrainingJob& job,
              ModelMetadata& metadata) {
    const int16_t* net = slot.Net();
    uint16_t type = NetTypeOf(options.kernel);
    ValidateKernelJob(options, job.train.Size(), job.validation.Size(), "PNN");
    MakePatternUnitNet(net, type, job.train.inputs[0].size(), job.train.Size(),
                       static_cast<size_t>(job.classCount));

    const int16_t newUnit = 0;
    for (size_t p = 0; p < job.train.Size(); ++p) {
        Check(PutSlab(net, &kInputSlab, job.train.inputs[p].data()), "PutSlab");
        Check(PnnEvaluate(net, &kOutputSlab, job.train.targets[p].data(), &newUnit), "PnnEvaluate");
        Check(PnnTrain(net, &kInputSlab, &newUnit), "PnnTrain");
        Check(PnnTrain(net, &kPatternSlab, &newUnit), "PnnTrain");
    }

    const size_t classes = static_cast<size_t>(job.classCount);
    double sigma = options.sigma;
    if (options.pickSigma != "none") {
        // Leave one out with the engine's own re-presentation: unit u is
        // re-presented with an all-zero class vector, which takes it out of
        // its class count, and its stored class row is overwritten with
        // zeros, so it adds nothing to any score; afterwards it is
        // re-presented and stored with its true class again.
        const std::vector<float> zeros(classes, 0.0f);
        auto present = [&](size_t p, const float* classVector) {
            const auto unit = static_cast<int16_t>(p + 1);
            Check(PnnEvaluate(net, &kOutputSlab, classVector, &unit), "PnnEvaluate");
            Check(PnnTrain(net, &kPatternSlab, &unit), "PnnTrain");
        };
        SigmaTrial trial;
        trial.paradigm = "pnn";
        trial.loss = [&](const PatternSet& set, size_t p, float s) {
            return Correct(net, classes, set.inputs[p], set.classes[p], s) ? 0.0 : 1.0;
        };
        trial.leaveOut = [&](size_t p) { present(p, zeros.data()); };
        trial.putBack = [&](size_t p) { present(p, job.train.targets[p].data()); };
        sigma = PickSigma(options, job, trial);
    }

    RecordKernelSettings(options, sigma, job.train.Size(), metadata);
}

}  // namespace koru_cli
