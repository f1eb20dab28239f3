// The forward pass's vector loops (four source rows a pass, clones for
// wider vector units) against the defined order, written out plainly: slabs
// of the odd sizes 1, 3, 17, 33 and 257 (shorter and longer than every vector
// width and block), three links into one slab with statuses 0, 1 and 2, and
// values of every magnitude so that nearly every addition rounds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "bp_net.h"
#include "bp_records.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 21;

float RandomValue(std::mt19937& random) {
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    const float value = std::ldexp(mantissa(random), static_cast<int>(random() % 17) - 8);
    return random() % 2 ? -value : value;
}

// Slabs 0..2 of `sourceSizes` neurons feed slab 3 of `destSize` neurons
// through links 0..2 with `statuses`; slab 3 keeps the sums themselves.
void BuildThreeLinksIntoOneSlab(const Net& net, const int (&sourceSizes)[3], int destSize,
                                const int (&statuses)[3]) {
    for (int s = 0; s < 3; ++s) ASSERT_EQ(Slab(net, s, sourceSizes[s], KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Slab(net, 3, destSize, KORU32_SLAB_OUTPUT), 0);
    SlabOf(net, 3).transfer = -1;  // the sums themselves
    for (int l = 0; l < 3; ++l) {
        ASSERT_EQ(Link(net, l, l, 3), 0);
        ASSERT_EQ(Status(net, l, statuses[l]), 0);
    }
}

// Draws each source slab's values, then its link's weights (bias row first),
// slab by slab, puts them into the net and keeps them for the reference.
template <typename Value, typename DrawSource, typename DrawWeight>
void FillSourcesAndWeights(const Net& net, const int (&sourceSizes)[3], int destSize, DrawSource drawSource,
                           DrawWeight drawWeight, std::vector<std::vector<Value>>& sources,
                           std::vector<std::vector<Value>>& weights) {
    sources.assign(3, {});
    weights.assign(3, {});
    for (int s = 0; s < 3; ++s) {
        for (int i = 0; i < sourceSizes[s]; ++i) sources[s].push_back(drawSource());
        Fill(SlabOf(net, s).values, sources[s]);
        const size_t count = size_t(sourceSizes[s] + 1) * destSize;
        for (size_t i = 0; i < count; ++i) weights[s].push_back(drawWeight());
        Fill(LinkOf(net, s).weights, weights[s]);
    }
}

TEST(ForwardPassReference, OddSizesSeveralLinksEveryStatusGiveTheBitsOfTheDefinedOrder) {
    const int sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(1206);
    int cases = 0;
    for (int destSize : sizes) {
        for (int sourceSize : sizes) {
            Net net(kNet, KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT);
            // Links of sizes sourceSize and two other odd sizes.
            const int sourceSizes[3] = {sourceSize, sizes[(cases + 1) % 5], sizes[(cases + 3) % 5]};
            const int statuses[3] = {cases % 3, (cases + 1) % 3, (cases + 2) % 3};
            ASSERT_NO_FATAL_FAILURE(BuildThreeLinksIntoOneSlab(net, sourceSizes, destSize, statuses));
            const auto draw = [&] { return RandomValue(random); };
            std::vector<std::vector<float>> sources, weights;
            FillSourcesAndWeights(net, sourceSizes, destSize, draw, draw, sources, weights);

            // Neuron by neuron: bias, then every source term in order, link
            // after link, each addition rounded to single precision.
            std::vector<float> expected(destSize, 0.0f);
            for (int l = 0; l < 3; ++l) {
                if (statuses[l] == 0) continue;
                for (int j = 0; j < destSize; ++j) {
                    float v = static_cast<float>(static_cast<double>(expected[j]) + weights[l][j]);
                    for (int k = 0; k < sourceSizes[l]; ++k) {
                        const double term = static_cast<double>(sources[l][k]) *
                                            static_cast<double>(weights[l][size_t(k + 1) * destSize + j]);
                        v = static_cast<float>(static_cast<double>(v) + term);
                    }
                    expected[j] = v;
                }
            }
            ASSERT_EQ(Propagate(net, 3), 0);
            std::vector<uint32_t> expectedBits(destSize);
            std::memcpy(expectedBits.data(), expected.data(), expectedBits.size() * 4);
            ASSERT_EQ(Words(SlabOf(net, 3).values), expectedBits)
                << destSize << " neurons fed by " << sourceSizes[0] << ", " << sourceSizes[1] << ", "
                << sourceSizes[2];
            ++cases;
        }
    }
    EXPECT_EQ(cases, 25);
}

// The 8.24 vector loop (four rows a pass, the stop test as a mask) against
// the defined loop: bias, then each source term with the test after it, link
// after link. Values up to +-40 so that many neurons leave +-50 part way
// through a link and some sums wrap at 32 bits.
TEST(ForwardPassReference, FixedOddSizesSeveralLinksEveryStatusStopAndWrapAsDefined) {
    const int sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(1207);
    std::uniform_int_distribution<int32_t> word(-(40 << 24), 40 << 24);
    std::uniform_int_distribution<int32_t> small(-(1 << 22), 1 << 22);
    int cases = 0, stopped = 0, running = 0;
    for (int destSize : sizes) {
        for (int sourceSize : sizes) {
            Net net(kNet, KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED);
            const int sourceSizes[3] = {sourceSize, sizes[(cases + 2) % 5], sizes[(cases + 4) % 5]};
            const int statuses[3] = {(cases + 1) % 3, (cases + 2) % 3, (cases + 3) % 3};
            ASSERT_NO_FATAL_FAILURE(BuildThreeLinksIntoOneSlab(net, sourceSizes, destSize, statuses));
            // Every other case small values: most neurons then stay inside
            // the bound to the end, so both outcomes are met.
            const bool wide = cases % 2 == 0;
            std::vector<std::vector<int32_t>> sources, weights;
            FillSourcesAndWeights(
                net, sourceSizes, destSize, [&] { return wide ? word(random) : small(random); },
                [&] { return wide ? word(random) : small(random) * 8; }, sources, weights);

            std::vector<int32_t> expected(destSize, 0);
            for (int l = 0; l < 3; ++l) {
                if (statuses[l] == 0) continue;
                for (int j = 0; j < destSize; ++j) {
                    int32_t v = RefAdd(expected[j], weights[l][j]);
                    for (int k = 0; k < sourceSizes[l]; ++k) {
                        v = RefAdd(v, RefMul(sources[l][k], weights[l][size_t(k + 1) * destSize + j]));
                        if (v > 838860800 || v < -838860800) break;
                    }
                    expected[j] = v;
                }
            }
            for (int32_t v : expected) (v > 838860800 || v < -838860800 ? stopped : running) += 1;
            ASSERT_EQ(Propagate(net, 3), 0);
            ASSERT_EQ(FixedOf(SlabOf(net, 3).values), expected)
                << destSize << " neurons fed by " << sourceSizes[0] << ", " << sourceSizes[1] << ", "
                << sourceSizes[2];
            ++cases;
        }
    }
    EXPECT_EQ(cases, 25);
    // Both outcomes were met in numbers.
    EXPECT_GT(stopped, 100);
    EXPECT_GT(running, 100);
}

}  // namespace
