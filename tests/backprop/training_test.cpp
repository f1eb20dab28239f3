// BpTrain: its codes, the four rules in both formats against a model written
// from the rules (on random nets of odd sizes and on full steps of a small
// net), and the behaviour each rule promises.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <type_traits>

#include "bp_net.h"
#include "bp_records.h"
#include "training_reference.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 40;

float Weight(int16_t net, int16_t link, int16_t source, int16_t dest) {
    float value = -999.0f;
    GetWeight(&net, &link, &source, &dest, &value);
    return value;
}
float Change(int16_t net, int16_t link, int16_t source, int16_t dest) {
    float value = -999.0f;
    GetChange(&net, &link, &source, &dest, &value);
    return value;
}
int16_t PutDeltaValue(int16_t net, int16_t slab, int16_t neuron, float value) {
    return PutDelta(&net, &slab, &neuron, &value);
}

// ---- Codes ----------------------------------------------------------------

TEST(BpTrainCodes, ChecksInOrderAndNothingChanges) {
    EXPECT_EQ(Train(128, 40, 0.1f), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Train(kNet, 40, 0.1f), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Train(kNet, 0, 0.1f), KORU32_ERR_NET_NOT_IN_USE);
    {
        Net lvq(kNet, KORU32_NET_LVQ_DISTANCE);
        ASSERT_EQ(Slab(lvq, 0, 2, KORU32_SLAB_INPUT), 0);
        ASSERT_EQ(Slab(lvq, 1, 2, KORU32_SLAB_OUTPUT), 0);
        ASSERT_EQ(Link(lvq, 0, 0, 1), 0);
        const auto before = GetWeights(lvq, 0, 4);
        EXPECT_EQ(Train(lvq, 0, 0.1f), KORU32_ERR_WRONG_PARADIGM);
        EXPECT_EQ(GetWeights(lvq, 0, 4), before);
    }
    Net net(kNet, KORU32_NET_BP_PLAIN);
    EXPECT_EQ(Train(net, 3, 0.1f), KORU32_ERR_NO_SLAB);
}

// ---- A 2-3-1 net: input 0, hidden 1, output 2; links 0 (0->1), 1 (1->2) --

class SmallNet {
public:
    SmallNet(uint16_t type, uint16_t math) : net(kNet, type, math) {
        EXPECT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
        EXPECT_EQ(Slab(net, 1, 3, KORU32_SLAB_HIDDEN), 0);
        EXPECT_EQ(Slab(net, 2, 1, KORU32_SLAB_OUTPUT), 0);
        EXPECT_EQ(Link(net, 0, 0, 1), 0);
        EXPECT_EQ(Link(net, 1, 1, 2), 0);
        EXPECT_EQ(PutWeights(net, 0, {0.1f, -0.2f, 0.3f, 0.5f, -0.4f, 0.25f, -0.3f, 0.6f, 0.2f}), 0);
        EXPECT_EQ(PutWeights(net, 1, {0.05f, 0.4f, -0.7f, 0.3f}), 0);
    }
    // One pattern: forward, evaluate, train slab 1 then slab 0.
    void Step(const std::vector<float>& input, float target, float rate, float momentum, uint16_t apply) {
        float sum = 0.0f;
        ASSERT_EQ(Put(net, 0, input), 0);
        ASSERT_EQ(Propagate(net, 1), 0);
        ASSERT_EQ(Propagate(net, 2), 0);
        ASSERT_EQ(Evaluate(net, 2, {target}, sum), 0);
        ASSERT_EQ(Train(net, 1, rate, momentum, apply), 0);
        ASSERT_EQ(Train(net, 0, rate, momentum, apply), 0);
    }
    Net net;
};

