// BpTrain: its codes, and the four rules in both formats against the model
// written from the rules, on random nets of odd sizes.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <tuple>

#include "bp_net.h"
#include "training_reference.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 40;

TEST(BpTrainCodes, ChecksInOrderAndNothingChanges) {
    for (auto [n, s, code] : {std::tuple{128, 40, KORU32_ERR_BAD_NET_NUMBER}, {kNet, 40, KORU32_ERR_BAD_SLAB_NUMBER}, {kNet, 0, KORU32_ERR_NET_NOT_IN_USE}})
        EXPECT_EQ(Train(n, s, 0.1f), code) << n << ", " << s;
    {
        Net lvq(kNet, KORU32_NET_LVQ_DISTANCE);
        ASSERT_EQ(All({Slab(lvq, 0, 2, KORU32_SLAB_INPUT), Slab(lvq, 1, 2, KORU32_SLAB_OUTPUT), Link(lvq, 0, 0, 1)}), 0);
        const auto before = Words(LinkOf(lvq, 0).weights);
        EXPECT_EQ(Train(lvq, 0, 0.1f), KORU32_ERR_WRONG_PARADIGM);
        EXPECT_EQ(Words(LinkOf(lvq, 0).weights), before);
    }
    Net net(kNet, KORU32_NET_BP_PLAIN);
    EXPECT_EQ(Train(net, 3, 0.1f), KORU32_ERR_NO_SLAB);
}

// Every array of a net (values, sums and deltas of each slab, then the five
// arrays of each link) as bits, not values: NaN must match NaN and -0.0 must
// not pass for 0.0. Only which NaN comes out is left open (with two NaN
// operands the one passed on depends on the compiler's operand order), so
// every float NaN counts as one.
template <typename T> std::vector<std::vector<uint32_t>> Canonical(const RefNet<T>& net) {
    std::vector<std::vector<uint32_t>> arrays;
    const auto add = [&](const std::vector<T>& values) {
        std::vector<uint32_t>& words = arrays.emplace_back(values.size());
        if (!values.empty()) std::memcpy(words.data(), values.data(), values.size() * 4);
        for (uint32_t& w : words) w = std::is_same_v<T, float> && (w & 0x7fffffffu) > 0x7f800000u ? 0x7fc00000u : w;
    };
    for (const RefSlab<T>& s : net.slabs) add(s.values), add(s.sums), add(s.deltas);
    for (const RefLink<T>& k : net.links) add(k.w), add(k.q), add(k.g), add(k.p), add(k.t);
    return arrays;
}

