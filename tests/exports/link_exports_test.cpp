// Links: shapes with and without the bias row, weight addressing, random
// weights, the change arrays of each rule, limits and removal.
#include <cmath>
#include <cstdio>

#include "net_fixture.h"

namespace koru_test {
namespace {

using LinkExports = NetTest;

// The weight formula, written out: the runtime generator of the Windows C
// library, scaled by 1/32767 as a single-precision constant.
struct ExpectedWeights {
    uint32_t seed;
    double range;  // width of the interval: twice the caller's range
    float Next() {
        seed = seed * 214013u + 2531011u;
        const double r = (seed >> 16) & 0x7FFF;
        const double step = static_cast<float>(1.0 / 32767.0);
        return static_cast<float>((r * step - 0.5) * range);
    }
};

int16_t Weight(int16_t net, int16_t link, int16_t s, int16_t d, float& out) {
    return GetWeight(&net, &link, &s, &d, &out);
}

TEST_F(LinkExports, BackpropagationLinksHaveABiasRowFirst) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(1, 3, 2));
    std::vector<float> weights(8);
    for (int i = 0; i < 8; ++i) weights[i] = 10.0f + i;
    const int16_t net = 0, link = 0;
    ASSERT_EQ(PutLink(&net, &link, weights.data()), KORU32_OK);
    float w = 0;
    ASSERT_EQ(Weight(0, 0, 0, 1, w), KORU32_OK);
    EXPECT_EQ(w, 10.0f);  // the bias of destination neuron 1
    ASSERT_EQ(Weight(0, 0, 3, 2, w), KORU32_OK);
    EXPECT_EQ(w, 17.0f);
    ASSERT_EQ(Weight(0, 0, 1, 2, w), KORU32_OK);
    EXPECT_EQ(w, 13.0f);
    w = -1;
    EXPECT_EQ(Weight(0, 0, 4, 1, w), KORU32_ERR_BAD_SOURCE_NEURON);
    EXPECT_EQ(Weight(0, 0, -1, 1, w), KORU32_ERR_BAD_SOURCE_NEURON);
    EXPECT_EQ(Weight(0, 0, 0, 3, w), KORU32_ERR_BAD_DEST_NEURON);
    EXPECT_EQ(Weight(0, 0, 99, 0, w), KORU32_ERR_BAD_DEST_NEURON);  // destination first
    EXPECT_EQ(w, -1.0f);
}

TEST_F(LinkExports, OtherParadigmsHaveNoBiasRow) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(4, 3, 2));
    std::vector<float> weights = {1, 2, 3, 4, 5, 6};
    const int16_t net = 0, link = 0, s = 2, d = 1;
    ASSERT_EQ(PutLink(&net, &link, weights.data()), KORU32_OK);
    float w = 0;
    EXPECT_EQ(Weight(0, 0, 0, 1, w), KORU32_ERR_BAD_SOURCE_NEURON);
    ASSERT_EQ(Weight(0, 0, 3, 2, w), KORU32_OK);
    EXPECT_EQ(w, 6.0f);
    const float value = -8.0f;
    ASSERT_EQ(PutWeight(&net, &link, &s, &d, &value), KORU32_OK);
    EXPECT_EQ(Weights(0, 0, 6), (std::vector<float>{1, 2, -8, 4, 5, 6}));
}

TEST_F(LinkExports, RandomWeightsFollowTheSeededFormulaWithinTheRange) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 20, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 30, 1), KORU32_OK);
    ASSERT_EQ(Seed(-1), KORU32_OK);
    ASSERT_EQ(Link(0, 0, -0.5f, 0, 1), KORU32_OK);
    const std::vector<float> weights = Weights(0, 0, 21 * 30);
    ExpectedWeights expected{4294967295u, 1.0};
    for (float w : weights) {
        ASSERT_EQ(w, expected.Next());
        ASSERT_LE(std::fabs(w), 0.5f);
    }
    // The same seed repeats the weights; InitLink draws the next ones.
    ASSERT_EQ(Seed(-1), KORU32_OK);
    const int16_t net = 0, link = 0;
    const float range = 0.5f;
    ASSERT_EQ(InitLink(&net, &link, &range), KORU32_OK);
    EXPECT_EQ(Weights(0, 0, 21 * 30), weights);
}

TEST_F(LinkExports, FixedPointNetsDrawTheSameWeightsRoundedToEightTwentyFour) {
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 2, 1), KORU32_OK);
    ASSERT_EQ(Seed(7), KORU32_OK);
    ASSERT_EQ(Link(0, 0, 2.0f, 0, 1), KORU32_OK);
    // Each weight is the same double as in float32, written with the 8.24
    // rule (add one half, truncate toward zero) instead of single rounding.
    uint32_t seed = 7;
    for (float w : Weights(0, 0, 6)) {
        seed = seed * 214013u + 2531011u;
        const double r = (seed >> 16) & 0x7FFF;
        const double value = (r * static_cast<double>(static_cast<float>(1.0 / 32767.0)) - 0.5) * 4.0;
        const auto element = static_cast<int32_t>(static_cast<int64_t>(value * 16777216.0 + 0.5));
        EXPECT_EQ(w, static_cast<float>(element / 16777216.0));
        EXPECT_LE(std::fabs(w), 2.0f);
    }
}