// The model's forward pass and evaluation for logistic slabs, per neuron.
void ForwardRef(RefNet<float>& ref, const RefLink<float>& link) {
    RefSlab<float>& d = ref.slabs[link.dest];
    const auto& src = ref.slabs[link.source].values;
    const size_t n = d.values.size();
    for (size_t j = 0; j < n; ++j) {
        float v = link.w[j];
        for (size_t k = 0; k < src.size(); ++k) v = F(v + double(src[k]) * link.w[(k + 1) * n + j]);
        d.values[j] = v < -50.0f ? 0.0f : F(1.0 / (1.0 + koru::Exp(-double(v))));
    }
}
void ForwardRef(RefNet<int32_t>& ref, const RefLink<int32_t>& link) {
    RefSlab<int32_t>& d = ref.slabs[link.dest];
    const auto& src = ref.slabs[link.source].values;
    const size_t n = d.values.size();
    for (size_t j = 0; j < n; ++j) {
        int32_t v = link.w[j];
        for (size_t k = 0; k < src.size(); ++k) {
            v = RefAdd(v, RefMul(src[k], link.w[(k + 1) * n + j]));
            if (v > 838860800 || v < -838860800) break;
        }
        d.values[j] = koru::TableLookup(koru::LogisticTable, v);
    }
}
void EvaluateRef(RefSlab<float>& out, float target) {
    const double y = out.values[0];
    const float e = target - out.values[0];
    out.deltas[0] = F((y * (1 - y) + 0.1) * e);
}
void EvaluateRef(RefSlab<int32_t>& out, float target) {
    const int32_t y = out.values[0];
    const int32_t e = RefSub(ToFixedRef(target), y);
    out.deltas[0] = RefMul(e, RefAdd(RefMul(y, RefSub(16777216, y)), 1677721));
}

template <typename T>
void ExpectSameArrays(int16_t net, const RefNet<T>& ref, const std::string& where) {
    // Bits, not values: NaN must match NaN, and -0.0 must not pass for 0.0.
    // Only which NaN comes out is left open (when both operands of an
    // operation are NaN, the one passed on depends on the order in which the
    // compiler lays out the operands), so every float NaN counts as one.
    const auto canonical = [](std::vector<uint32_t> words) {
        if constexpr (std::is_same_v<T, float>) {
            for (uint32_t& w : words) {
                if ((w & 0x7fffffffu) > 0x7f800000u) w = 0x7fc00000u;
            }
        }
        return words;
    };
    const auto bits = [](const std::vector<T>& v) {
        std::vector<uint32_t> words(v.size());
        if (!v.empty()) std::memcpy(words.data(), v.data(), v.size() * 4);
        return words;
    };
    const auto same = [&](const koru::ValueArray* array, const std::vector<T>& expected) {
        return canonical(Words(array)) == canonical(bits(expected));
    };
    koru::NetBlock& block = *koru::netTable[net].block;
    for (size_t s = 0; s < ref.slabs.size(); ++s) {
        EXPECT_TRUE(same(block.slabs[s].values, ref.slabs[s].values)) << where << " values of slab " << s;
        if (!ref.slabs[s].deltas.empty()) {
            EXPECT_TRUE(same(block.slabs[s].deltas, ref.slabs[s].deltas)) << where << " deltas of slab " << s;
        }
    }
    for (size_t l = 0; l < ref.links.size(); ++l) {
        const koru::LinkRecord& link = block.links[l];
        EXPECT_TRUE(same(link.weights, ref.links[l].w)) << where << " weights of link " << l;
        if (link.changes) {
            EXPECT_TRUE(same(link.changes, ref.links[l].q)) << where << " changes of link " << l;
        }
        if (link.gradients) {
            EXPECT_TRUE(same(link.gradients, ref.links[l].g)) << where << " gradients of link " << l;
            EXPECT_TRUE(same(link.prevGradients, ref.links[l].p)) << where << " previous of link " << l;
            EXPECT_TRUE(same(link.lastSteps, ref.links[l].t)) << where << " steps of link " << l;
        }
    }
}

