// What probabilistic and general regression nets share, held for both: the
// codes of the three exports in the order their checks run (a refused call
// changes nothing), and an exact match under a divisor that underflows.
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
// GoogleTest would otherwise print the parameter's bytes, padding included.
void PrintTo(const Paradigm& paradigm, std::ostream* out) { *out << paradigm.name; }

// In a case, net -2 is the net under test, -3 one of the other paradigm, -4 one not in use.
struct CodeCase { int16_t net, slab, pattern, code; };

class PatternNetCommon : public PatternNetTest, public ::testing::WithParamInterface<Paradigm> {
protected:
    void SetUp() override { grnn_ = GetParam().grnn; }
    // Unit counts live in the pattern slab of a GRNN, class counts in the output slab of a PNN.
    int16_t CountSlab() const { return GetParam().grnn ? kPattern : kOutput; }
    template <typename Call>
    void ExpectCodes(std::initializer_list<CodeCase> cases, int16_t net, Call call) {
        if (other_ < 0) other_ = MakeThreeSlabNet(GetParam().otherType, 1, 2, 2);
        const int16_t other = other_;
        int16_t unused = 0;
        while (unused == net || unused == other) ++unused;
        for (const CodeCase& c : cases) {
            const int16_t n = c.net == -2 ? net : c.net == -3 ? other : c.net == -4 ? unused : c.net;
            EXPECT_EQ(call(n, c.slab, c.pattern), c.code) << "net " << c.net << " slab " << c.slab << " pattern " << c.pattern;
        }
    }
    int16_t other_ = -1;
};

TEST_P(PatternNetCommon, ExportsCheckInOrderAndChangeNothingWhenRefused) {
    const int16_t net = MakeThreeSlabNet(GetParam().types[0], 1, 2, 2);
    // Propagate: net number, slab number, net in use, slab, paradigm, incoming links, then sigma.
    ExpectCodes({{128, 40, 0, KORU32_ERR_BAD_NET_NUMBER}, {-1, kPattern, 0, KORU32_ERR_BAD_NET_NUMBER},
                 {-4, 32, 0, KORU32_ERR_BAD_SLAB_NUMBER}, {-2, -1, 0, KORU32_ERR_BAD_SLAB_NUMBER},
                 {-4, kPattern, 0, KORU32_ERR_NET_NOT_IN_USE}, {-2, 5, 0, KORU32_ERR_NO_SLAB},
                 {-3, kPattern, 0, KORU32_ERR_WRONG_PARADIGM}, {-2, kInput, 0, KORU32_ERR_NO_INCOMING_LINKS}},
                net, [&](int16_t n, int16_t slab, int16_t) { return Propagate(n, slab, 0.0f); });
    Put(net, kPattern, {3, 4});
    Put(net, kOutput, {5, 6});
    for (float sigma : {0.0f, -0.0f, -1.0f, std::nanf("")}) {
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_ERR_BAD_SMOOTHING);
        EXPECT_EQ(Propagate(net, kOutput, sigma), KORU32_ERR_BAD_SMOOTHING);
    }
    EXPECT_EQ(Get(net, kPattern, 2), (Floats{3, 4}));
    // Evaluate: the slab's kind before the paradigm; no unit in use yet.
    ExpectCodes({{200, 40, 0, KORU32_ERR_BAD_NET_NUMBER}, {-2, 40, 0, KORU32_ERR_BAD_SLAB_NUMBER},
                 {-2, 9, 0, KORU32_ERR_NO_SLAB}, {-3, kPattern, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
                 {-3, kOutput, 0, KORU32_ERR_WRONG_PARADIGM}, {-2, kInput, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
                 {-2, kPattern, 0, KORU32_ERR_NOT_OUTPUT_SLAB}, {-2, kOutput, 1, KORU32_ERR_BAD_PATTERN},
                 {-2, kOutput, -1, KORU32_ERR_BAD_PATTERN}},
                net, [&](int16_t n, int16_t slab, int16_t pattern) { return Evaluate(n, slab, {1, 0}, pattern); });
    // Train: pattern 0 with no unit in use names unit 0.
    ExpectCodes({{-5, 0, 0, KORU32_ERR_BAD_NET_NUMBER}, {128, 0, 0, KORU32_ERR_BAD_NET_NUMBER},
                 {-2, 32, 0, KORU32_ERR_BAD_SLAB_NUMBER}, {-2, -3, 0, KORU32_ERR_BAD_SLAB_NUMBER},
                 {-2, 3, 0, KORU32_ERR_NO_SLAB}, {-3, kInput, 0, KORU32_ERR_WRONG_PARADIGM},
                 {-2, kInput, 0, KORU32_ERR_BAD_PATTERN}, {-2, kPattern, 0, KORU32_ERR_BAD_PATTERN},
                 {-2, kInput, 1, KORU32_ERR_BAD_PATTERN}},
                net, [&](int16_t n, int16_t slab, int16_t pattern) { return Train(n, slab, pattern); });
    EXPECT_EQ(Counts(net, CountSlab(), 2), (Floats{0, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), (Floats{5, 6}));
    EXPECT_EQ(Weights(net, kInputLink, 2), (Floats{0, 0}));

    StoreOne(net, {1}, {1, 0});
    StoreOne(net, {2}, {0, 1});
    Put(net, kOutput, {0.25f, 0.5f});
    for (int16_t pattern : {0, 3, -2}) {  // 0: the net is full
        EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, pattern), KORU32_ERR_BAD_PATTERN) << pattern;
        if (pattern == 0) continue;
        EXPECT_EQ(Train(net, kInput, pattern), KORU32_ERR_BAD_PATTERN) << pattern;
        EXPECT_EQ(Train(net, kPattern, pattern), KORU32_ERR_BAD_PATTERN) << pattern;
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

TEST_P(PatternNetCommon, EveryVariantExactlyMatchesUnderAnUnderflowingDivisorAndKeepsNoChanges) {
    // 1e-30 squared is 0 in single precision; the GRNN city-block kernel
    // divides by sigma itself, so it gets the smallest float above zero.
    for (uint16_t type : GetParam().types) {
        SCOPED_TRACE(type);
        const float sigma = type == KORU32_NET_GRNN_CITY_BLOCK ? 1e-45f : 1e-30f;
        const bool dot = type == KORU32_NET_PNN_DOT;
        const int16_t net = MakeThreeSlabNet(type, 2, 2, 1), link = kInputLink;
        StoreOne(net, {1, dot ? 0.0f : 2.0f}, {4});
        if (!dot) StoreOne(net, {1, 3}, {8});
        EXPECT_EQ(Activations(net, {1, dot ? 0.0f : 2.0f}, sigma, 2), (Floats{1.0f, 0.0f}));
        if (GetParam().grnn) { EXPECT_EQ(Outputs(net, {1, 2}, sigma, 1)[0], 4.0f); }
        Floats changes(2);
        EXPECT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_ERR_WRONG_PARADIGM);
    }
}

INSTANTIATE_TEST_SUITE_P(BothParadigms, PatternNetCommon,
                         ::testing::Values(Paradigm{"Pnn", {KORU32_NET_PNN_DISTANCE, KORU32_NET_PNN_DOT, KORU32_NET_PNN_CITY_BLOCK},
                                                    KORU32_NET_GRNN_DISTANCE, false},
                                           Paradigm{"Grnn", {KORU32_NET_GRNN_DISTANCE, KORU32_NET_GRNN_CITY_BLOCK},
                                                    KORU32_NET_PNN_DISTANCE, true}),
                         [](const ::testing::TestParamInfo<Paradigm>& info) { return info.param.name; });

}  // namespace
