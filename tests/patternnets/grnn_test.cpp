// General regression nets through their exports: the worked estimates of both
// variants, the denominator in double precision and code 38, unit counts and
// re-presentation, odd counts and layouts, and the fit of a smooth function.
// What they share with probabilistic nets is in pattern_net_common_test.cpp.
#include <gtest/gtest.h>

#include <numbers>

#include <cmath>

#include "core/portable_math.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

constexpr uint16_t kDistance = KORU32_NET_GRNN_DISTANCE;
constexpr uint16_t kCityBlock = KORU32_NET_GRNN_CITY_BLOCK;

float ExpAsFloat(double x) { return static_cast<float>(koru::Exp(x)); }

class Grnn : public PatternNetTest {
protected:
    void SetUp() override { use_ = GrnnExports(); }
};

// ---------------------------------------------------------------------------
// Worked estimates

TEST_F(Grnn, DistanceVariantWorkedExample) {
    // sigma 1; (0, 0) -> 1 and (1, 1) -> 3; input (0, 0): squared distances 0
    // and 2, activations 1 and exp(-1), estimate (1 + 3 e^-1) / (1 + e^-1).
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 3, 1);
    StoreOne(net, {0, 0}, {1});
    StoreOne(net, {1, 1}, {3});
    const float k2 = ExpAsFloat(-1.0);
    EXPECT_EQ(Activations(net, {0, 0}, 1.0f, 3), (std::vector<float>{1.0f, k2, 0.0f}));
    EXPECT_NEAR(k2, 0.3678795, 1e-7);

    const std::vector<float> y = Outputs(net, {0, 0}, 1.0f, 1);
    EXPECT_NEAR(y[0], 1.537883, 1e-6);
    // The numerator summed in float, term by term; the denominator in double.
    const float numerator = static_cast<float>(1.0 + double{k2} * 3.0);
    const double denominator = 1.0 + double{k2};
    EXPECT_EQ(BitsOf(y[0]), BitsOf(static_cast<float>(numerator / denominator)));
}

TEST_F(Grnn, CityBlockVariantDividesBySigma) {
    // sigma 2: city-block distance 4 gives exp(-2), not exp(-1).
    const int16_t net = MakeThreeSlabNet(kCityBlock, 2, 2, 1);
    StoreOne(net, {3, -1}, {2});
    const std::vector<float> a = Activations(net, {0, 0}, 2.0f, 2);
    EXPECT_EQ(BitsOf(a[0]), BitsOf(ExpAsFloat(-2.0)));
    EXPECT_NEAR(a[0], 0.1353353, 1e-7);
    EXPECT_EQ(Propagate(net, kOutput, 2.0f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 1)[0], 2.0f);
}

TEST_F(Grnn, KernelsHaveNoExponentLimits) {
    // Squared distance 60 with sigma 1 (exponent -30) still counts, where the
    // probabilistic net's distance kernel stops at -25.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 1, 1);
    StoreOne(net, {0}, {5});
    const std::vector<float> a = Activations(net, {std::sqrt(60.0f)}, 1.0f, 1);
    EXPECT_GT(a[0], 0.0f);
    EXPECT_NEAR(a[0], std::exp(-0.5 * double{std::sqrt(60.0f)} * std::sqrt(60.0f)), 1e-18);
}

// ---------------------------------------------------------------------------
// The denominator and code 38

TEST_F(Grnn, NoDenominatorGivesCode38AndZeroOutputs) {
    // No stored pattern; every activation underflowing; and the output slab
    // propagated before any pattern slab propagation.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    Put(net, kOutput, {5, 6});
    int16_t code = 0;
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 2, &code), (std::vector<float>{0, 0}));
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Get(net, kPattern, 3), std::vector<float>(3, 0.0f));
    StoreOne(net, {0}, {3, 3});
    StoreOne(net, {1}, {4, 4});
    code = 0;
    EXPECT_EQ(Outputs(net, {1000}, 1.0f, 2, &code), (std::vector<float>{0, 0}));
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);

    const int16_t fresh = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreOne(fresh, {0}, {3});
    Put(fresh, kOutput, {9});
    EXPECT_EQ(Propagate(fresh, kOutput, 1.0f), KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Get(fresh, kOutput, 1), std::vector<float>{0.0f});
}

