// BpPropagate: its codes, link statuses and bias rows, the fixed-point skip
// rule, and bit-identity of the row-by-row loops with the neuron-by-neuron
// order on random nets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "backprop/transfer_float.h"
#include "bp_net.h"
#include "bp_records.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 20;

TEST(BpPropagateCodes, ChecksInOrder) {
    EXPECT_EQ(Propagate(128, 32), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Propagate(-1, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Propagate(kNet, 32), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Propagate(kNet, -1), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Propagate(kNet, 0), KORU32_ERR_NET_NOT_IN_USE);
    Net net(kNet, KORU32_NET_BP_PLAIN);
    EXPECT_EQ(Propagate(net, 0), KORU32_ERR_NO_SLAB);
    ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Put(net, 0, {0.25f, 0.5f, 0.75f}), 0);
    EXPECT_EQ(Propagate(net, 0), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Get(net, 0, 3), (std::vector<float>{0.25f, 0.5f, 0.75f}));
}

TEST(BpPropagateCodes, ParadigmBeforeIncomingLinks) {
    Net net(kNet, KORU32_NET_LVQ_DISTANCE);
    ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), 0);
    EXPECT_EQ(Propagate(net, 0), KORU32_ERR_WRONG_PARADIGM);
}

// Slab 0 (2 inputs) and slab 1 (2 inputs) both feed slab 2 (2 neurons).
class TwoLinks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
        ASSERT_EQ(Slab(net, 1, 2, KORU32_SLAB_INPUT), 0);
        ASSERT_EQ(Slab(net, 2, 2, KORU32_SLAB_OUTPUT), 0);
        ASSERT_EQ(Link(net, 0, 0, 2), 0);
        ASSERT_EQ(Link(net, 1, 1, 2), 0);
        // Link 0: biases 0.5, -0.25; rows of source neurons 1, 2.
        ASSERT_EQ(PutWeights(net, 0, {0.5f, -0.25f, 1.0f, 2.0f, 3.0f, 4.0f}), 0);
        ASSERT_EQ(PutWeights(net, 1, {0.125f, 1.0f, -1.0f, 0.5f, 0.25f, -2.0f}), 0);
        ASSERT_EQ(Put(net, 0, {1.0f, 2.0f}), 0);
        ASSERT_EQ(Put(net, 1, {-1.0f, 4.0f}), 0);
        ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    }
    Net net{kNet, KORU32_NET_BP_PLAIN};
};

TEST_F(TwoLinks, EachActiveLinkAddsItsBiasRow) {
    ASSERT_EQ(Propagate(net, 2), 0);
    // Neuron 1: 0.5 + 1x1 + 2x3 + 0.125 + (-1)(-1) + 4x0.25 = 9.625
    // Neuron 2: -0.25 + 1x2 + 2x4 + 1.0 + (-1)(0.5) + 4(-2) = 2.25
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{9.625f, 2.25f}));
}

TEST_F(TwoLinks, StatusOnePropagatesLikeStatusTwoAndIgnoredAddsNothing) {
    ASSERT_EQ(Status(net, 1, KORU32_LINK_PROPAGATED), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{9.625f, 2.25f}));
    ASSERT_EQ(Status(net, 1, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{7.5f, 9.75f}));
}

TEST_F(TwoLinks, AllLinksIgnoredLeavesZeroWithoutTransfer) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LOGISTIC), 0);
    ASSERT_EQ(Propagate(net, 2), 0);  // fills the slab first
    ASSERT_EQ(Status(net, 0, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(Status(net, 1, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{0.0f, 0.0f}));  // not 0.5
}

TEST_F(TwoLinks, TransferAppliedAfterAllLinksAndInputsKept) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_GAUSSIAN), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    const auto sums = FloatsOf(SlabOf(net, 2).sums);
    EXPECT_EQ(sums, (std::vector<float>{9.625f, 2.25f}));
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{static_cast<float>(koru::Exp(-9.625 * 9.625)),
                                                  static_cast<float>(koru::Exp(-2.25 * 2.25))}));
}

