// General regression nets through their exports: the kernels' own terms, the
// denominator in double precision and code 38. What they share with
// probabilistic nets is in pattern_net_common_test.cpp; the sums' bits on
// random data are in pattern_sums_reference_test.cpp.
#include <cmath>

#include "core/portable_math.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

constexpr uint16_t kDistance = KORU32_NET_GRNN_DISTANCE;

float ExpAsFloat(double x) { return static_cast<float>(koru::Exp(x)); }

struct Grnn : PatternNetTest {
    void SetUp() override { grnn_ = true; }
};

TEST_F(Grnn, KernelsHaveNoLimitAndTheCityBlockOneDividesBySigma) {
    // Squared distance 60 (exponent -30) still counts, unlike in the PNN.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 1, 1);
    StoreOne(net, {0}, {5});
    const float root = std::sqrt(60.0f);
    EXPECT_EQ(Activations(net, {root}, 1.0f, 1)[0], ExpAsFloat(-double{root * root} / 2.0));
    // City block, sigma 2: distance 4 gives e^-2, not e^-1.
    const int16_t city = MakeThreeSlabNet(KORU32_NET_GRNN_CITY_BLOCK, 2, 1, 1);
    StoreOne(city, {3, -1}, {2});
    EXPECT_EQ(BitsOf(Activations(city, {0, 0}, 2.0f, 1)[0]), BitsOf(ExpAsFloat(-2.0)));
}

TEST_F(Grnn, NoDenominatorGivesCode38AndZeroOutputs) {
    // No stored pattern; every activation underflowing; and the output slab
    // propagated before any pattern slab propagation.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    Put(net, kOutput, {5, 6});
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 2, KORU32_ERR_ZERO_DENOMINATOR), (Floats{0, 0}));
    StoreOne(net, {0}, {3, 3});
    EXPECT_EQ(Outputs(net, {1000}, 1.0f, 2, KORU32_ERR_ZERO_DENOMINATOR), (Floats{0, 0}));
    const int16_t fresh = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreOne(fresh, {0}, {3});
    Put(fresh, kOutput, {9});
    EXPECT_EQ(Propagate(fresh, kOutput, 1.0f), KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Get(fresh, kOutput, 1), Floats{0.0f});
}

TEST_F(Grnn, DenominatorIsSummedInDoublePrecisionAndKeptForTheOutputSlab) {
    // Counts 2^24 and 1 with activations 1: a float sum would lose the 1.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreOne(net, {0}, {16777216.0f});
    StoreOne(net, {0}, {1.0f});
    SetCounts(net, kPattern, {2, 16777216.0f, 1.0f});
    const Floats first = Outputs(net, {0}, 1.0f, 1);
    EXPECT_EQ(first[0], static_cast<float>(16777216.0 / 16777217.0));
    // A later input changes nothing until the pattern slab is propagated again.
    Put(net, kInput, {5});
    EXPECT_EQ(Propagate(net, kOutput, 1.0f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 1), first);
}

TEST_F(Grnn, SlabsWithoutCountsAreRefusedAndLeftAlone) {
    // Only the pattern slab keeps unit counts. A link from the output slab
    // back to the input slab gives the output slab a row to train, which it
    // must refuse; so must the input slab, now fed, when propagated.
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 2, 2);
    StoreOne(net, {1, 2}, {3, 4});
    MakeLinkOf(net, 2, kOutput, kInput);
    Put(net, kInput, {5, 6});
    EXPECT_EQ(Propagate(net, kInput, 1.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(net, kInput, 2), (Floats{5, 6}));
    Put(net, kOutput, {7, 8});
    EXPECT_EQ(Train(net, kOutput, 1), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Weights(net, 2, 4), Floats(4, 0.0f));
    EXPECT_EQ(Counts(net, kPattern, 2), (Floats{1, 1, 0}));
}

}  // namespace
