// What probabilistic and general regression nets share, held for both: the
// codes of the three exports in the order their checks run (a refused call
// changes nothing), an exact match under a divisor that underflows, and nets
// made in the fixed-point math mode.
#include <cmath>

#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

struct Paradigm {
    const char* name;
    std::vector<uint16_t> types;  // the plain distance variant first
    uint16_t otherType;           // a net of the other paradigm
    bool grnn;
};

class PatternNetCommon : public PatternNetTest, public ::testing::WithParamInterface<Paradigm> {
protected:
    void SetUp() override { use_ = GetParam().grnn ? GrnnExports() : PnnExports(); }
    // Unit counts live in the pattern slab of a GRNN, class counts in the output slab of a PNN.
    int16_t CountSlab() const { return GetParam().grnn ? kPattern : kOutput; }
    int16_t MakeNets(int16_t& other) {
        other = MakeThreeSlabNet(GetParam().otherType, 1, 2, 2);
        return MakeThreeSlabNet(GetParam().types[0], 1, 2, 2);
    }
};

struct CodeCase {
    const char* label;
    int16_t net, slab, pattern;  // net: -2 the net under test, -3 one of the other paradigm
    int16_t code;
};

TEST_P(PatternNetCommon, PropagateChecksInOrder) {
    int16_t other = 0;
    const int16_t net = MakeNets(other);
    int16_t unused = 0;
    while (unused == net || unused == other) ++unused;
    const CodeCase cases[] = {
        {"net 128 before slab 40", 128, 40, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"net -1", -1, kPattern, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"slab before net in use", unused, 32, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"slab -1", -2, -1, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"net not in use", unused, kPattern, 0, KORU32_ERR_NET_NOT_IN_USE},
        {"no slab", -2, 5, 0, KORU32_ERR_NO_SLAB},
        {"other paradigm", -3, kPattern, 0, KORU32_ERR_WRONG_PARADIGM},
        {"links before sigma", -2, kInput, 0, KORU32_ERR_NO_INCOMING_LINKS},
    };
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Propagate(c.net == -2 ? net : c.net == -3 ? other : c.net, c.slab, 0.0f), c.code);
    }
    Put(net, kPattern, {3, 4});
    Put(net, kOutput, {5, 6});
    for (float sigma : {0.0f, -0.0f, -1.0f, std::nanf("")}) {
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_ERR_BAD_SMOOTHING);
        EXPECT_EQ(Propagate(net, kOutput, sigma), KORU32_ERR_BAD_SMOOTHING);
    }
    EXPECT_EQ(Get(net, kPattern, 2), (Floats{3, 4}));
    EXPECT_EQ(Get(net, kOutput, 2), (Floats{5, 6}));
    EXPECT_EQ(Propagate(net, kPattern, 1.0f), KORU32_OK);
}

TEST_P(PatternNetCommon, EvaluateAndTrainCheckInOrderAndChangeNothingWhenRefused) {
    int16_t other = 0;
    const int16_t net = MakeNets(other);
    const CodeCase evaluateCases[] = {
        {"net 200 before slab 40", 200, 40, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"slab 40", -2, 40, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"no slab", -2, 9, 0, KORU32_ERR_NO_SLAB},
        {"the kind before the paradigm", -3, kPattern, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
        {"other paradigm", -3, kOutput, 0, KORU32_ERR_WRONG_PARADIGM},
        {"input slab", -2, kInput, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
        {"pattern slab", -2, kPattern, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
        {"no unit in use yet", -2, kOutput, 1, KORU32_ERR_BAD_PATTERN},
        {"pattern -1", -2, kOutput, -1, KORU32_ERR_BAD_PATTERN},
    };
    for (const CodeCase& c : evaluateCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Evaluate(c.net == -2 ? net : c.net == -3 ? other : c.net, c.slab, {1, 0}, c.pattern), c.code);
    }
    const CodeCase trainCases[] = {
        {"net -5", -5, 0, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"net 128", 128, 0, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"slab 32", -2, 32, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"slab -3", -2, -3, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"no slab", -2, 3, 0, KORU32_ERR_NO_SLAB},
        {"other paradigm", -3, kInput, 0, KORU32_ERR_WRONG_PARADIGM},
        {"pattern 0 names no unit yet", -2, kInput, 0, KORU32_ERR_BAD_PATTERN},
        {"pattern 0 on the pattern slab", -2, kPattern, 0, KORU32_ERR_BAD_PATTERN},
        {"pattern 1", -2, kInput, 1, KORU32_ERR_BAD_PATTERN},
    };
    Put(net, kInput, {5});
    for (const CodeCase& c : trainCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Train(c.net == -2 ? net : c.net == -3 ? other : c.net, c.slab, c.pattern), c.code);
    }
    EXPECT_EQ(Counts(net, CountSlab(), 2), (Floats{0, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), (Floats{0, 0}));
    EXPECT_EQ(Weights(net, kInputLink, 2), (Floats{0, 0}));

    StoreOne(net, {1}, {1, 0});
    StoreOne(net, {2}, {0, 1});
    Put(net, kOutput, {0.25f, 0.5f});
    for (int16_t pattern : {0, 3, -2}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, pattern), KORU32_ERR_BAD_PATTERN);  // 0: the net is full
        if (pattern == 0) continue;
        EXPECT_EQ(Train(net, kInput, pattern), KORU32_ERR_BAD_PATTERN);
        EXPECT_EQ(Train(net, kPattern, pattern), KORU32_ERR_BAD_PATTERN);
    }
    EXPECT_EQ(Counts(net, CountSlab(), 2), (Floats{2, 1, 1}));
    EXPECT_EQ(Get(net, kOutput, 2), (Floats{0.25f, 0.5f}));
    EXPECT_EQ(Weights(net, kInputLink, 2), (Floats{1, 2}));
    EXPECT_EQ(Weights(net, kOutputLink, 4), (Floats{1, 0, 0, 1}));
    EXPECT_EQ(Train(net, kOutput, 1), KORU32_OK);  // no outgoing links: nothing to do

    // An output slab without an incoming link has no capacity.
    const int16_t bare = MakeEmptyNet(GetParam().types[0]);
    MakeSlabOf(bare, kOutput, 2, KORU32_SLAB_OUTPUT);
    MakeSlabOf(bare, kPattern, 2, KORU32_SLAB_HIDDEN);
    EXPECT_EQ(Evaluate(bare, kOutput, {1, 0}, 0), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Counts(bare, CountSlab(), 2)[0], 0.0f);
}

