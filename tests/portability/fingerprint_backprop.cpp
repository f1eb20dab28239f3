// Backpropagation's sections: a 2-3-1 net learning XOR with a fixed seed, in
// every variant (plain, momentum, batch, adaptive steps) and with every
// transfer function, in 32-bit float and in 8.24 fixed point. The digest
// covers each pattern's error, the trained weights and the recalled outputs.
#include "fingerprint.h"

namespace fingerprint {

namespace {

const int16_t kInput = 0, kHidden = 1, kOutput = 2, kFirstLink = 0, kSecondLink = 1;
const float kPatterns[4][2] = {{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
const float kTargets[4] = {0.1f, 0.9f, 0.9f, 0.1f};

void MakeXorNet(Digest& digest, uint16_t type, int16_t transfer) {
    AddMakeNet(digest, type);
    AddMakeSlab(digest, kInput, 2, KORU32_SLAB_INPUT);
    AddMakeSlab(digest, kHidden, 3, KORU32_SLAB_HIDDEN);
    AddMakeSlab(digest, kOutput, 1, KORU32_SLAB_OUTPUT);
    AddSetSeed(digest, 11);
    AddMakeLink(digest, kFirstLink, 0.5f, kInput, kHidden);
    AddMakeLink(digest, kSecondLink, 0.5f, kHidden, kOutput);
    digest.Add(Transfer(&kNet, &kHidden, &transfer));
    digest.Add(Transfer(&kNet, &kOutput, &transfer));
}

void Recall(Digest& digest, int pattern) {
    digest.Add(PutSlab(&kNet, &kInput, kPatterns[pattern]));
    digest.Add(BpPropagate(&kNet, &kHidden));
    digest.Add(BpPropagate(&kNet, &kOutput));
}

void TrainXor(Digest& digest) {
    const float rate = 0.3f, momentum = 0.5f;
    for (int epoch = 0; epoch < 40; ++epoch) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            const uint16_t endOfBatch = pattern == 3;
            float error = -1.0f;
            Recall(digest, pattern);
            digest.Add(BpEvaluate(&kNet, &kOutput, &kTargets[pattern], &error));
            digest.Add(error);
            digest.Add(BpTrain(&kNet, &kHidden, &rate, &momentum, &endOfBatch));
            digest.Add(BpTrain(&kNet, &kInput, &rate, &momentum, &endOfBatch));
        }
    }
}

uint64_t BackpropTraining(uint16_t mode) {
    Digest digest;
    for (uint16_t type : {KORU32_NET_BP_PLAIN, KORU32_NET_BP_MOMENTUM, KORU32_NET_BP_BATCH, KORU32_NET_BP_ADAPTIVE}) {
        for (int16_t transfer = KORU32_TRANSFER_LOGISTIC; transfer <= KORU32_TRANSFER_GAUSSIAN_COMPLEMENT; ++transfer) {
            UseMath(mode);
            MakeXorNet(digest, type, transfer);
            TrainXor(digest);
            std::vector<float> first(3 * 3), second(4 * 1), output(1);  // bias rows included
            digest.Add(GetLink(&kNet, &kFirstLink, first.data()));
            digest.Add(GetLink(&kNet, &kSecondLink, second.data()));
            digest.Add(first);
            digest.Add(second);
            for (int pattern = 0; pattern < 4; ++pattern) Recall(digest, pattern), AddSlabValues(digest, kOutput, output);
            KillTheNet();
        }
    }
    return digest.Value();
}

}  // namespace

void AddBackpropSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {{"backprop-float-training", InFloat<BackpropTraining>},
                                     {"backprop-fixed-training", InFixed<BackpropTraining>}});
}

}  // namespace fingerprint
