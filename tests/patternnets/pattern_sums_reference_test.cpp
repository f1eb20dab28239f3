// The fast accumulation loops against the rule written out plainly: on nets
// of odd sizes, every variant of both paradigms, a pattern slab fed by two
// links plus one of status 0 or 1, and any number of units in use, the pattern
// and output slabs must hold the very bits the straightforward column-by-column
// loops give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/engine.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/probabilistic_net.h"
#include "pattern_net_support.h"

namespace {

using koru_test::BitsOf;

constexpr int16_t kInputA = 0, kPatternSlab = 1, kOutputSlab = 2, kInputB = 3;
constexpr int16_t kLinkA = 0, kLinkOut = 1, kLinkB = 2, kLinkExtra = 3;

// Floats of every magnitude from 2^-8 to 2^8 and both signs, so that nearly
// every addition rounds.
float RandomValue(std::mt19937& random) {
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-8, 8);
    const float value = std::ldexp(mantissa(random), exponent(random));
    return random() % 2 ? -value : value;
}

void FillRandom(koru::ValueArray& array, std::mt19937& random) {
    float* values = array.Floats();
    for (uint32_t i = 0; i < array.count; ++i) values[i] = RandomValue(random);
}

// One term in double from two floats, added in double, rounded to float.
float AddTerm(float value, float x, float w, int term) {
    const double dx = x, dw = w;
    const double t = term == 0 ? dx * dw : term == 1 ? std::fabs(dx - dw) : (dx - dw) * (dx - dw);
    return static_cast<float>(static_cast<double>(value) + t);
}

// Destination by destination, source by source: the loop as the rule reads.
void ReferenceLink(const koru::LinkRecord& link, std::vector<float>& dest, uint32_t units, int term) {
    const bool fromPatterns = link.source->kind == KORU32_SLAB_HIDDEN;
    const uint32_t sources = fromPatterns ? units : link.source->values->count;
    const uint32_t dests = fromPatterns ? link.dest->values->count : units;
    const uint32_t stride = link.weights->cols;
    const float* x = link.source->values->Floats();
    const float* w = link.weights->Floats();
    for (uint32_t j = 0; j < dests; ++j) {
        for (uint32_t k = 0; k < sources; ++k) dest[j] = AddTerm(dest[j], x[k], w[size_t{k} * stride + j], term);
    }
}

struct Kind {
    uint16_t type;
    uint16_t variant;
    bool grnn;
    int patternTerm;  // 0 dot, 1 city block, 2 squared
};

class PatternSumsReference : public patternnets_test::PatternNetTest {};

TEST_F(PatternSumsReference, OddSizesEveryVariantSeveralLinksMatchTheStraightforwardLoops) {
    const Kind kinds[] = {
        {KORU32_NET_PNN_DISTANCE, 0, false, 2}, {KORU32_NET_PNN_DOT, 7, false, 0},
        {KORU32_NET_PNN_CITY_BLOCK, 10, false, 1}, {KORU32_NET_GRNN_DISTANCE, 0, true, 2},
        {KORU32_NET_GRNN_CITY_BLOCK, 10, true, 1},
    };
    const int16_t sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(20261206);
    int cases = 0;
    for (const Kind& kind : kinds) {
        for (int16_t inputs : sizes) {
            for (int16_t units : sizes) {
                const int16_t outputs = units == 257 ? 3 : 17;
                const int16_t net = MakeThreeSlabNet(kind.type, inputs, units, outputs);
                MakeSlabOf(net, kInputB, static_cast<int16_t>(sizes[(inputs + units) % 5]), KORU32_SLAB_INPUT);
                MakeLinkOf(net, kLinkB, kInputB, kPatternSlab);
                MakeLinkOf(net, kLinkExtra, kInputA, kPatternSlab);
                const int16_t extraStatus = static_cast<int16_t>(cases % 2);  // ignored, or propagated only
                // SetStatus is for backpropagation nets; the record is set directly.
                koru::netTable[net].block->links[kLinkExtra].status = static_cast<uint8_t>(extraStatus);

                koru::NetEntry& entry = koru::netTable[net];
                koru::NetBlock& block = *entry.block;
                for (int16_t slab : {kInputA, kInputB}) FillRandom(*block.slabs[slab].values, random);
                for (int16_t link : {kLinkA, kLinkOut, kLinkB, kLinkExtra}) FillRandom(*block.links[link].weights, random);
                // Counts of 1 or 2 per unit or class, some classes empty.
                koru::SlabRecord& countSlab = block.slabs[kind.grnn ? kPatternSlab : kOutputSlab];
                for (uint32_t i = 0; i < countSlab.deltas->count; ++i) {
                    countSlab.deltas->Floats()[i] = static_cast<float>(random() % 3);
                }
                // Every unit, none, one, or some in use.
                const int32_t inUse[] = {units, 0, 1, units / 2 + 1};
                entry.patternCount = static_cast<int16_t>(inUse[cases % 4]);
                const uint32_t n = static_cast<uint32_t>(entry.patternCount);
                const float sigma = 4.0f + static_cast<float>(cases % 5);

                // The pattern slab: links A, B and (status 1) the extra link, in list order.
                std::vector<float> expected(units, 0.0f);
                for (int16_t link : {kLinkA, kLinkB, kLinkExtra}) {
                    if (block.links[link].status != KORU32_LINK_IGNORED) {
                        ReferenceLink(block.links[link], expected, n, kind.patternTerm);
                    }
                }
                const float sigmaSquared = sigma * sigma;
                for (uint32_t u = 0; u < n; ++u) {
                    expected[u] = kind.grnn ? koru::GrnnKernel(expected[u], kind.variant, sigma, sigmaSquared)
                                            : koru::PnnKernel(expected[u], kind.variant, sigmaSquared);
                }
                const auto propagate = kind.grnn ? GrnnPropagate : PnnPropagate;
                propagate(&net, &kPatternSlab, &sigma);
                const float* patternValues = block.slabs[kPatternSlab].values->Floats();
                for (int16_t u = 0; u < units; ++u) {
                    ASSERT_EQ(BitsOf(patternValues[u]), BitsOf(expected[u]))
                        << "type " << kind.type << ", " << inputs << " inputs, " << units << " units, unit " << u;
                }

                // The output slab, from the pattern values just checked.
                std::vector<float> expectedOutputs(outputs, 0.0f);
                ReferenceLink(block.links[kLinkOut], expectedOutputs, n, 0);
                if (kind.grnn) {
                    double denominator = 0.0;
                    const float* counts = block.slabs[kPatternSlab].deltas->Floats();
                    for (uint32_t u = 0; u < n; ++u) {
                        denominator += static_cast<double>(counts[u]) * static_cast<double>(patternValues[u]);
                    }
                    for (float& v : expectedOutputs) v = denominator == 0.0 ? 0.0f : static_cast<float>(v / denominator);
                } else {
                    const float* counts = block.slabs[kOutputSlab].deltas->Floats();
                    for (size_t j = 0; j < expectedOutputs.size(); ++j) {
                        expectedOutputs[j] = counts[j] == 0.0f ? 0.0f : expectedOutputs[j] / counts[j];
                    }
                }
                propagate(&net, &kOutputSlab, &sigma);
                const float* outputValues = block.slabs[kOutputSlab].values->Floats();
                for (size_t j = 0; j < expectedOutputs.size(); ++j) {
                    ASSERT_EQ(BitsOf(outputValues[j]), BitsOf(expectedOutputs[j]))
                        << "type " << kind.type << ", " << inputs << " inputs, " << units << " units, class " << j;
                }
                KillNet(&net);
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 125);
}

}  // namespace
