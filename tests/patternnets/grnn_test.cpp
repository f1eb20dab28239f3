// General regression nets through their exports: the worked estimates of both
// variants, the denominator in double precision and code 38, unit counts and
// re-presentation, every code in its order, odd counts and layouts, nets made
// in the fixed-point math mode, and the fit of a smooth function.
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
    void StoreGrnn(int16_t net, const std::vector<float>& x, const std::vector<float>& y) {
        Store(net, GrnnEvaluate, GrnnTrain, x, y);
    }
    std::vector<float> Activations(int16_t net, const std::vector<float>& x, float sigma, size_t units) {
        Put(net, kInput, x);
        const int16_t pattern = kPattern;
        EXPECT_EQ(GrnnPropagate(&net, &pattern, &sigma), KORU32_OK);
        return Get(net, kPattern, units);
    }
    std::vector<float> Estimate(int16_t net, const std::vector<float>& x, float sigma, size_t outputs,
                                int16_t* code = nullptr) {
        return Recall(net, GrnnPropagate, x, sigma, outputs, code);
    }
    int16_t PropagateOutput(int16_t net, float sigma) {
        const int16_t output = kOutput;
        return GrnnPropagate(&net, &output, &sigma);
    }
};

// ---------------------------------------------------------------------------
// Worked estimates

TEST_F(Grnn, DistanceVariantWorkedExample) {
    // sigma 1; (0, 0) -> 1 and (1, 1) -> 3; input (0, 0): squared distances 0
    // and 2, activations 1 and exp(-1), estimate (1 + 3 e^-1) / (1 + e^-1).
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 3, 1);
    StoreGrnn(net, {0, 0}, {1});
    StoreGrnn(net, {1, 1}, {3});
    const float k2 = ExpAsFloat(-1.0);
    EXPECT_EQ(Activations(net, {0, 0}, 1.0f, 3), (std::vector<float>{1.0f, k2, 0.0f}));
    EXPECT_NEAR(k2, 0.3678795, 1e-7);

    const std::vector<float> y = Estimate(net, {0, 0}, 1.0f, 1);
    EXPECT_NEAR(y[0], 1.537883, 1e-6);
    // The numerator summed in float, term by term; the denominator in double.
    const float numerator = static_cast<float>(1.0 + double{k2} * 3.0);
    const double denominator = 1.0 + double{k2};
    EXPECT_EQ(Bits(y[0]), Bits(static_cast<float>(numerator / denominator)));
}

TEST_F(Grnn, CityBlockVariantDividesBySigma) {
    // sigma 2: city-block distance 4 gives exp(-2), not exp(-1).
    const int16_t net = MakeThreeSlabNet(kCityBlock, 2, 2, 1);
    StoreGrnn(net, {3, -1}, {2});
    const std::vector<float> a = Activations(net, {0, 0}, 2.0f, 2);
    EXPECT_EQ(Bits(a[0]), Bits(ExpAsFloat(-2.0)));
    EXPECT_NEAR(a[0], 0.1353353, 1e-7);
    EXPECT_EQ(PropagateOutput(net, 2.0f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 1)[0], static_cast<float>(double{static_cast<float>(double{a[0]} * 2.0)} / a[0]));
}

TEST_F(Grnn, KernelsHaveNoExponentLimits) {
    // Squared distance 60 with sigma 1 (exponent -30) still counts, where the
    // probabilistic net's distance kernel stops at -25.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 1, 1);
    StoreGrnn(net, {0}, {5});
    const std::vector<float> a = Activations(net, {std::sqrt(60.0f)}, 1.0f, 1);
    EXPECT_GT(a[0], 0.0f);
    EXPECT_NEAR(a[0], std::exp(-0.5 * double{std::sqrt(60.0f)} * std::sqrt(60.0f)), 1e-18);
}

TEST_F(Grnn, ExactMatchStaysOneWhenTheDivisorUnderflows) {
    for (uint16_t type : {kDistance, kCityBlock}) {
        const int16_t net = MakeThreeSlabNet(type, 1, 2, 1);
        StoreGrnn(net, {1}, {4});
        StoreGrnn(net, {2}, {8});
        // 1e-30 squared is 0 in single precision; the city-block kernel divides
        // by sigma itself, here the smallest float above zero.
        const float sigma = type == kDistance ? 1e-30f : 1e-45f;
        EXPECT_EQ(Activations(net, {1}, sigma, 2), (std::vector<float>{1.0f, 0.0f})) << "type " << type;
        EXPECT_EQ(PropagateOutput(net, sigma), KORU32_OK);
        EXPECT_EQ(Get(net, kOutput, 1)[0], 4.0f);
    }
}