struct RuleCase {
    uint16_t type;
    uint16_t math;
};
void PrintTo(const RuleCase& c, std::ostream* os) { *os << "net type " << c.type << ", math " << c.math; }
std::string Name(const ::testing::TestParamInfo<RuleCase>& info) {
    const char* rules[] = {"", "Plain", "Momentum", "Batch", "", "", "", "", "", "", "", "Adaptive"};
    return std::string(rules[info.param.type]) + (info.param.math == KORU32_MATH_FLOAT ? "Float" : "Fixed");
}
const RuleCase kRuleCases[] = {
    {KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT},    {KORU32_NET_BP_MOMENTUM, KORU32_MATH_FLOAT},
    {KORU32_NET_BP_BATCH, KORU32_MATH_FLOAT},    {KORU32_NET_BP_ADAPTIVE, KORU32_MATH_FLOAT},
    {KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED},    {KORU32_NET_BP_MOMENTUM, KORU32_MATH_FIXED},
    {KORU32_NET_BP_BATCH, KORU32_MATH_FIXED},    {KORU32_NET_BP_ADAPTIVE, KORU32_MATH_FIXED},
};

class FullStep : public ::testing::TestWithParam<RuleCase> {
protected:
    template <typename T>
    void Run() {
        SmallNet small(GetParam().type, GetParam().math);
        RefNet<T> ref = Snapshot<T>(small.net, 3, 2);
        const std::vector<std::vector<float>> inputs{{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.5f, 0.25f}};
        const float targets[] = {1.0f, 0.0f, 1.0f, 0.25f};
        for (int step = 0; step < 12; ++step) {
            const auto& in = inputs[step % 4];
            const uint16_t apply = step % 4 == 3 ? 1 : 0;  // batch rules apply every fourth pattern
            small.Step(in, targets[step % 4], 0.75f, 0.5f, apply);
            if constexpr (std::is_same_v<T, float>) {
                ref.slabs[0].values = in;
            } else {
                ref.slabs[0].values = {ToFixedRef(in[0]), ToFixedRef(in[1])};
            }
            ForwardRef(ref, ref.links[0]);
            ForwardRef(ref, ref.links[1]);
            EvaluateRef(ref.slabs[2], targets[step % 4]);
            TrainSlabRef(ref, 1, 0.75f, 0.5f, apply != 0);
            TrainSlabRef(ref, 0, 0.75f, 0.5f, apply != 0);
            ExpectSameArrays(small.net, ref, "step " + std::to_string(step));
            if (HasFailure()) return;
        }
    }
};

TEST_P(FullStep, ForwardEvaluateTrainMatchTheRules) {
    if (GetParam().math == KORU32_MATH_FLOAT) Run<float>(); else Run<int32_t>();
}
INSTANTIATE_TEST_SUITE_P(EachRule, FullStep, ::testing::ValuesIn(kRuleCases), Name);

// ---- Random nets of odd sizes ------------------------------------------------

