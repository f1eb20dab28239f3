// What probabilistic and general regression nets share, held for both: every
// code of the three exports in its order (a refused call changes nothing), an
// exact match under a divisor that underflows, an output slab without links,
// and nets made in the fixed-point math mode.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

struct Paradigm {
    const char* name;
    std::vector<uint16_t> types;  // the plain distance variant first
    uint16_t otherType;           // a net of the other paradigm
    bool grnn;
    uint16_t type() const { return types[0]; }
};

void PrintTo(const Paradigm& paradigm, std::ostream* out) { *out << paradigm.name; }

class PatternNetCommon : public PatternNetTest, public ::testing::WithParamInterface<Paradigm> {
protected:
    void SetUp() override { use_ = GetParam().grnn ? GrnnExports() : PnnExports(); }
    // Unit counts live in the pattern slab of a GRNN, class counts in the output slab of a PNN.
    int16_t CountSlab() const { return GetParam().grnn ? kPattern : kOutput; }
};

TEST_P(PatternNetCommon, PropagateChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(GetParam().type(), 2, 2, 1);
    const int16_t other = MakeThreeSlabNet(GetParam().otherType, 2, 2, 1);
    int16_t unused = 0;
    while (unused == net || unused == other) ++unused;

    EXPECT_EQ(Propagate(128, 40, 0.0f), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Propagate(-1, kPattern, 1.0f), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Propagate(unused, 32, 0.0f), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Propagate(net, -1, 1.0f), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Propagate(unused, kPattern, 0.0f), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(Propagate(net, 5, 0.0f), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Propagate(other, kPattern, 0.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Propagate(net, kInput, 0.0f), KORU32_ERR_NO_INCOMING_LINKS);  // before sigma
    for (float sigma : {0.0f, -0.0f, -1.0f, std::nanf("")}) {
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_ERR_BAD_SMOOTHING);
        EXPECT_EQ(Propagate(net, kOutput, sigma), KORU32_ERR_BAD_SMOOTHING);
    }
    Put(net, kPattern, {3, 4});
    Put(net, kOutput, {5});
    EXPECT_EQ(Propagate(net, kOutput, -1.0f), KORU32_ERR_BAD_SMOOTHING);
    EXPECT_EQ(Propagate(net, kPattern, -1.0f), KORU32_ERR_BAD_SMOOTHING);
    EXPECT_EQ(Get(net, kPattern, 2), (std::vector<float>{3, 4}));
    EXPECT_EQ(Get(net, kOutput, 1), std::vector<float>{5});
    EXPECT_EQ(Propagate(net, kPattern, 1.0f), KORU32_OK);
}

TEST_P(PatternNetCommon, EvaluateChecksInOrderAndAFullNetTakesNoUnit) {
    const int16_t net = MakeThreeSlabNet(GetParam().type(), 1, 2, 2);
    const int16_t other = MakeThreeSlabNet(GetParam().otherType, 1, 2, 2);
    const std::vector<float> t{1, 0};
    EXPECT_EQ(Evaluate(200, 40, t, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Evaluate(net, 40, t, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Evaluate(net, 9, t, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Evaluate(other, kPattern, t, 0), KORU32_ERR_NOT_OUTPUT_SLAB);  // the kind before the paradigm
    EXPECT_EQ(Evaluate(other, kOutput, t, 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Evaluate(net, kInput, t, 0), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(Evaluate(net, kPattern, t, 0), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(Evaluate(net, kOutput, t, 1), KORU32_ERR_BAD_PATTERN);  // no unit in use yet
    EXPECT_EQ(Evaluate(net, kOutput, t, -1), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, CountSlab(), 2), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{0, 0}));

    StoreOne(net, {1}, {1, 0});
    StoreOne(net, {2}, {0, 1});
    Put(net, kOutput, {0.25f, 0.5f});
    for (int16_t pattern : {0, 3, -2}) EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, pattern), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, CountSlab(), 2), (std::vector<float>{2, 1, 1}));
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{0.25f, 0.5f}));
}