// ---------------------------------------------------------------------------
// The denominator and code 38

TEST_F(Grnn, NoStoredPatternGivesCode38AndZeroOutputs) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 3, 2);
    Put(net, kOutput, {5, 6});
    int16_t code = 0;
    EXPECT_EQ(Estimate(net, {0, 0}, 1.0f, 2, &code), (std::vector<float>{0, 0}));
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Get(net, kPattern, 3), std::vector<float>(3, 0.0f));
}

TEST_F(Grnn, OutputBeforeAnyPatternPropagationGivesCode38) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreGrnn(net, {0}, {3});
    Put(net, kOutput, {9});
    EXPECT_EQ(PropagateOutput(net, 1.0f), KORU32_ERR_ZERO_DENOMINATOR);
    EXPECT_EQ(Get(net, kOutput, 1), std::vector<float>{0.0f});
}

TEST_F(Grnn, EveryActivationUnderflowingGivesCode38) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreGrnn(net, {0}, {3});
    StoreGrnn(net, {1}, {4});
    int16_t code = 0;
    EXPECT_EQ(Estimate(net, {1000}, 1.0f, 1, &code), std::vector<float>{0.0f});
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);
}

TEST_F(Grnn, DenominatorIsSummedInDoublePrecision) {
    // Counts 2^24 and 1 with activations 1: the double sum 2^24 + 1 is exact,
    // a float sum would lose the 1. Target rows 2^24 and 1: the numerator,
    // summed in float, is 2^24, so the estimate is 2^24 / (2^24 + 1).
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreGrnn(net, {0}, {16777216.0f});
    StoreGrnn(net, {0}, {1.0f});
    SetCounts(net, kPattern, {2, 16777216.0f, 1.0f});
    const std::vector<float> y = Estimate(net, {0}, 1.0f, 1);
    EXPECT_EQ(y[0], static_cast<float>(16777216.0 / 16777217.0));
    EXPECT_LT(y[0], 1.0f);
}

TEST_F(Grnn, OutputPropagatedTwiceGivesTheSameEstimate) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StoreGrnn(net, {0}, {1, -1});
    StoreGrnn(net, {1}, {2, -3});
    const std::vector<float> first = Estimate(net, {0.3f}, 0.5f, 2);
    EXPECT_EQ(PropagateOutput(net, 0.5f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 2), first);
    // A later input changes nothing until the pattern slab is propagated again.
    Put(net, kInput, {5});
    EXPECT_EQ(PropagateOutput(net, 0.5f), KORU32_OK);
    EXPECT_EQ(Get(net, kOutput, 2), first);
}

// ---------------------------------------------------------------------------
// Unit counts and re-presentation

TEST_F(Grnn, TrainingTheRowRaisesTheUnitsCount) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 1);
    StoreGrnn(net, {0}, {1});
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{1, 1, 0, 0}));
    // A unit taken whose row is not yet written counts 0: it weighs into the
    // numerator with its current (zero) row but not into the denominator.
    Put(net, kInput, {0});
    const int16_t output = kOutput, input = kInput, pattern = kPattern, zero = 0;
    const std::vector<float> y{10};
    ASSERT_EQ(GrnnEvaluate(&net, &output, y.data(), &zero), KORU32_OK);
    ASSERT_EQ(GrnnTrain(&net, &input, &zero), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 0, 0}));
    EXPECT_EQ(Estimate(net, {0}, 1.0f, 1), std::vector<float>{1.0f});
    // Writing the row twice leaves count 2: the unit weighs double in the
    // denominator only: (1 + 10) / (1 + 2).
    Put(net, kOutput, y);
    ASSERT_EQ(GrnnTrain(&net, &pattern, &zero), KORU32_OK);
    ASSERT_EQ(GrnnTrain(&net, &pattern, &zero), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 2, 0}));
    EXPECT_EQ(Estimate(net, {0}, 1.0f, 1), std::vector<float>{static_cast<float>(11.0 / 3.0)});
}