// Slab 0 input, 1 hidden (trained), 2 and 3 output, 4 input; links from
// slab 1 to 2, 3, itself and the input slab 4 (which keeps no deltas, so
// that link stays untrained), and 0 -> 1. Statuses vary; every array holds
// random values.
class RandomTraining : public ::testing::TestWithParam<RuleCase> {
protected:
    template <typename T>
    void Run() {
        std::mt19937 random(99 + GetParam().type * 2 + GetParam().math);
        for (int trial = 0; trial < 16; ++trial) {
            Net net(kNet, GetParam().type, GetParam().math);
            const int kinds[] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT, KORU32_SLAB_OUTPUT,
                                 KORU32_SLAB_INPUT};
            // The odd sizes 1, 3, 17, 25, 33 and 257 in turn (shorter and
            // longer than every vector and every block of 16 or 8 rows the
            // loops take at once), then random odd sizes.
            const int16_t oddSizes[] = {1, 3, 17, 25, 33, 257};
            for (int s = 0; s < 5; ++s) {
                const int16_t size = trial < 12 ? oddSizes[(trial + 2 * s + s / 3) % 6]
                                                : static_cast<int16_t>(1 + 2 * (random() % 9));
                ASSERT_EQ(Slab(net, s, size, kinds[s]), 0);
            }
            const int links[][2] = {{1, 2}, {0, 1}, {1, 3}, {1, 1}, {1, 4}};
            for (int l = 0; l < 5; ++l) ASSERT_EQ(Link(net, l, links[l][0], links[l][1]), 0);
            ASSERT_EQ(Status(net, 2, static_cast<int16_t>(1 + random() % 2)), 0);
            ASSERT_EQ(Status(net, 3, trial % 3 == 0 ? 2 : 0), 0);  // the self link now and then
            SlabOf(net, 1).transfer = static_cast<int8_t>(static_cast<int>(random() % 9) - 1);

            std::uniform_real_distribution<float> value(-1.0f, 1.0f);
            std::uniform_int_distribution<int32_t> word(-(1 << 24), 1 << 24);
            // Now and then a value that takes the rules' rarer paths: zeros
            // of both signs, NaN, infinities, tiny and huge values.
            const float specials[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                      1e-30f, -1e30f};
            const int32_t fixedSpecials[] = {0, 0, 1, -1, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max(), 1 << 24};
            const auto randomize = [&](koru::ValueArray* a, bool positive, bool special = false) {
                if (a == nullptr) return;
                for (uint32_t i = 0; i < a->count; ++i) {
                    if constexpr (std::is_same_v<T, float>) {
                        const float f = value(random);
                        a->Floats()[i] = positive ? std::fabs(f) * 0.3f : f;
                        if (special && random() % 16 == 0) a->Floats()[i] = specials[random() % 7];
                    } else {
                        const int32_t x = word(random);
                        a->Fixed()[i] = positive ? (x < 0 ? -x : x) / 3 : x;
                        if (special && random() % 16 == 0) a->Fixed()[i] = fixedSpecials[random() % 7];
                    }
                }
            };
            for (int s = 0; s < 5; ++s) {
                randomize(SlabOf(net, s).values, false);
                randomize(SlabOf(net, s).sums, false);
                randomize(SlabOf(net, s).deltas, false, true);
            }
            for (int l = 0; l < 5; ++l) {
                koru::LinkRecord& link = LinkOf(net, l);
                randomize(link.weights, false);
                randomize(link.changes, GetParam().type == KORU32_NET_BP_ADAPTIVE);  // step sizes are positive
                randomize(link.gradients, false, true);
                randomize(link.prevGradients, false, true);
                randomize(link.lastSteps, false);
            }

            RefNet<T> ref = Snapshot<T>(net, 5, 5);
            for (int call = 0; call < 4; ++call) {
                const uint16_t apply = static_cast<uint16_t>(call % 2);
                const float rate = 0.3f + 0.1f * call, momentum = 0.9f - 0.2f * call;
                ASSERT_EQ(Train(net, 1, rate, momentum, apply), 0);
                TrainSlabRef(ref, 1, rate, momentum, apply != 0);
                ExpectSameArrays(net, ref, "trial " + std::to_string(trial) + " call " + std::to_string(call));
                ASSERT_EQ(Train(net, 0, rate, momentum, apply), 0);
                TrainSlabRef(ref, 0, rate, momentum, apply != 0);
                ExpectSameArrays(net, ref, "trial " + std::to_string(trial) + " input call " + std::to_string(call));
                if (HasFailure()) return;
            }
        }
    }
};

TEST_P(RandomTraining, StorageOrderLoopsMatchTheRules) {
    if (GetParam().math == KORU32_MATH_FLOAT) Run<float>(); else Run<int32_t>();
}
INSTANTIATE_TEST_SUITE_P(EachRule, RandomTraining, ::testing::ValuesIn(kRuleCases), Name);

// ---- What each rule promises ---------------------------------------------

// Input slab 0 (2) -> hidden slab 1 (2, linear) -> output slab 2 (1, linear).
class LinearNet {
public:
    explicit LinearNet(uint16_t type, int16_t number = kNet, uint16_t math = KORU32_MATH_FLOAT)
        : net(number, type, math) {
        EXPECT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
        EXPECT_EQ(Slab(net, 1, 2, KORU32_SLAB_HIDDEN), 0);
        EXPECT_EQ(Slab(net, 2, 1, KORU32_SLAB_OUTPUT), 0);
        EXPECT_EQ(Link(net, 0, 0, 1), 0);  // range 0.5: adaptive step sizes start at 0.25
        EXPECT_EQ(Link(net, 1, 1, 2), 0);
        EXPECT_EQ(SetTransfer(net, 1, KORU32_TRANSFER_LINEAR), 0);
        EXPECT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
        EXPECT_EQ(PutWeights(net, 0, {0.5f, -0.5f, 1.0f, 2.0f, -1.0f, 0.25f}), 0);
        EXPECT_EQ(PutWeights(net, 1, {0.25f, 2.0f, -1.0f}), 0);
        EXPECT_EQ(Put(net, 0, {1.0f, 2.0f}), 0);
        EXPECT_EQ(Put(net, 1, {0.5f, 0.75f}), 0);
        EXPECT_EQ(PutDeltaValue(net, 2, 1, 0.5f), 0);
    }
    Net net;
};