TEST_F(LinkExports, ZeroRangeGivesZeroWeightsAndPatternNetsStartAtZero) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(1, 2, 2, 0.0f, 0, KORU32_SLAB_HIDDEN));
    EXPECT_EQ(Weights(0, 0, 6), std::vector<float>(6, 0.0f));
    for (uint16_t type : {6, 7, 8, 9, 10}) {
        ASSERT_EQ(Net(1, type), KORU32_OK);
        ASSERT_EQ(Slab(1, 0, 3, 0), KORU32_OK);
        ASSERT_EQ(Slab(1, 1, 4, 1), KORU32_OK);
        ASSERT_EQ(Link(1, 0, 1.0f, 0, 1), KORU32_OK);
        EXPECT_EQ(Weights(1, 0, 12), std::vector<float>(12, 0.0f)) << type;
        const int16_t net = 1, link = 0;
        const float range = 1.0f;
        ASSERT_EQ(InitLink(&net, &link, &range), KORU32_OK);
        EXPECT_NE(Weights(1, 0, 12), std::vector<float>(12, 0.0f)) << type;
        ASSERT_EQ(Kill(1), KORU32_OK);
    }
}

TEST_F(LinkExports, ChangeArraysBelongToTheMomentumBatchAndAdaptiveRules) {
    for (uint16_t type : {1, 2, 3, 11, 4, 6}) {
        ASSERT_EQ(Net(0, type), KORU32_OK);
        ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
        ASSERT_EQ(Slab(0, 1, 1, 2), KORU32_OK);
        ASSERT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_OK);
        const int16_t net = 0, link = 0, s = 1, d = 1;
        float changes[3] = {-1, -1, -1};
        float change = -1;
        const bool keepsChanges = type == 2 || type == 3 || type == 11;
        const int16_t expected = keepsChanges ? KORU32_OK : KORU32_ERR_WRONG_PARADIGM;
        EXPECT_EQ(GetLinkChanges(&net, &link, changes), expected) << type;
        EXPECT_EQ(PutLinkChanges(&net, &link, changes), expected) << type;
        EXPECT_EQ(GetChange(&net, &link, &s, &d, &change), expected) << type;
        EXPECT_EQ(PutChange(&net, &link, &s, &d, &change), expected) << type;
        ASSERT_EQ(Kill(0), KORU32_OK);
    }
}

TEST_F(LinkExports, AdaptiveStepSizesStartAtAQuarterOfTheRangeUntilInitLink) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(11, 2, 2));
    const int16_t net = 0, link = 0;
    std::vector<float> changes(6, -1.0f);
    ASSERT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_OK);
    EXPECT_EQ(changes, std::vector<float>(6, 0.25f));
    const float range = 0.5f;
    ASSERT_EQ(InitLink(&net, &link, &range), KORU32_OK);
    ASSERT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_OK);
    EXPECT_EQ(changes, std::vector<float>(6, 0.0f));
}

TEST_F(LinkExports, ChangesAreAddressedLikeWeightsWithTheBiasRow) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(2, 2, 3));
    const int16_t net = 0, link = 0, bias = 0, last = 2, dest = 3, outside = 3, zero = 0;
    const float value = 1.5f;
    ASSERT_EQ(PutChange(&net, &link, &bias, &dest, &value), KORU32_OK);
    ASSERT_EQ(PutChange(&net, &link, &last, &dest, &value), KORU32_OK);
    EXPECT_EQ(PutChange(&net, &link, &outside, &dest, &value), KORU32_ERR_BAD_SOURCE_NEURON);
    EXPECT_EQ(PutChange(&net, &link, &bias, &zero, &value), KORU32_ERR_BAD_DEST_NEURON);
    std::vector<float> changes(9, -1.0f);
    ASSERT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_OK);
    EXPECT_EQ(changes, (std::vector<float>{0, 0, 1.5f, 0, 0, 0, 0, 0, 1.5f}));
}

TEST_F(LinkExports, DotProductLvqLinksGetUnitLengthColumns) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(5, 4, 3, 1.0f));
    const std::vector<float> w = Weights(0, 0, 12);
    for (int unit = 0; unit < 3; ++unit) {
        double length = 0;
        for (int row = 0; row < 4; ++row) length += double(w[row * 3 + unit]) * w[row * 3 + unit];
        EXPECT_NEAR(std::sqrt(length), 1.0, 1e-6) << unit;
    }
    // The source slab served as scratch and holds the last unit's column.
    EXPECT_EQ(Values(0, 0, 4), (std::vector<float>{w[2], w[5], w[8], w[11]}));
}

