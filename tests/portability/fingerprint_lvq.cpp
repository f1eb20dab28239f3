// Learning vector quantisation's sections: a 3-input net of 6 units on a
// 3-wide grid trained around its winners with a fixed seed, with the
// squared-distance and the dot-product score, in 32-bit float and 8.24 fixed
// point. The digest covers every winner, the trained weights and the scores.
#include "fingerprint.h"

namespace fingerprint {

namespace {

const int16_t kInput = 0, kOutput = 1, kLink = 0, kInputs = 3, kUnits = 6;
const uint16_t kGridWidth = 3;
const float kPatterns[8][3] = {{0.9f, 0.1f, 0.2f}, {0.1f, 0.8f, 0.3f}, {0.2f, 0.2f, 0.9f}, {0.7f, 0.6f, 0.1f},
                               {0.3f, 0.3f, 0.3f}, {0.8f, 0.2f, 0.7f}, {0.0f, 1.0f, 0.0f}, {0.5f, 0.4f, 0.6f}};

uint64_t LvqTraining(uint16_t mode) {
    Digest digest;
    for (uint16_t type : {KORU32_NET_LVQ_DISTANCE, KORU32_NET_LVQ_DOT}) {
        UseMath(mode);
        AddMakeNet(digest, type);
        AddMakeSlab(digest, kInput, kInputs, KORU32_SLAB_INPUT);
        AddMakeSlab(digest, kOutput, kUnits, KORU32_SLAB_OUTPUT);
        AddSetSeed(digest, 5);
        AddMakeLink(digest, kLink, 1.0f, kInput, kOutput);
        const uint16_t keepScores = 0;
        std::vector<float> scores(kUnits);
        for (int epoch = 0; epoch < 20; ++epoch) {
            const float rate = 0.2f / static_cast<float>(epoch + 1);
            const int16_t radius = epoch < 10 ? 1 : 0;
            for (const auto& pattern : kPatterns) {
                uint16_t winner = 0;
                digest.Add(PutSlab(&kNet, &kInput, pattern));
                digest.Add(LvqPropagate(&kNet, &kOutput));
                AddSlabValues(digest, kOutput, scores);
                digest.Add(LvqEvaluate(&kNet, &kOutput, &winner, &keepScores));
                digest.Add(winner);
                digest.Add(LvqTrain(&kNet, &kOutput, &rate, &radius, &kGridWidth));
            }
        }
        // Room for a bias row too: GetLink writes as many weights as the link has.
        std::vector<float> weights((kInputs + 1) * kUnits);
        AddLinkWeights(digest, kLink, weights);
        KillTheNet();
    }
    return digest.Value();
}

}  // namespace

void AddLvqSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {{"lvq-float-training", InFloat<LvqTraining>},
                                     {"lvq-fixed-training", InFixed<LvqTraining>}});
}

}  // namespace fingerprint