TEST(BpTrainPlain, RateZeroChangesNoWeightButBackPropagates) {
    LinearNet n(KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Train(n.net, 1, 0.0f), 0);
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.25f, 2.0f, -1.0f}));
    EXPECT_EQ(Delta(n.net, 1, 1), 1.0f);    // 0.5 x 2
    EXPECT_EQ(Delta(n.net, 1, 2), -0.5f);   // 0.5 x -1; the bias row carries nothing back
}

TEST(BpTrainPlain, BiasRowInputOneAndBackPropagationThroughTheNewWeight) {
    LinearNet n(KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Train(n.net, 1, 0.5f), 0);
    // g = 0.5 x 0.5 x input: bias 0.25, neuron 1 0.125, neuron 2 0.1875.
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.5f, 2.125f, -0.8125f}));
    EXPECT_EQ(Delta(n.net, 1, 1), 1.0625f);   // 0.5 x 2.125
    EXPECT_EQ(Delta(n.net, 1, 2), -0.40625f);  // 0.5 x -0.8125
    // The input slab's call trains link 0 from those deltas and writes none.
    ASSERT_EQ(Train(n.net, 0, 1.0f), 0);
    EXPECT_EQ(GetWeights(n.net, 0, 6),
              (std::vector<float>{0.5f + 1.0625f, -0.5f - 0.40625f, 1.0f + 1.0625f, 2.0f - 0.40625f,
                                  -1.0f + 2 * 1.0625f, 0.25f - 2 * 0.40625f}));
    EXPECT_EQ(Delta(n.net, 1, 1), 1.0625f);
}

TEST(BpTrainPlain, UntrainedLinksOnlyClearTheDeltas) {
    LinearNet n(KORU32_NET_BP_PLAIN);
    ASSERT_EQ(PutDeltaValue(n.net, 1, 1, 3.0f), 0);
    ASSERT_EQ(Status(n.net, 1, KORU32_LINK_PROPAGATED), 0);
    ASSERT_EQ(Train(n.net, 1, 0.5f), 0);
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.25f, 2.0f, -1.0f}));
    EXPECT_EQ(Delta(n.net, 1, 1), 0.0f);
    ASSERT_EQ(Status(n.net, 1, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(PutDeltaValue(n.net, 1, 1, 3.0f), 0);
    ASSERT_EQ(Train(n.net, 1, 0.5f), 0);
    EXPECT_EQ(Delta(n.net, 1, 1), 0.0f);
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.25f, 2.0f, -1.0f}));
}

TEST(BpTrainPlain, OutputSlabWithoutOutgoingLinks) {
    LinearNet n(KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Train(n.net, 2, 0.5f), 0);
    EXPECT_EQ(Delta(n.net, 2, 1), 0.0f);
}

TEST(BpTrainPlain, LinkIntoAnInputSlabIsLeftAlone) {
    LinearNet n(KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Link(n.net, 2, 1, 0), 0);  // hidden -> input: the input slab has no deltas
    const auto before = GetWeights(n.net, 2, 6);
    ASSERT_EQ(Status(n.net, 1, KORU32_LINK_IGNORED), 0);
    ASSERT_EQ(PutDeltaValue(n.net, 1, 1, 3.0f), 0);
    ASSERT_EQ(Train(n.net, 1, 0.5f), 0);
    EXPECT_EQ(GetWeights(n.net, 2, 6), before);
    // No link was trained, so the cleared sums are not turned into deltas.
    EXPECT_EQ(Delta(n.net, 1, 1), 0.0f);
}

