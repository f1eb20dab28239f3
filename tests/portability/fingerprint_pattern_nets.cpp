// The pattern-unit nets' sections: probabilistic nets (squared distance, dot
// product, city block) and general regression nets (squared distance, city
// block), each storing six patterns and then recalling four queries with two
// smoothing factors. The digest covers the pattern activations and outputs.
#include "fingerprint.h"

namespace fingerprint {

namespace {

const int16_t kInput = 0, kPatternSlab = 1, kOutput = 2, kInputs = 3, kPatternUnits = 8, kOutputs = 2;
const float kPatterns[6][3] = {{0.9f, 0.1f, 0.2f}, {0.1f, 0.8f, 0.3f}, {0.2f, 0.2f, 0.9f},
                               {0.7f, 0.6f, 0.1f}, {0.3f, 0.3f, 0.3f}, {0.8f, 0.2f, 0.7f}};
const float kTargets[6][2] = {{1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 0.0f}};
const float kQueries[4][3] = {{0.8f, 0.2f, 0.2f}, {0.2f, 0.7f, 0.5f}, {0.5f, 0.5f, 0.5f}, {0.0f, 0.0f, 0.0f}};

using Evaluate = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const float*, const int16_t*);
using Train = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const int16_t*);
using Propagate = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const float*);

void StoreAndRecall(Digest& digest, uint16_t type, Evaluate evaluate, Train train, Propagate propagate) {
    const int16_t toPatterns = 0, toOutputs = 1, newUnit = 0;
    AddMakeNet(digest, type);
    AddMakeSlab(digest, kInput, kInputs, KORU32_SLAB_INPUT);
    AddMakeSlab(digest, kPatternSlab, kPatternUnits, KORU32_SLAB_HIDDEN);
    AddMakeSlab(digest, kOutput, kOutputs, KORU32_SLAB_OUTPUT);
    AddMakeLink(digest, toPatterns, 1.0f, kInput, kPatternSlab);
    AddMakeLink(digest, toOutputs, 1.0f, kPatternSlab, kOutput);
    for (int pattern = 0; pattern < 6; ++pattern) {
        digest.Add(PutSlab(&kNet, &kInput, kPatterns[pattern]));
        digest.Add(evaluate(&kNet, &kOutput, kTargets[pattern], &newUnit));
        digest.Add(train(&kNet, &kInput, &newUnit));
        digest.Add(train(&kNet, &kPatternSlab, &newUnit));
    }
    std::vector<float> activations(kPatternUnits), outputs(kOutputs);
    for (float smoothing : {0.3f, 1.5f}) {
        for (const auto& query : kQueries) {
            digest.Add(PutSlab(&kNet, &kInput, query));
            digest.Add(propagate(&kNet, &kPatternSlab, &smoothing));
            digest.Add(propagate(&kNet, &kOutput, &smoothing));
            digest.Add(GetSlab(&kNet, &kPatternSlab, activations.data()));
            digest.Add(GetSlab(&kNet, &kOutput, outputs.data()));
            digest.Add(activations);
            digest.Add(outputs);
        }
    }
    KillTheNet();
}

uint64_t ProbabilisticNets() {
    Digest digest;
    for (uint16_t type : {KORU32_NET_PNN_DISTANCE, KORU32_NET_PNN_DOT, KORU32_NET_PNN_CITY_BLOCK})
        StoreAndRecall(digest, type, PnnEvaluate, PnnTrain, PnnPropagate);
    return digest.Value();
}

uint64_t GeneralRegressionNets() {
    Digest digest;
    for (uint16_t type : {KORU32_NET_GRNN_DISTANCE, KORU32_NET_GRNN_CITY_BLOCK})
        StoreAndRecall(digest, type, GrnnEvaluate, GrnnTrain, GrnnPropagate);
    return digest.Value();
}

}  // namespace

void AddPatternNetSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {{"pnn-recall", ProbabilisticNets}, {"grnn-recall", GeneralRegressionNets}});
}

}  // namespace fingerprint