// Slab 0 input, 1 hidden (trained), 2 and 3 output, 4 input; links from
// slab 1 to 2, 3, itself and the input slab 4 (which keeps no deltas, so
// that link stays untrained), and 0 -> 1. Statuses vary; every array holds random values, now
// and then one that takes the rules' rarer paths.
class RandomTraining : public ::testing::TestWithParam<std::tuple<uint16_t, uint16_t>> {  // net type, math mode
protected:
    template <typename T>
    void Run() {
        const auto [type, math] = GetParam();
        std::mt19937 random(99 + type * 2 + math);
        const int kinds[] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT, KORU32_SLAB_OUTPUT, KORU32_SLAB_INPUT}, links[][2] = {{1, 2}, {0, 1}, {1, 3}, {1, 1}, {1, 4}};
        // The odd sizes 1, 3, 17, 25, 33 and 257 in turn (shorter and longer
        // than every vector and block of rows), then random odd sizes.
        const int16_t oddSizes[] = {1, 3, 17, 25, 33, 257};
        const float inf = std::numeric_limits<float>::infinity(), specials[] = {0.0f, -0.0f, NAN, inf, -inf, 1e-30f, -1e30f};
        const int32_t fixedSpecials[] = {0, 0, 1, -1, INT32_MIN, INT32_MAX, 1 << 24};
        const float steps[] = {0.0f, 0.95f, 1.5e-6f};  // step sizes of none, near the upper limit and near the lower one
        const int32_t fixedSteps[] = {0, 0xF33333, 20};
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        std::uniform_int_distribution<int32_t> word(-(1 << 24), 1 << 24);
        const auto randomize = [&](koru::ValueArray* a, bool positive, bool special = false) {
            for (uint32_t i = 0; a != nullptr && i < a->count; ++i) {
                const bool rare = (special || positive) && random() % 16 == 0;
                if constexpr (std::is_same_v<T, float>) {
                    const float f = value(random);
                    a->Floats()[i] = rare ? (positive ? steps[random() % 3] : specials[random() % 7]) : positive ? std::fabs(f) * 0.3f : f;
                } else {
                    const int32_t x = word(random);
                    a->Fixed()[i] = rare ? (positive ? fixedSteps[random() % 3] : fixedSpecials[random() % 7]) : positive ? (x < 0 ? -x : x) / 3 : x;
                }
            }
        };
        for (int trial = 0; trial < 16; ++trial) {
            Net net(kNet, type, math);
            for (int s = 0; s < 5; ++s) ASSERT_EQ(Slab(net, s, trial < 12 ? oddSizes[(trial + 2 * s + s / 3) % 6] : static_cast<int16_t>(1 + 2 * (random() % 9)), kinds[s]), 0);
            for (int l = 0; l < 5; ++l) ASSERT_EQ(Link(net, l, links[l][0], links[l][1]), 0);
            // Every fourth trial from the second none of slab 1's links into slabs with deltas is trained.
            const auto status = static_cast<int16_t>(1 + random() % 2);
            ASSERT_EQ(All({Status(net, 0, trial % 4 == 1 ? 1 : 2), Status(net, 2, trial % 4 == 1 ? 1 : status), Status(net, 3, trial % 3 == 0 ? 2 : 0)}), 0);  // the self link now and then
            SlabOf(net, 1).transfer = static_cast<int8_t>(static_cast<int>(random() % 9) - 1);
            for (int s = 0; s < 5; ++s) randomize(SlabOf(net, s).values, false), randomize(SlabOf(net, s).sums, false), randomize(SlabOf(net, s).deltas, false, true);
            for (int l = 0; l < 5; ++l) {
                const koru::LinkRecord& k = LinkOf(net, l);
                randomize(k.weights, false), randomize(k.changes, type == KORU32_NET_BP_ADAPTIVE);  // step sizes are positive
                randomize(k.gradients, false, true), randomize(k.prevGradients, false, true), randomize(k.lastSteps, false);
            }
            RefNet<T> ref = Snapshot<T>(net, 5, 5);
            for (int call = 0; call < 4; ++call) {
                const uint16_t apply = static_cast<uint16_t>(call % 2);
                const float rate = 0.3f + 0.1f * call, momentum = 0.9f - 0.2f * call;
                for (int16_t slab : {1, 0}) {
                    ASSERT_EQ(Train(net, slab, rate, momentum, apply), 0);
                    TrainSlabRef(ref, slab, rate, momentum, apply != 0);
                    const auto got = Canonical(Snapshot<T>(net, 5, 5)), expected = Canonical(ref);
                    for (size_t a = 0; a < expected.size(); ++a)
                        ASSERT_TRUE(got[a] == expected[a]) << "trial " << trial << " call " << call << " slab " << slab << ": " << (a < 15 ? "slab " : "link ") << (a < 15 ? a / 3 : (a - 15) / 5) << " array " << (a < 15 ? a % 3 : (a - 15) % 5);
                }
            }
        }
    }
};

TEST_P(RandomTraining, StorageOrderLoopsMatchTheRules) {
    if (std::get<1>(GetParam()) == KORU32_MATH_FLOAT) Run<float>(); else Run<int32_t>();
}
INSTANTIATE_TEST_SUITE_P(EachRule, RandomTraining, ::testing::Combine(::testing::Values(KORU32_NET_BP_PLAIN, KORU32_NET_BP_MOMENTUM, KORU32_NET_BP_BATCH, KORU32_NET_BP_ADAPTIVE),
                                                                     ::testing::Values(KORU32_MATH_FLOAT, KORU32_MATH_FIXED)));

}  // namespace