TEST_F(Grnn, DenominatorIsSummedInDoublePrecision) {
    // Counts 2^24 and 1 with activations 1: the double sum 2^24 + 1 is exact,
    // a float sum would lose the 1. Target rows 2^24 and 1: the numerator,
    // summed in float, is 2^24, so the estimate is 2^24 / (2^24 + 1).
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreOne(net, {0}, {16777216.0f});
    StoreOne(net, {0}, {1.0f});
    SetCounts(net, kPattern, {2, 16777216.0f, 1.0f});
    const std::vector<float> y = Outputs(net, {0}, 1.0f, 1);
    EXPECT_EQ(y[0], static_cast<float>(16777216.0 / 16777217.0));
    EXPECT_LT(y[0], 1.0f);
}

TEST_F(Grnn, OutputPropagatedTwiceGivesTheSameEstimate) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StoreOne(net, {0}, {1, -1});
    StoreOne(net, {1}, {2, -3});
    const std::vector<float> first = Outputs(net, {0.3f}, 0.5f, 2);
    EXPECT_EQ(Propagate(net, kOutput, 0.5f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 2), first);
    // A later input changes nothing until the pattern slab is propagated again.
    Put(net, kInput, {5});
    EXPECT_EQ(Propagate(net, kOutput, 0.5f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 2), first);
}

// ---------------------------------------------------------------------------
// Unit counts and re-presentation

TEST_F(Grnn, TrainingTheRowRaisesTheUnitsCount) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 1);
    StoreOne(net, {0}, {1});
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{1, 1, 0, 0}));
    // A unit taken whose row is not yet written counts 0: it weighs into the
    // numerator with its current (zero) row but not into the denominator.
    Put(net, kInput, {0});
    const std::vector<float> y{10};
    ASSERT_EQ(Evaluate(net, kOutput, y, 0), KORU32_OK);
    ASSERT_EQ(Train(net, kInput, 0), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 0, 0}));
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 1), std::vector<float>{1.0f});
    // Writing the row twice leaves count 2: the unit weighs double in the
    // denominator only: (1 + 10) / (1 + 2).
    Put(net, kOutput, y);
    ASSERT_EQ(Train(net, kPattern, 0), KORU32_OK);
    ASSERT_EQ(Train(net, kPattern, 0), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 2, 0}));
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 1), std::vector<float>{static_cast<float>(11.0 / 3.0)});
}

TEST_F(Grnn, RepresentationLowersTheCountAndTrainingRestoresIt) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StoreOne(net, {0}, {1, 2});
    StoreOne(net, {1}, {3, 4});
    Put(net, kInput, {7});
    const std::vector<float> y{5, 6};
    ASSERT_EQ(Evaluate(net, kOutput, y, 2), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), y);
    EXPECT_EQ(Weights(net, kOutputLink, 6), (std::vector<float>{1, 2, 3, 4, 0, 0}));  // row not read back
    ASSERT_EQ(Train(net, kInput, 2), KORU32_OK);
    ASSERT_EQ(Train(net, kPattern, 2), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 1, 0}));
    EXPECT_EQ(Weights(net, kInputLink, 3), (std::vector<float>{0, 7, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 6), (std::vector<float>{1, 2, 5, 6, 0, 0}));
}

// ---------------------------------------------------------------------------
// patternCount out of range, and layouts that lack an array

