// Rates, momentum, weight ranges and smoothing factors that are NaN or
// infinite: every export that takes one refuses it with its exact code and
// leaves every value of the net as it was, in float and in 8.24 nets; an
// argument the net's rule does not read is not judged.
#include <cfloat>
#include <cmath>
#include <functional>
#include <string>

#include "common/float_bits.h"
#include "net_fixture.h"

namespace koru_test {
namespace {

constexpr int16_t kSlabs = 3;
constexpr int16_t kNeurons[kSlabs] = {2, 3, 2};

bool IsBackprop(uint16_t type) { return type <= 3 || type == KORU32_NET_BP_ADAPTIVE; }
bool IsLvq(uint16_t type) { return type == KORU32_NET_LVQ_DISTANCE || type == KORU32_NET_LVQ_DOT; }

// Net 0 of `type`: slabs 0 (input), 1 and 2, link 0 from slab 0 to slab 1
// and, outside LVQ, link 1 from slab 1 to slab 2; inputs set and, in the
// trained paradigms, one pattern gone through so that deltas, counts and
// pattern units hold something.
void BuildNet(uint16_t type) {
    ASSERT_EQ(Net(0, type), KORU32_OK);
    const int16_t kinds[kSlabs] = {KORU32_SLAB_INPUT, IsLvq(type) ? KORU32_SLAB_OUTPUT : KORU32_SLAB_HIDDEN,
                                   KORU32_SLAB_OUTPUT};
    for (int16_t s = 0; s < kSlabs; ++s) ASSERT_EQ(Slab(0, s, kNeurons[s], kinds[s]), KORU32_OK);
    ASSERT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_OK);
    if (!IsLvq(type)) {
        ASSERT_EQ(Link(0, 1, 0.5f, 1, 2), KORU32_OK);
    }
    SetValues(0, 0, {0.3f, -0.6f});
    const int16_t net = 0, hidden = 1, output = 2, newUnit = 0;
    const float targets[2] = {1.0f, 0.0f};
    if (IsBackprop(type)) {
        float sum = 0.0f;
        ASSERT_EQ(BpPropagate(&net, &hidden), KORU32_OK);
        ASSERT_EQ(BpPropagate(&net, &output), KORU32_OK);
        ASSERT_EQ(BpEvaluate(&net, &output, targets, &sum), KORU32_OK);
    } else if (type == KORU32_NET_PNN_DISTANCE) {
        ASSERT_EQ(PnnEvaluate(&net, &output, targets, &newUnit), KORU32_OK);
    } else if (type == KORU32_NET_GRNN_DISTANCE) {
        ASSERT_EQ(GrnnEvaluate(&net, &output, targets, &newUnit), KORU32_OK);
    }
}

// Every value a caller can read back: neuron values, deltas or counts,
// weights and weight changes (step sizes), as bits.
std::vector<uint32_t> Snapshot(uint16_t type) {
    std::vector<uint32_t> bits;
    for (int16_t net = 0, s = 0; s < kSlabs; ++s) {
        for (float v : Values(0, s, kNeurons[s])) bits.push_back(BitsOf(v));
        for (int16_t n = 1; n <= kNeurons[s]; ++n) {
            float delta = -999.0f;
            if (GetDelta(&net, &s, &n, &delta) == KORU32_OK) bits.push_back(BitsOf(delta));
        }
    }
    const int links = IsLvq(type) ? 1 : 2;
    for (int16_t net = 0, l = 0; l < links; ++l) {
        const size_t count = (kNeurons[l] + (IsBackprop(type) ? 1 : 0)) * size_t(kNeurons[l + 1]);
        for (float w : Weights(0, l, count)) bits.push_back(BitsOf(w));
        std::vector<float> changes(count, -999.0f);
        if (GetLinkChanges(&net, &l, changes.data()) == KORU32_OK) {
            for (float c : changes) bits.push_back(BitsOf(c));
        }
    }
    return bits;
}

struct Case {
    const char* label;
    uint16_t type;
    std::function<int16_t(float)> call;  // the export, given the value under test
    int16_t code;                        // its answer to NaN and to either infinity
};

int16_t Train(float rate, float momentum) {
    const int16_t net = 0, slab = 1;
    const uint16_t apply = 1;
    return BpTrain(&net, &slab, &rate, &momentum, &apply);
}

const Case kCases[] = {
    {"MakeLink range", 1, [](float v) { return Link(0, 2, v, 0, 2); }, KORU32_ERR_NOT_FINITE},
    {"MakeLink range, adaptive step sizes", 11, [](float v) { return Link(0, 2, v, 0, 2); }, KORU32_ERR_NOT_FINITE},
    {"InitLink range", 2, [](float v) { const int16_t n = 0, l = 1; return InitLink(&n, &l, &v); },
     KORU32_ERR_NOT_FINITE},
    {"InitLink range, unit-length LVQ columns", 5,
     [](float v) { const int16_t n = 0, l = 0; return InitLink(&n, &l, &v); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, plain", 1, [](float v) { return Train(v, 0.0f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, momentum", 2, [](float v) { return Train(v, 0.5f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, batch", 3, [](float v) { return Train(v, 0.0f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain momentum, momentum", 2, [](float v) { return Train(0.1f, v); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain momentum, plain (not read)", 1, [](float v) { return Train(0.1f, v); }, KORU32_OK},
    {"BpTrain momentum, batch (not read)", 3, [](float v) { return Train(0.1f, v); }, KORU32_OK},
    {"BpTrain rate, adaptive (not read)", 11, [](float v) { return Train(v, v); }, KORU32_OK},
    {"LvqTrain rate", 4,
     [](float v) { const int16_t n = 0, s = 0, r = 1; const uint16_t w = 2; return LvqTrain(&n, &s, &v, &r, &w); },
     KORU32_ERR_NEGATIVE_RADIUS},
    {"PnnPropagate smoothing", 6, [](float v) { const int16_t n = 0, s = 1; return PnnPropagate(&n, &s, &v); },
     KORU32_ERR_BAD_SMOOTHING},
    {"GrnnPropagate smoothing", 8, [](float v) { const int16_t n = 0, s = 1; return GrnnPropagate(&n, &s, &v); },
     KORU32_ERR_BAD_SMOOTHING},
};

using NonFiniteArguments = NetTest;

TEST_F(NonFiniteArguments, AreRefusedWithTheExportsCodeAndChangeNothing) {
    for (const Case& c : kCases) {
        for (bool fixed : {false, true}) {
            for (float value : {NAN, INFINITY, -INFINITY}) {
                SCOPED_TRACE(std::string(c.label) + (fixed ? ", 8.24 net, " : ", float net, ") +
                             std::to_string(value));
                ASSERT_EQ(Math(fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT), KORU32_OK);
                ASSERT_NO_FATAL_FAILURE(BuildNet(c.type));
                const std::vector<uint32_t> before = Snapshot(c.type);
                EXPECT_EQ(c.call(value), c.code);
                if (c.code != KORU32_OK) {
                    EXPECT_EQ(Snapshot(c.type), before);
                    const int16_t net = 0, unmade = 2;
                    float w = 0.0f;
                    EXPECT_EQ(GetLink(&net, &unmade, &w), KORU32_ERR_NO_LINK);
                }
                ASSERT_EQ(Kill(0), KORU32_OK);
            }
        }
    }
}

TEST_F(NonFiniteArguments, TheLargestFiniteRangeIsTakenAndDrawsFiniteWeights) {
    for (float range : {FLT_MAX, -FLT_MAX}) {
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(KORU32_NET_BP_PLAIN, 3, 2, range));
        float largest = 0.0f;
        for (float w : Weights(0, 0, 8)) {
            EXPECT_TRUE(std::isfinite(w)) << w;
            largest = std::fmax(largest, std::fabs(w));
        }
        EXPECT_GT(largest, FLT_MAX / 4);  // drawn across the range, not flattened
        ASSERT_EQ(Kill(0), KORU32_OK);
    }
}

}  // namespace
}  // namespace koru_test
