// What a user relies on: a 2-3-1 net learns XOR with each of the four rules,
// in float32 and in 8.24 fixed point, through the shared library's exports.
#include <gtest/gtest.h>

#include "bp_net.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 50;

struct XorCase {
    const char* name;
    uint16_t type;
    uint16_t math;
    float range;     // MakeLink's range (the adaptive rule's first step is half of it)
    float rate;
    float momentum;
    bool batch;      // apply once per epoch, on its last pattern
    int maxEpochs;
};

void PrintTo(const XorCase& c, std::ostream* os) { *os << c.name; }

const float kInputs[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
const float kTargets[4] = {0, 1, 1, 0};

// Sum of squared errors over the four patterns, without training.
float Recall(int16_t net) {
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(Put(net, 0, {kInputs[p][0], kInputs[p][1]}), 0);
        EXPECT_EQ(Propagate(net, 1), 0);
        EXPECT_EQ(Propagate(net, 2), 0);
        EXPECT_EQ(EvaluateSum(net, 2, {kTargets[p]}), 0);
    }
    float sum = -1.0f;
    EXPECT_EQ(GetSum(net, 2, sum), 0);
    return sum;
}

// Epochs until the recall error falls below 0.01, or -1 within the bound.
int EpochsToLearn(const XorCase& c, int16_t seed) {
    Net net(kNet, c.type, c.math);
    SetSeed(&seed);
    EXPECT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
    EXPECT_EQ(Slab(net, 1, 3, KORU32_SLAB_HIDDEN), 0);
    EXPECT_EQ(Slab(net, 2, 1, KORU32_SLAB_OUTPUT), 0);
    EXPECT_EQ(Link(net, 0, 0, 1, c.range), 0);
    EXPECT_EQ(Link(net, 1, 1, 2, c.range), 0);
    for (int epoch = 1; epoch <= c.maxEpochs; ++epoch) {
        for (int p = 0; p < 4; ++p) {
            float sum = 0.0f;
            EXPECT_EQ(Put(net, 0, {kInputs[p][0], kInputs[p][1]}), 0);
            EXPECT_EQ(Propagate(net, 1), 0);
            EXPECT_EQ(Propagate(net, 2), 0);
            EXPECT_EQ(Evaluate(net, 2, {kTargets[p]}, sum), 0);
            const uint16_t apply = !c.batch || p == 3 ? 1 : 0;
            EXPECT_EQ(Train(net, 1, c.rate, c.momentum, apply), 0);
            EXPECT_EQ(Train(net, 0, c.rate, c.momentum, apply), 0);
        }
        if (Recall(net) < 0.01f) {
            // Learnt: every output on the right side, by a wide margin.
            for (int p = 0; p < 4; ++p) {
                EXPECT_EQ(Put(net, 0, {kInputs[p][0], kInputs[p][1]}), 0);
                EXPECT_EQ(Propagate(net, 1), 0);
                EXPECT_EQ(Propagate(net, 2), 0);
                EXPECT_NEAR(Get(net, 2, 1)[0], kTargets[p], 0.1f);
            }
            return epoch;
        }
    }
    return -1;
}

class LearnsXor : public ::testing::TestWithParam<XorCase> {};

// The generator behind SetSeed is the engine's own, so every seed gives the
// same starting weights on every platform. Over seeds 1..20 the worst cases
// were 2684 epochs (plain), 153 (momentum), 358 (batch) and 142 (adaptive)
// in float32, and the same within a few epochs in 8.24 (adaptive 193); the
// bounds leave room above those.
TEST_P(LearnsXor, WithinTheBoundForEverySeed) {
    const XorCase& c = GetParam();
    for (int16_t seed = 1; seed <= 5; ++seed) {
        const int epochs = EpochsToLearn(c, seed);
        EXPECT_GT(epochs, 0) << c.name << ", seed " << seed << ": not learnt within " << c.maxEpochs << " epochs";
        RecordProperty("seed" + std::to_string(seed) + "_epochs", epochs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachRule, LearnsXor,
    ::testing::Values(
        XorCase{"PlainFloat", KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT, 1.0f, 1.0f, 0.0f, false, 3000},
        XorCase{"MomentumFloat", KORU32_NET_BP_MOMENTUM, KORU32_MATH_FLOAT, 1.0f, 0.5f, 0.9f, false, 500},
        XorCase{"BatchFloat", KORU32_NET_BP_BATCH, KORU32_MATH_FLOAT, 1.0f, 2.0f, 0.0f, true, 1000},
        XorCase{"AdaptiveFloat", KORU32_NET_BP_ADAPTIVE, KORU32_MATH_FLOAT, 0.25f, 0.0f, 0.0f, true, 500},
        XorCase{"PlainFixed", KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED, 1.0f, 1.0f, 0.0f, false, 3000},
        XorCase{"MomentumFixed", KORU32_NET_BP_MOMENTUM, KORU32_MATH_FIXED, 1.0f, 0.5f, 0.9f, false, 500},
        XorCase{"BatchFixed", KORU32_NET_BP_BATCH, KORU32_MATH_FIXED, 1.0f, 2.0f, 0.0f, true, 1000},
        XorCase{"AdaptiveFixed", KORU32_NET_BP_ADAPTIVE, KORU32_MATH_FIXED, 0.5f, 0.0f, 0.0f, true, 500}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RuntimeHook, ExportedFromTheLibrary) {
    koru32_math_exception record{1, "tanh", 0.0, 0.0, 5.0};
    EXPECT_EQ(_matherr(&record), 1);
    EXPECT_EQ(record.retval, 0.0);
}

}  // namespace