TEST_F(LinkExports, MakeLinkChecksTheLinkNumberFirstThenTheSlabsThenUse) {
    EXPECT_EQ(Link(-5, 32, 0.5f, 0, 1), KORU32_ERR_BAD_LINK_NUMBER);
    EXPECT_EQ(Link(-5, 0, 0.5f, 0, 1), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_ERR_NET_NOT_IN_USE);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
    EXPECT_EQ(Link(0, 0, 0.5f, 0, 40), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Link(0, 0, 0.5f, 1, 0), KORU32_ERR_NO_SLAB);
    ASSERT_EQ(Slab(0, 1, 2, 2), KORU32_OK);
    ASSERT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_OK);
    EXPECT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_ERR_LINK_EXISTS);
    EXPECT_EQ(Link(0, 1, 0.5f, 0, 0), KORU32_OK);  // a slab may feed itself
}

TEST_F(LinkExports, ASlabTakesEightLinksEachWayAndRefusesANinthUntouched) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    for (int16_t slab = 0; slab < 10; ++slab) ASSERT_EQ(Slab(0, slab, 2, 1), KORU32_OK);
    for (int16_t link = 0; link < 8; ++link) ASSERT_EQ(Link(0, link, 0.5f, link + 1, 0), KORU32_OK);
    EXPECT_EQ(Link(0, 8, 0.5f, 9, 0), KORU32_ERR_TOO_MANY_LINKS);
    float w = 0;
    EXPECT_EQ(Weight(0, 8, 0, 1, w), KORU32_ERR_NO_LINK);  // the link stayed free
    // Slab 9 took no outgoing link from the refusal: it can still feed eight.
    for (int16_t link = 8; link < 16; ++link) ASSERT_EQ(Link(0, link, 0.5f, 9, link - 7), KORU32_OK);
    EXPECT_EQ(Link(0, 16, 0.5f, 9, 1), KORU32_ERR_TOO_MANY_LINKS);
}

// The weight range outlives MakeLink: the shell import draws its links with
// it and starts the adaptive rule's step sizes at a quarter of it. A
// MakeLink refused for a full slab leaves it as it was.
TEST_F(LinkExports, ARefusedMakeLinkLeavesTheWeightRangeAsItWas) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 1, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 1, 2), KORU32_OK);
    for (int16_t link = 0; link < 8; ++link) ASSERT_EQ(Link(0, link, 1.0f, 0, 1), KORU32_OK);  // range 2.0
    EXPECT_EQ(Link(0, 8, 3.0f, 0, 1), KORU32_ERR_TOO_MANY_LINKS);

    // A shell of 2, 2, 2 units (all values 0) imported into an adaptive net:
    // its step sizes tell the weight range, 2.0 x 0.25.
    const char* path = "weight_range_test.shl";
    const unsigned char header[6] = {2, 0, 2, 0, 2, 0};
    const std::vector<unsigned char> body(2 * (4 + 8 * 2) * 2, 0);
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(header, 1, sizeof header, file);
    std::fwrite(body.data(), 1, body.size(), file);
    std::fclose(file);
    ASSERT_EQ(Net(1, 11), KORU32_OK);
    const int16_t net = 1, link = 0;
    ASSERT_EQ(LoadShell(&net, path), KORU32_OK);
    std::remove(path);
    std::vector<float> changes(2, -1.0f);
    ASSERT_EQ(GetLinkChanges(&net, &link, changes.data()), KORU32_OK);
    EXPECT_EQ(changes, std::vector<float>(2, 0.5f));
}

TEST_F(LinkExports, KilledLinksAreGoneAndTheirSlabsFree) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(3, 2, 2, 0.5f, 4));
    const int16_t net = 0, link = 4, missing = 5, badLink = 32;
    EXPECT_EQ(KillLink(&net, &missing), KORU32_ERR_NO_LINK);
    EXPECT_EQ(KillLink(&net, &badLink), KORU32_ERR_BAD_LINK_NUMBER);
    ASSERT_EQ(KillLink(&net, &link), KORU32_OK);
    EXPECT_EQ(KillLink(&net, &link), KORU32_ERR_NO_LINK);
    EXPECT_EQ(Link(0, 4, 0.5f, 0, 1), KORU32_OK);
}

TEST_F(LinkExports, StatusBelongsToBackpropagationAndChecksItsRange) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Net(1, 4), KORU32_OK);
    for (int16_t net : {0, 1}) {
        ASSERT_EQ(Slab(net, 0, 2, 0), KORU32_OK);
        ASSERT_EQ(Slab(net, 1, 2, 2), KORU32_OK);
        ASSERT_EQ(Link(net, 0, 0.5f, 0, 1), KORU32_OK);
    }
    const int16_t bp = 0, lvq = 1, link = 0, three = 3, negative = -1, one = 1;
    EXPECT_EQ(SetStatus(&bp, &link, &three), KORU32_ERR_BAD_CODE);
    EXPECT_EQ(SetStatus(&bp, &link, &negative), KORU32_ERR_BAD_CODE);
    EXPECT_EQ(SetStatus(&bp, &link, &one), KORU32_OK);
    EXPECT_EQ(SetStatus(&lvq, &link, &three), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(SetStatus(&lvq, &link, &one), KORU32_ERR_WRONG_PARADIGM);
}

}  // namespace
}  // namespace koru_test