TEST_P(PatternNetCommon, TrainChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(GetParam().type(), 1, 2, 2);
    const int16_t other = MakeThreeSlabNet(GetParam().otherType, 1, 2, 2);
    EXPECT_EQ(Train(-5, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Train(128, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Train(net, 32, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Train(net, -3, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Train(net, 3, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Train(other, kInput, 0), KORU32_ERR_WRONG_PARADIGM);
    // Pattern 0 while no unit is in use names unit 0, refused before the arrays.
    Put(net, kInput, {5});
    Put(net, kOutput, {3, 3});
    EXPECT_EQ(Train(net, kInput, 0), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Train(net, kPattern, 0), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Train(net, kInput, 1), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Weights(net, kInputLink, 2), (std::vector<float>{0, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 4), std::vector<float>(4, 0.0f));
    EXPECT_EQ(Counts(net, CountSlab(), 2)[0], 0.0f);

    StoreOne(net, {1}, {1, 0});
    for (int16_t pattern : {2, -1}) {
        EXPECT_EQ(Train(net, kInput, pattern), KORU32_ERR_BAD_PATTERN);
        EXPECT_EQ(Train(net, kPattern, pattern), KORU32_ERR_BAD_PATTERN);
    }
    EXPECT_EQ(Weights(net, kInputLink, 2), (std::vector<float>{1, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 4), (std::vector<float>{1, 0, 0, 0}));
    EXPECT_EQ(Train(net, kOutput, 1), KORU32_OK);  // no outgoing links: nothing to do
    EXPECT_EQ(Counts(net, CountSlab(), 2), (std::vector<float>{1, 1, 0}));
}

TEST_P(PatternNetCommon, OutputSlabWithoutIncomingLinkHasNoCapacity) {
    const int16_t net = MakeEmptyNet(GetParam().type());
    MakeSlabOf(net, kOutput, 2, KORU32_SLAB_OUTPUT);
    MakeSlabOf(net, kPattern, 2, KORU32_SLAB_HIDDEN);
    EXPECT_EQ(Evaluate(net, kOutput, {1, 0}, 0), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Counts(net, CountSlab(), 2)[0], 0.0f);
}

TEST_P(PatternNetCommon, ExactMatchStaysOneWhenTheDivisorUnderflows) {
    // 1e-30 squared is 0 in single precision; the GRNN city-block kernel
    // divides by sigma itself, so it gets the smallest float above zero.
    for (uint16_t type : GetParam().types) {
        const float sigma = type == KORU32_NET_GRNN_CITY_BLOCK ? 1e-45f : 1e-30f;
        if (type == KORU32_NET_PNN_DOT) {
            const int16_t net = MakeThreeSlabNet(type, 2, 1, 1);
            StoreOne(net, {1, 0}, {1});
            EXPECT_EQ(Activations(net, {1, 0}, sigma, 1)[0], 1.0f);
            continue;
        }
        const int16_t net = MakeThreeSlabNet(type, 2, 2, 1);
        StoreOne(net, {1, 2}, {4});
        StoreOne(net, {1, 3}, {8});
        EXPECT_EQ(Activations(net, {1, 2}, sigma, 2), (std::vector<float>{1.0f, 0.0f})) << "type " << type;
        if (GetParam().grnn) {
            EXPECT_EQ(Outputs(net, {1, 2}, sigma, 1)[0], 4.0f) << "type " << type;
        }
    }
}

TEST_P(PatternNetCommon, NetMadeInFixedPointModeAnswersAsInFloatMode) {
    const std::vector<std::vector<float>> xs{{0.1f, -2.7f}, {150.0f, 0.35f}, {-0.6f, 1.9f}};
    const std::vector<std::vector<float>> ys{{1.5f, -300.0f}, {0.001f, 2}, {7, 8}};
    for (uint16_t type : GetParam().types) {
        int16_t nets[2];
        for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            ASSERT_EQ(SetMath(&mode), KORU32_OK);
            nets[mode] = MakeThreeSlabNet(type, 2, 4, 2);
            for (size_t i = 0; i < xs.size(); ++i) StoreOne(nets[mode], xs[i], ys[i]);
        }
        // Values beyond the 8.24 range, and ones it would round, come back whole.
        EXPECT_EQ(Weights(nets[1], kInputLink, 8), Weights(nets[0], kInputLink, 8));
        EXPECT_EQ(Weights(nets[1], kInputLink, 8)[1], 150.0f);
        EXPECT_EQ(Weights(nets[1], kOutputLink, 8)[1], -300.0f);
        for (const std::vector<float>& x : {std::vector<float>{0.2f, -2.5f}, std::vector<float>{149.0f, 1.0f}}) {
            EXPECT_EQ(Activations(nets[1], x, 0.8f, 4), Activations(nets[0], x, 0.8f, 4)) << "type " << type;
            EXPECT_EQ(Outputs(nets[1], x, 0.8f, 2), Outputs(nets[0], x, 0.8f, 2)) << "type " << type;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothParadigms, PatternNetCommon,
                         ::testing::Values(Paradigm{"Pnn", {KORU32_NET_PNN_DISTANCE, KORU32_NET_PNN_DOT, KORU32_NET_PNN_CITY_BLOCK},
                                                    KORU32_NET_GRNN_DISTANCE, false},
                                           Paradigm{"Grnn", {KORU32_NET_GRNN_DISTANCE, KORU32_NET_GRNN_CITY_BLOCK},
                                                    KORU32_NET_PNN_DISTANCE, true}),
                         [](const ::testing::TestParamInfo<Paradigm>& info) { return info.param.name; });

}  // namespace
