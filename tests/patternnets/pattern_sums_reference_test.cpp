// The fast accumulation loops against the rule written out plainly: on nets
// of odd sizes, every variant of both paradigms, a pattern slab fed by two
// links plus one of status 0 or 1, and any number of units in use, the pattern
// and output slabs must hold the very bits of the column-by-column loops.
#include <cmath>
#include <random>

#include "core/engine.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/probabilistic_net.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

constexpr int16_t kInputB = 3, kLinkB = 2, kLinkExtra = 3;

// Floats from 2^-8 to 2^8 of both signs, so that nearly every addition rounds.
void FillRandom(koru::ValueArray& array, std::mt19937& random) {
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    for (uint32_t i = 0; i < array.count; ++i) {
        const float value = std::ldexp(mantissa(random), static_cast<int>(random() % 17) - 8);
        array.Floats()[i] = random() % 2 ? -value : value;
    }
}

// Destination by destination, source by source, each term in double from two
// floats and the running value rounded to float: term 0 dot, 1 city block, 2 squared.
void ReferenceLink(const koru::LinkRecord& link, Floats& dest, uint32_t units, int term) {
    const bool fromPatterns = link.source->kind == KORU32_SLAB_HIDDEN;
    const uint32_t sources = fromPatterns ? units : link.source->values->count;
    const uint32_t dests = fromPatterns ? link.dest->values->count : units;
    const float* x = link.source->values->Floats();
    const float* w = link.weights->Floats();
    for (uint32_t j = 0; j < dests; ++j) {
        for (uint32_t k = 0; k < sources; ++k) {
            const double dx = x[k], dw = w[size_t{k} * link.weights->cols + j];
            const double t = term == 0 ? dx * dw : term == 1 ? std::fabs(dx - dw) : (dx - dw) * (dx - dw);
            dest[j] = static_cast<float>(static_cast<double>(dest[j]) + t);
        }
    }
}

using PatternSumsReference = PatternNetTest;

TEST_F(PatternSumsReference, OddSizesEveryVariantSeveralLinksMatchTheStraightforwardLoops) {
    struct Kind { uint16_t type, variant; bool grnn; int patternTerm; };
    const Kind kinds[] = {
        {KORU32_NET_PNN_DISTANCE, 0, false, 2},    {KORU32_NET_PNN_DOT, 7, false, 0},
        {KORU32_NET_PNN_CITY_BLOCK, 10, false, 1}, {KORU32_NET_GRNN_DISTANCE, 0, true, 2},
        {KORU32_NET_GRNN_CITY_BLOCK, 10, true, 1},
    };
    const int16_t sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(20261206);
    int cases = 0;
    for (const Kind& kind : kinds) {
        for (int16_t inputs : sizes) {
            for (int16_t units : sizes) {
                SCOPED_TRACE(::testing::Message() << "type " << kind.type << ", " << inputs << " inputs, " << units << " units");
                const int16_t outputs = units == 257 ? 3 : 17;
                const int16_t net = MakeThreeSlabNet(kind.type, inputs, units, outputs);
                MakeSlabOf(net, kInputB, sizes[(inputs + units) % 5], KORU32_SLAB_INPUT);
                MakeLinkOf(net, kLinkB, kInputB, kPattern);
                MakeLinkOf(net, kLinkExtra, kInput, kPattern);
                koru::NetEntry& entry = koru::netTable[net];
                koru::NetBlock& block = *entry.block;
                block.links[kLinkExtra].status = static_cast<uint8_t>(cases % 2);  // ignored, or propagated only
                for (int16_t slab : {kInput, kInputB}) FillRandom(*block.slabs[slab].values, random);
                for (int16_t link : {kInputLink, kOutputLink, kLinkB, kLinkExtra}) FillRandom(*block.links[link].weights, random);
                // Counts of 0, 1 or 2 per unit or class; every unit, none, one or some in use.
                koru::ValueArray& counts = *block.slabs[kind.grnn ? kPattern : kOutput].deltas;
                for (uint32_t i = 0; i < counts.count; ++i) counts.Floats()[i] = static_cast<float>(random() % 3);
                const int32_t inUse[] = {units, 0, 1, units / 2 + 1};
                entry.patternCount = static_cast<int16_t>(inUse[cases % 4]);
                const auto n = static_cast<uint32_t>(entry.patternCount);
                const float sigma = 4.0f + static_cast<float>(cases % 5);

                Floats expected(units, 0.0f);
                for (int16_t link : {kInputLink, kLinkB, kLinkExtra}) {
                    if (block.links[link].status != KORU32_LINK_IGNORED) ReferenceLink(block.links[link], expected, n, kind.patternTerm);
                }
                for (uint32_t u = 0; u < n; ++u) {
                    expected[u] = kind.grnn ? koru::GrnnKernel(expected[u], kind.variant, sigma, sigma * sigma)
                                            : koru::PnnKernel(expected[u], kind.variant, sigma * sigma);
                }
                const auto propagate = kind.grnn ? GrnnPropagate : PnnPropagate;
                propagate(&net, &kPattern, &sigma);
                const float* patternValues = block.slabs[kPattern].values->Floats();
                for (int16_t u = 0; u < units; ++u) ASSERT_EQ(BitsOf(patternValues[u]), BitsOf(expected[u])) << "unit " << u;

                // The output slab, from the pattern values just checked.
                Floats expectedOutputs(outputs, 0.0f);
                ReferenceLink(block.links[kOutputLink], expectedOutputs, n, 0);
                double denominator = 0.0;
                for (uint32_t u = 0; u < n && kind.grnn; ++u) denominator += double{counts.Floats()[u]} * patternValues[u];
                for (int16_t j = 0; j < outputs; ++j) {
                    float& v = expectedOutputs[j];
                    const float count = kind.grnn ? 0.0f : counts.Floats()[j];
                    if (kind.grnn) v = denominator == 0.0 ? 0.0f : static_cast<float>(v / denominator);
                    else v = count == 0.0f ? 0.0f : v / count;
                }
                propagate(&net, &kOutput, &sigma);
                const float* outputValues = block.slabs[kOutput].values->Floats();
                for (int16_t j = 0; j < outputs; ++j) ASSERT_EQ(BitsOf(outputValues[j]), BitsOf(expectedOutputs[j])) << "class " << j;
                KillNet(&net);
                ++cases;
            }
        }
    }
}

}  // namespace