// Whole numbers written straight into an 8.24 array.
void SetFixed(koru::ValueArray* array, const std::vector<int32_t>& whole) {
    std::vector<int32_t> words;
    for (int32_t w : whole) words.push_back(w * (1 << 24));
    Fill(array, words);
}

TEST(BpPropagateFixed, SkipRuleStopsTheRestOfALinkWithoutClamping) {
    Net net(kNet, KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED);
    ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Slab(net, 1, 3, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Slab(net, 2, 4, KORU32_SLAB_OUTPUT), 0);
    ASSERT_EQ(Link(net, 0, 0, 2), 0);
    ASSERT_EQ(Link(net, 1, 1, 2), 0);
    SlabOf(net, 2).transfer = -1;  // no transfer: the raw sums stay in the values
    ASSERT_EQ(Put(net, 0, {1.0f, 1.0f, 1.0f}), 0);
    ASSERT_EQ(Put(net, 1, {1.0f, 1.0f, 1.0f}), 0);
    // Columns are destination neurons: bias row, then source rows 1..3.
    // n1: 0 + 60 -> beyond 50 after the first term: 5 and 5 skipped -> 60.
    // n2: bias 60 is not tested; -5 -> 55 beyond 50: the last term skipped -> 55.
    // n3: 49 + 1 = 50 is not beyond 50; 1 -> 51 beyond; 7 skipped -> 51.
    // n4: -30 - 30 = -60 beyond -50; +100 skipped -> -60.
    SetFixed(LinkOf(net, 0).weights, {0, 60, 49, -30, 60, -5, 1, -30, 5, -5, 1, 100, 5, 3, 7, 1});
    // Link 1 starts again: its bias untested, its first term tested.
    // n1: 60 + 0 + 10 = 70 beyond -> 10 more skipped -> 70.
    // n2..n4: plain additions of 1 + 1 + 1 + 1 while inside the bound.
    SetFixed(LinkOf(net, 1).weights, {0, 1, 1, 1, 10, 1, 1, 1, 10, 1, 1, 1, 1, 1, 1, 1});
    ASSERT_EQ(Status(net, 1, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(FixedOf(SlabOf(net, 2).values), (std::vector<int32_t>{60 << 24, 55 << 24, 51 << 24, -60 << 24}));
    ASSERT_EQ(Status(net, 1, KORU32_LINK_TRAINED), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    // n2: 55 + 1 (bias) + 1 (first term) = 57 beyond -> stop.
    // n3: 51 + 1 + 1 = 53 beyond -> stop. n4: -60 + 1 + 1 = -58 beyond -> stop.
    EXPECT_EQ(FixedOf(SlabOf(net, 2).values), (std::vector<int32_t>{70 << 24, 57 << 24, 53 << 24, -58 << 24}));
}

// ---- Random nets: the row-by-row loops against the defined order --------

// The forward pass exactly as defined, neuron by neuron, each addition
// stored into the destination array. A link from a slab to itself reads the
// destination array as it is being filled, since it is its source.
struct ReferenceLink {
    int source;
    int status;
    std::vector<uint32_t> weights;
};

void ReferenceFloat(std::vector<std::vector<float>>& slabs, int dest, const std::vector<ReferenceLink>& links) {
    std::vector<float>& v = slabs[dest];
    std::fill(v.begin(), v.end(), 0.0f);
    const size_t n = v.size();
    for (const ReferenceLink& link : links) {
        if (link.status == 0) continue;
        const std::vector<float>& source = slabs[link.source];
        const float* w = reinterpret_cast<const float*>(link.weights.data());
        for (size_t j = 0; j < n; ++j) {
            v[j] = static_cast<float>(static_cast<double>(v[j]) + w[j]);
            for (size_t k = 0; k < source.size(); ++k) {
                v[j] = static_cast<float>(v[j] + static_cast<double>(source[k]) * w[(k + 1) * n + j]);
            }
        }
    }
}

void ReferenceFixed(std::vector<std::vector<int32_t>>& slabs, int dest, const std::vector<ReferenceLink>& links) {
    std::vector<int32_t>& v = slabs[dest];
    std::fill(v.begin(), v.end(), 0);
    const size_t n = v.size();
    for (const ReferenceLink& link : links) {
        if (link.status == 0) continue;
        const std::vector<int32_t>& source = slabs[link.source];
        const int32_t* w = reinterpret_cast<const int32_t*>(link.weights.data());
        for (size_t j = 0; j < n; ++j) {
            v[j] = RefAdd(v[j], w[j]);
            for (size_t k = 0; k < source.size(); ++k) {
                v[j] = RefAdd(v[j], RefMul(source[k], w[(k + 1) * n + j]));
                if (v[j] > 838860800 || v[j] < -838860800) break;
            }
        }
    }
}

class RandomNets : public ::testing::TestWithParam<uint16_t> {};

TEST_P(RandomNets, RowByRowEqualsNeuronByNeuron) {
    const uint16_t math = GetParam();
    const bool isFloat = math == KORU32_MATH_FLOAT;
    std::mt19937 random(2024 + math);
    for (int trial = 0; trial < 40; ++trial) {
        Net net(kNet, KORU32_NET_BP_PLAIN, math);
        // Four slabs of odd sizes; slab 3 is computed from slabs 0..2 and
        // (every other trial) from itself.
        std::vector<int> sizes(4);
        for (int s = 0; s < 4; ++s) {
            sizes[s] = 1 + 2 * static_cast<int>(random() % 12);
            ASSERT_EQ(Slab(net, s, sizes[s], s == 3 ? KORU32_SLAB_OUTPUT : KORU32_SLAB_INPUT), 0);
        }
        std::vector<ReferenceLink> links;
        const int linkCount = trial % 2 == 0 ? 4 : 3;
        for (int l = 0; l < linkCount; ++l) {
            const int source = l;  // link 3 is the self link
            ASSERT_EQ(Link(net, l, source, 3), 0);
            const int status = static_cast<int>(random() % 3);
            ASSERT_EQ(Status(net, l, status), 0);
            links.push_back({source, status, {}});
        }
        SlabOf(net, 3).transfer = -1;  // compare the sums themselves

        // Wide random values, so that the fixed-point skip rule and 32-bit
        // wrap both occur; the float net gets values of all magnitudes.
        std::vector<std::vector<float>> floats(4);
        std::vector<std::vector<int32_t>> fixed(4);
        std::uniform_real_distribution<float> value(-8.0f, 8.0f);
        std::uniform_int_distribution<int32_t> word(-(40 << 24), 40 << 24);
        for (int s = 0; s < 4; ++s) {
            floats[s].resize(sizes[s]);
            fixed[s].resize(sizes[s]);
            for (int i = 0; i < sizes[s]; ++i) {
                floats[s][i] = value(random);
                fixed[s][i] = word(random);
            }
            if (isFloat) Fill(SlabOf(net, s).values, floats[s]); else Fill(SlabOf(net, s).values, fixed[s]);
        }
        for (int l = 0; l < linkCount; ++l) {
            koru::ValueArray* w = LinkOf(net, l).weights;
            std::vector<uint32_t> words(w->count);
            for (uint32_t& x : words) {
                if (isFloat) {
                    const float f = value(random) * (random() % 4 == 0 ? 1e-3f : 1.0f);
                    std::memcpy(&x, &f, 4);
                } else {
                    x = static_cast<uint32_t>(word(random));
                }
            }
            SetWords(w, words);
            links[l].weights = words;
        }

        ASSERT_EQ(Propagate(net, 3), 0);
        if (isFloat) {
            ReferenceFloat(floats, 3, links);
            // Bits, not values: -0.0 and 0.0 must agree as well.
            std::vector<uint32_t> expected(sizes[3]);
            std::memcpy(expected.data(), floats[3].data(), expected.size() * 4);
            ASSERT_EQ(Words(SlabOf(net, 3).values), expected) << "trial " << trial;
        } else {
            ReferenceFixed(fixed, 3, links);
            ASSERT_EQ(FixedOf(SlabOf(net, 3).values), fixed[3]) << "trial " << trial;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RandomNets, ::testing::Values(KORU32_MATH_FLOAT, KORU32_MATH_FIXED),
                         [](const auto& info) { return info.param == KORU32_MATH_FLOAT ? "Float" : "Fixed"; });

}  // namespace