TEST_F(Grnn, PatternCountOutsideItsRangeStaysInsideTheArrays) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreOne(net, {0}, {2});
    StoreOne(net, {1}, {4});
    const std::vector<float> weightsBefore = Weights(net, kOutputLink, 2);

    SetCounts(net, kPattern, {-7, 1, 1});
    int16_t code = 0;
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 1, &code), std::vector<float>{0.0f});
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Train(net, kPattern, 0), KORU32_ERR_BAD_PATTERN);

    SetCounts(net, kPattern, {1000, 1, 1});
    const float k = ExpAsFloat(-0.5);
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 1),
              std::vector<float>{static_cast<float>(double{static_cast<float>(2.0 + double{k} * 4.0)} / (1.0 + k))});
    const std::vector<float> y{9};
    EXPECT_EQ(Evaluate(net, kOutput, y, 0), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Evaluate(net, kOutput, y, 3), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Train(net, kPattern, 0), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Train(net, kPattern, 3), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{1000, 1, 1}));
    EXPECT_EQ(Weights(net, kOutputLink, 2), weightsBefore);
}

TEST_F(Grnn, SlabsWithoutCountsAreRefusedWith16) {
    // Extra links: output -> input (the input slab then has an incoming link
    // but no counts) and input -> output (the output slab's second source keeps
    // no counts either).
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 2, 2);
    StoreOne(net, {1, 2}, {3, 4});
    MakeLinkOf(net, 2, kOutput, kInput);
    MakeLinkOf(net, 3, kInput, kOutput);

    Put(net, kInput, {5, 6});
    EXPECT_EQ(Propagate(net, kInput, 1.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(net, kInput, 2), (std::vector<float>{5, 6}));

    Put(net, kOutput, {7, 8});
    const std::vector<float> y{1, 1};
    EXPECT_EQ(Evaluate(net, kOutput, y, 1), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{7, 8}));
    EXPECT_EQ(Train(net, kOutput, 1), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{1, 1, 0}));
    EXPECT_EQ(Weights(net, 2, 4), std::vector<float>(4, 0.0f));
}

TEST_F(Grnn, TwoInputSlabsAddTheirDistances) {
    // A second input slab with its own link into the pattern slab: squared
    // distances add, 1 + 4 -> exp(-5/2).
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    MakeSlabOf(net, 3, 1, KORU32_SLAB_INPUT);
    MakeLinkOf(net, 2, 3, kPattern);
    StoreOne(net, {1}, {1});  // the second input slab's column stays 0
    Put(net, 3, {2});
    EXPECT_EQ(Activations(net, {0}, 1.0f, 2), (std::vector<float>{ExpAsFloat(-2.5), 0.0f}));
}

// ---------------------------------------------------------------------------
// A smooth function

TEST_F(Grnn, ReproducesASmoothFunctionAtHeldOutPoints) {
    // sin and cos sampled at 64 points over [0, 2 pi]; the held-out points lie
    // midway between samples, away from the ends where the average is one-
    // sided. With sigma about the sample spacing, the kernel average's bias is
    // about sigma^2 / 2 times the second derivative: within 0.01.
    constexpr int kSamples = 64;
    const double step = 2.0 * std::numbers::pi / (kSamples - 1);
    const int16_t net = MakeThreeSlabNet(kDistance, 1, kSamples, 2);
    for (int i = 0; i < kSamples; ++i) {
        const double x = i * step;
        StoreOne(net, {static_cast<float>(x)}, {static_cast<float>(std::sin(x)), static_cast<float>(std::cos(x))});
    }
    double worst = 0.0;
    for (int i = 8; i < kSamples - 9; ++i) {
        const double x = (i + 0.5) * step;
        const std::vector<float> y = Outputs(net, {static_cast<float>(x)}, static_cast<float>(step), 2);
        worst = std::max({worst, std::fabs(y[0] - std::sin(x)), std::fabs(y[1] - std::cos(x))});
    }
    EXPECT_LT(worst, 0.01);
    RecordProperty("worst_error_micro", static_cast<int>(worst * 1e6));
}

}  // namespace