TEST(BpTrainMomentum, MomentumZeroIsThePlainRuleAndKeepsTheChange) {
    LinearNet plain(KORU32_NET_BP_PLAIN, kNet);
    LinearNet momentum(KORU32_NET_BP_MOMENTUM, kNet + 1);
    ASSERT_EQ(Train(plain.net, 1, 0.5f, 0.0f), 0);
    ASSERT_EQ(Train(momentum.net, 1, 0.5f, 0.0f), 0);
    EXPECT_EQ(GetWeights(momentum.net, 1, 3), GetWeights(plain.net, 1, 3));
    EXPECT_EQ(Change(momentum.net, 1, 0, 1), 0.25f);
    EXPECT_EQ(Change(momentum.net, 1, 1, 1), 0.125f);
    EXPECT_EQ(Change(momentum.net, 1, 2, 1), 0.1875f);
    // With momentum 0.5 the next change is g + 0.5 x the last one.
    ASSERT_EQ(Train(momentum.net, 1, 0.5f, 0.5f), 0);
    EXPECT_EQ(GetWeights(momentum.net, 1, 3), (std::vector<float>{0.875f, 2.3125f, -0.53125f}));
    EXPECT_EQ(Change(momentum.net, 1, 2, 1), 0.28125f);
    EXPECT_EQ(Delta(momentum.net, 1, 1), 0.5f * 2.3125f);
}

TEST(BpTrainBatch, AppliesTheWholeBatchOnItsLastCall) {
    LinearNet n(KORU32_NET_BP_BATCH);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Train(n.net, 1, 0.5f, 0.9f, 0), 0);
        EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.25f, 2.0f, -1.0f}));
        EXPECT_EQ(Delta(n.net, 1, 1), 1.0f);  // from the unchanged weight
    }
    EXPECT_EQ(Change(n.net, 1, 0, 1), 0.75f);
    EXPECT_EQ(Change(n.net, 1, 2, 1), 0.5625f);
    ASSERT_EQ(Train(n.net, 1, 0.5f, 0.9f, 1), 0);  // momentum plays no part
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{1.25f, 2.5f, -0.25f}));
    EXPECT_EQ(Change(n.net, 1, 0, 1), 0.0f);
    EXPECT_EQ(Change(n.net, 1, 1, 1), 0.0f);
    EXPECT_EQ(Change(n.net, 1, 2, 1), 0.0f);
    EXPECT_EQ(Delta(n.net, 1, 1), 1.25f);  // through the applied weight
}

TEST(BpTrainAdaptive, StepsGrowShrinkAndTakeTheLastStepBack) {
    LinearNet n(KORU32_NET_BP_ADAPTIVE);
    // Gradients: delta 0.5 x inputs (1, 0.5, 0.75) = 0.5, 0.25, 0.375.
    ASSERT_EQ(Train(n.net, 1, 9.0f, 9.0f, 0), 0);  // accumulate only; rate and momentum unused
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.25f, 2.0f, -1.0f}));
    EXPECT_EQ(FloatsOf(LinkOf(n.net, 1).gradients), (std::vector<float>{0.5f, 0.25f, 0.375f}));
    // No previous gradient: the p = 0 branch steps by the initial 0.25.
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(GetWeights(n.net, 1, 3), (std::vector<float>{0.5f, 2.25f, -0.75f}));
    EXPECT_EQ(FloatsOf(LinkOf(n.net, 1).prevGradients), (std::vector<float>{1.0f, 0.5f, 0.75f}));
    EXPECT_EQ(FloatsOf(LinkOf(n.net, 1).gradients), (std::vector<float>{0.0f, 0.0f, 0.0f}));
    // Same sign again: the step grows by 1.2.
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    const float grown = static_cast<float>(0.25 * 1.2);
    EXPECT_EQ(Change(n.net, 1, 0, 1), grown);
    EXPECT_EQ(Weight(n.net, 1, 0, 1), 0.5f + grown);
    EXPECT_EQ(FloatsOf(LinkOf(n.net, 1).lastSteps)[0], grown);
    // The gradient turns: the step halves and the last one is taken back.
    ASSERT_EQ(PutDeltaValue(n.net, 2, 1, -0.5f), 0);
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(Change(n.net, 1, 0, 1), grown * 0.5f);
    EXPECT_EQ(Weight(n.net, 1, 0, 1), 0.5f);
    EXPECT_FLOAT_EQ(Weight(n.net, 1, 1, 1), 2.25f);
    EXPECT_EQ(FloatsOf(LinkOf(n.net, 1).prevGradients), (std::vector<float>{0.0f, 0.0f, 0.0f}));
    // Next: the p = 0 branch, a step of the halved size against the gradient.
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(Change(n.net, 1, 0, 1), grown * 0.5f);
    EXPECT_EQ(Weight(n.net, 1, 0, 1), 0.5f - grown * 0.5f);
}