TEST_P(PatternNetCommon, LinksOfEveryVariantKeepNoChanges) {
    for (uint16_t type : GetParam().types) {
        const int16_t net = MakeThreeSlabNet(type, 1, 2, 1), link = kInputLink;
        Floats changes(2, -1.0f);
        EXPECT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_ERR_WRONG_PARADIGM) << "type " << type;
    }
}

TEST_P(PatternNetCommon, ExactMatchStaysOneWhenTheDivisorUnderflows) {
    // 1e-30 squared is 0 in single precision; the GRNN city-block kernel
    // divides by sigma itself, so it gets the smallest float above zero.
    for (uint16_t type : GetParam().types) {
        SCOPED_TRACE(type);
        const float sigma = type == KORU32_NET_GRNN_CITY_BLOCK ? 1e-45f : 1e-30f;
        const bool dot = type == KORU32_NET_PNN_DOT;
        const int16_t net = MakeThreeSlabNet(type, 2, 2, 1);
        StoreOne(net, {1, dot ? 0.0f : 2.0f}, {4});
        if (!dot) StoreOne(net, {1, 3}, {8});
        EXPECT_EQ(Activations(net, {1, dot ? 0.0f : 2.0f}, sigma, 2), (Floats{1.0f, 0.0f}));
        if (GetParam().grnn) EXPECT_EQ(Outputs(net, {1, 2}, sigma, 1)[0], 4.0f);
    }
}

TEST_P(PatternNetCommon, NetMadeInFixedPointModeAnswersAsInFloatMode) {
    const std::vector<Floats> xs{{0.1f, -2.7f}, {150.0f, 0.35f}, {-0.6f, 1.9f}};
    const std::vector<Floats> ys{{1.5f, -300.0f}, {0.001f, 2}, {7, 8}};
    for (uint16_t type : GetParam().types) {
        SCOPED_TRACE(type);
        int16_t nets[2];
        for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            ASSERT_EQ(SetMath(&mode), KORU32_OK);
            nets[mode] = MakeThreeSlabNet(type, 2, 4, 2);
            for (size_t i = 0; i < xs.size(); ++i) StoreOne(nets[mode], xs[i], ys[i]);
        }
        // Values beyond the 8.24 range, and ones it would round, come back whole.
        EXPECT_EQ(Weights(nets[1], kInputLink, 8)[1], 150.0f);
        EXPECT_EQ(Weights(nets[1], kOutputLink, 8)[1], -300.0f);
        for (const Floats& x : {Floats{0.2f, -2.5f}, Floats{149.0f, 1.0f}}) {
            EXPECT_EQ(Activations(nets[1], x, 0.8f, 4), Activations(nets[0], x, 0.8f, 4));
            EXPECT_EQ(Outputs(nets[1], x, 0.8f, 2), Outputs(nets[0], x, 0.8f, 2));
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