TEST_F(Grnn, RepresentationLowersTheCountAndTrainingRestoresIt) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StoreGrnn(net, {0}, {1, 2});
    StoreGrnn(net, {1}, {3, 4});
    Put(net, kInput, {7});
    const int16_t output = kOutput, input = kInput, pattern = kPattern, two = 2;
    const std::vector<float> y{5, 6};
    ASSERT_EQ(GrnnEvaluate(&net, &output, y.data(), &two), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), y);
    EXPECT_EQ(Weights(net, kOutputLink, 6), (std::vector<float>{1, 2, 3, 4, 0, 0}));  // row not read back
    ASSERT_EQ(GrnnTrain(&net, &input, &two), KORU32_OK);
    ASSERT_EQ(GrnnTrain(&net, &pattern, &two), KORU32_OK);
    EXPECT_EQ(Counts(net, kPattern, 3), (std::vector<float>{2, 1, 1, 0}));
    EXPECT_EQ(Weights(net, kInputLink, 3), (std::vector<float>{0, 7, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 6), (std::vector<float>{1, 2, 5, 6, 0, 0}));
}

// ---------------------------------------------------------------------------
// Codes and their order; a failed call changes nothing

TEST_F(Grnn, PropagateChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    const int16_t pnn = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 1);
    int16_t unused = 0;
    while (unused == net || unused == pnn) ++unused;
    auto call = [](int16_t n, int16_t s, float sigma) { return GrnnPropagate(&n, &s, &sigma); };
    EXPECT_EQ(call(128, 32, 0.0f), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(unused, 32, 0.0f), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(unused, kPattern, 0.0f), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(call(net, 7, 0.0f), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(pnn, kPattern, 0.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(call(net, kInput, 0.0f), KORU32_ERR_NO_INCOMING_LINKS);
    for (float sigma : {0.0f, -0.0f, -2.0f, std::nanf("")}) {
        EXPECT_EQ(call(net, kPattern, sigma), KORU32_ERR_BAD_SMOOTHING);
        EXPECT_EQ(call(net, kOutput, sigma), KORU32_ERR_BAD_SMOOTHING);
    }
    Put(net, kOutput, {4});
    EXPECT_EQ(call(net, kOutput, -1.0f), KORU32_ERR_BAD_SMOOTHING);
    EXPECT_EQ(Get(net, kOutput, 1), std::vector<float>{4});
}

TEST_F(Grnn, EvaluateChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    const int16_t pnn = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 1);
    const std::vector<float> y{1};
    auto call = [&](int16_t n, int16_t s, int16_t p) { return GrnnEvaluate(&n, &s, y.data(), &p); };
    EXPECT_EQ(call(-1, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(net, 99, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(net, 3, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(pnn, kInput, 0), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(call(pnn, kOutput, 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(call(net, kPattern, 0), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(call(net, kOutput, 1), KORU32_ERR_BAD_PATTERN);

    StoreGrnn(net, {1}, {1});
    StoreGrnn(net, {2}, {2});
    Put(net, kOutput, {0.5f});
    EXPECT_EQ(call(net, kOutput, 0), KORU32_ERR_BAD_PATTERN);  // full
    EXPECT_EQ(call(net, kOutput, 3), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(call(net, kOutput, -2), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{2, 1, 1}));
    EXPECT_EQ(Get(net, kOutput, 1), std::vector<float>{0.5f});
}

TEST_F(Grnn, TrainChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    const int16_t pnn = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 1);
    auto call = [](int16_t n, int16_t s, int16_t p) { return GrnnTrain(&n, &s, &p); };
    EXPECT_EQ(call(128, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(net, -3, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(net, 4, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(pnn, kPattern, 0), KORU32_ERR_WRONG_PARADIGM);
    Put(net, kOutput, {3});
    EXPECT_EQ(call(net, kPattern, 0), KORU32_ERR_BAD_PATTERN);  // no unit in use
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 2), (std::vector<float>{0, 0}));
    StoreGrnn(net, {1}, {1});
    EXPECT_EQ(call(net, kPattern, 2), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(call(net, kOutput, 1), KORU32_OK);  // no outgoing links: nothing to do
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{1, 1, 0}));
}

// ---------------------------------------------------------------------------
// patternCount out of range, and layouts that lack an array

TEST_F(Grnn, PatternCountOutsideItsRangeStaysInsideTheArrays) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    StoreGrnn(net, {0}, {2});
    StoreGrnn(net, {1}, {4});
    const std::vector<float> weightsBefore = Weights(net, kOutputLink, 2);

    SetCounts(net, kPattern, {-7, 1, 1});
    int16_t code = 0;
    EXPECT_EQ(Estimate(net, {0}, 1.0f, 1, &code), std::vector<float>{0.0f});
    EXPECT_EQ(code, KORU32_ERR_ZERO_DENOMINATOR);
    const int16_t pattern = kPattern, output = kOutput, zero = 0, three = 3;
    EXPECT_EQ(GrnnTrain(&net, &pattern, &zero), KORU32_ERR_BAD_PATTERN);

    SetCounts(net, kPattern, {1000, 1, 1});
    const float k = ExpAsFloat(-0.5);
    EXPECT_EQ(Estimate(net, {0}, 1.0f, 1),
              std::vector<float>{static_cast<float>(double{static_cast<float>(2.0 + double{k} * 4.0)} / (1.0 + k))});
    const std::vector<float> y{9};
    EXPECT_EQ(GrnnEvaluate(&net, &output, y.data(), &zero), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(GrnnEvaluate(&net, &output, y.data(), &three), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(GrnnTrain(&net, &pattern, &zero), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(GrnnTrain(&net, &pattern, &three), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{1000, 1, 1}));
    EXPECT_EQ(Weights(net, kOutputLink, 2), weightsBefore);
}

TEST_F(Grnn, SlabsWithoutCountsAreRefusedWith16) {
    // Extra links: output -> input (the input slab then has an incoming link
    // but no counts) and input -> output (the output slab's second source keeps
    // no counts either).
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 2, 2);
    StoreGrnn(net, {1, 2}, {3, 4});
    MakeLinkOf(net, 2, kOutput, kInput);
    MakeLinkOf(net, 3, kInput, kOutput);
    const int16_t input = kInput, output = kOutput, one = 1;
    const float sigma = 1.0f;

    Put(net, kInput, {5, 6});
    EXPECT_EQ(GrnnPropagate(&net, &input, &sigma), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(net, kInput, 2), (std::vector<float>{5, 6}));

    Put(net, kOutput, {7, 8});
    const std::vector<float> y{1, 1};
    EXPECT_EQ(GrnnEvaluate(&net, &output, y.data(), &one), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{7, 8}));
    EXPECT_EQ(GrnnTrain(&net, &output, &one), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Counts(net, kPattern, 2), (std::vector<float>{1, 1, 0}));
    EXPECT_EQ(Weights(net, 2, 4), std::vector<float>(4, 0.0f));
}

TEST_F(Grnn, OutputSlabWithoutIncomingLinkHasNoCapacity) {
    const int16_t net = MakeEmptyNet(kDistance);
    MakeSlabOf(net, kOutput, 1, KORU32_SLAB_OUTPUT);
    MakeSlabOf(net, kPattern, 3, KORU32_SLAB_HIDDEN);
    const int16_t output = kOutput, zero = 0;
    const std::vector<float> y{1};
    EXPECT_EQ(GrnnEvaluate(&net, &output, y.data(), &zero), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Counts(net, kPattern, 3)[0], 0.0f);
}

TEST_F(Grnn, TwoInputSlabsAddTheirDistances) {
    // A second input slab with its own link into the pattern slab: squared
    // distances add, 1 + 4 -> exp(-5/2).
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    MakeSlabOf(net, 3, 1, KORU32_SLAB_INPUT);
    MakeLinkOf(net, 2, 3, kPattern);
    StoreGrnn(net, {1}, {1});  // the second input slab's column stays 0
    Put(net, 3, {2});
    EXPECT_EQ(Activations(net, {0}, 1.0f, 2), (std::vector<float>{ExpAsFloat(-2.5), 0.0f}));
}

// ---------------------------------------------------------------------------
// Nets made in the fixed-point math mode

TEST_F(Grnn, NetMadeInFixedPointModeAnswersAsInFloatMode) {
    const std::vector<std::vector<float>> xs{{0.1f, -2.7f}, {150.0f, 0.35f}, {-0.6f, 1.9f}};
    const std::vector<std::vector<float>> ys{{1.5f, -300.0f}, {0.001f, 2}, {7, 8}};
    for (uint16_t type : {kDistance, kCityBlock}) {
        int16_t nets[2];
        for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            ASSERT_EQ(SetMath(&mode), KORU32_OK);
            nets[mode] = MakeThreeSlabNet(type, 2, 4, 2);
            for (size_t i = 0; i < xs.size(); ++i) StoreGrnn(nets[mode], xs[i], ys[i]);
        }
        EXPECT_EQ(Weights(nets[1], kOutputLink, 8)[1], -300.0f);
        for (const std::vector<float>& x : {std::vector<float>{0.2f, -2.5f}, std::vector<float>{149.0f, 1.0f}}) {
            const std::vector<float> a = Activations(nets[0], x, 0.9f, 4);
            EXPECT_EQ(Activations(nets[1], x, 0.9f, 4), a) << "type " << type;
            const std::vector<float> y = Estimate(nets[0], x, 0.9f, 2);
            EXPECT_EQ(Estimate(nets[1], x, 0.9f, 2), y) << "type " << type;
        }
    }
}

// ---------------------------------------------------------------------------
// The whole computation against a plain reference, and a smooth function

TEST_F(Grnn, EstimatesMatchAPlainReferenceBitForBit) {
    constexpr int kInputs = 3, kUnits = 10, kUsed = 8, kOutputs = 2;
    TestRandom random(99);
    for (uint16_t type : {kDistance, kCityBlock}) {
        const int16_t net = MakeThreeSlabNet(type, kInputs, kUnits, kOutputs);
        std::vector<std::vector<float>> xs, ys;
        for (int u = 0; u < kUsed; ++u) {
            std::vector<float> x(kInputs), y(kOutputs);
            for (float& v : x) v = static_cast<float>(random.Next());
            for (float& v : y) v = static_cast<float>(random.Next() * 10);
            StoreGrnn(net, x, y);
            xs.push_back(x);
            ys.push_back(y);
        }
        std::vector<float> x(kInputs);
        for (float& v : x) v = static_cast<float>(random.Next());
        const float sigma = 0.45f, s2 = sigma * sigma;

        std::vector<float> k(kUsed);
        double denominator = 0.0;
        for (int u = 0; u < kUsed; ++u) {
            float d = 0.0f;
            for (int i = 0; i < kInputs; ++i) {
                const double diff = double{x[i]} - xs[u][i];
                d = static_cast<float>(d + (type == kCityBlock ? std::fabs(diff) : diff * diff));
            }
            k[u] = ExpAsFloat(type == kCityBlock ? -double{d} / sigma : -double{d} / (double{s2} * 2.0));
            denominator += 1.0 * k[u];
        }
        std::vector<float> expected(kOutputs, 0.0f);
        for (int j = 0; j < kOutputs; ++j) {
            for (int u = 0; u < kUsed; ++u) expected[j] = static_cast<float>(expected[j] + double{k[u]} * ys[u][j]);
            expected[j] = static_cast<float>(expected[j] / denominator);
        }
        const std::vector<float> got = Estimate(net, x, sigma, kOutputs);
        for (int j = 0; j < kOutputs; ++j) EXPECT_EQ(Bits(got[j]), Bits(expected[j])) << type << " " << j;
    }
}

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
        StoreGrnn(net, {static_cast<float>(x)}, {static_cast<float>(std::sin(x)), static_cast<float>(std::cos(x))});
    }
    double worst = 0.0;
    for (int i = 8; i < kSamples - 9; ++i) {
        const double x = (i + 0.5) * step;
        const std::vector<float> y = Estimate(net, {static_cast<float>(x)}, static_cast<float>(step), 2);
        worst = std::max({worst, std::fabs(y[0] - std::sin(x)), std::fabs(y[1] - std::cos(x))});
    }
    EXPECT_LT(worst, 0.01);
    RecordProperty("worst_error_micro", static_cast<int>(worst * 1e6));
}

}  // namespace