// Step sizes grow to at most 1 and halve to at least 1e-6 (16 units in 8.24).
TEST(BpTrainAdaptive, StepSizesStayWithinTheirLimits) {
    for (uint16_t math : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
        LinearNet n(KORU32_NET_BP_ADAPTIVE, kNet, math);
        const bool fixed = math == KORU32_MATH_FIXED;
        const auto step = [&] { return fixed ? double(FixedOf(LinkOf(n.net, 1).changes)[0]) : Change(n.net, 1, 0, 1); };
        const double top = fixed ? 1 << 24 : 1.0, bottom = fixed ? 16 : double(1e-6f);
        for (int i = 0; i < 40; ++i) {
            ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
            EXPECT_LE(step(), top);
        }
        EXPECT_EQ(step(), top);
        for (int i = 0; i < 60; ++i) {
            ASSERT_EQ(PutDeltaValue(n.net, 2, 1, i % 2 == 0 ? -0.5f : 0.5f), 0);
            ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);  // turn: halve
            ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);  // p = 0: no change of size
            EXPECT_GE(step(), bottom);
        }
        EXPECT_EQ(step(), bottom);
    }
}

TEST(BpTrainAdaptive, AfterInitLinkStepsStayZeroUntilATurn) {
    LinearNet n(KORU32_NET_BP_ADAPTIVE);
    int16_t net = n.net, link = 1;
    float range = 0.5f;
    ASSERT_EQ(InitLink(&net, &link, &range), 0);
    const auto weights = GetWeights(n.net, 1, 3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(GetWeights(n.net, 1, 3), weights);
    EXPECT_EQ(Change(n.net, 1, 0, 1), 0.0f);
    ASSERT_EQ(PutDeltaValue(n.net, 2, 1, -0.5f), 0);
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(Change(n.net, 1, 0, 1), 1e-6f);
    EXPECT_EQ(GetWeights(n.net, 1, 3), weights);  // the step taken back was 0
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(Weight(n.net, 1, 0, 1), weights[0] - 1e-6f);
}

TEST(BpTrainAdaptive, FixedPointTakesTheStepBackExactly) {
    LinearNet n(KORU32_NET_BP_ADAPTIVE, kNet, KORU32_MATH_FIXED);
    const auto before = FixedOf(LinkOf(n.net, 1).weights);
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    const auto stepped = FixedOf(LinkOf(n.net, 1).weights);
    EXPECT_EQ(stepped[0], before[0] + (1 << 22));  // 0.25, the initial step
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    const int32_t grown = RefMul(1 << 22, 0x1333333);
    EXPECT_EQ(FixedOf(LinkOf(n.net, 1).changes)[0], grown);
    EXPECT_EQ(FixedOf(LinkOf(n.net, 1).weights)[0], stepped[0] + grown);
    ASSERT_EQ(PutDeltaValue(n.net, 2, 1, -0.5f), 0);
    ASSERT_EQ(Train(n.net, 1, 0.0f, 0.0f, 1), 0);
    EXPECT_EQ(FixedOf(LinkOf(n.net, 1).weights), stepped);
    EXPECT_EQ(FixedOf(LinkOf(n.net, 1).changes)[0], RefMul(grown, 0x800000));
}

}  // namespace
