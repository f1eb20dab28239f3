// Probabilistic nets through their exports: the kernels of the three variants
// and their limits, class scores and counts, re-presentation, every code in its
// order, the limits that keep odd counts inside the arrays, nets made in the
// fixed-point math mode, and classification of real and generated data.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "core/portable_math.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

constexpr uint16_t kDistance = KORU32_NET_PNN_DISTANCE;
constexpr uint16_t kDot = KORU32_NET_PNN_DOT;
constexpr uint16_t kCityBlock = KORU32_NET_PNN_CITY_BLOCK;

float ExpAsFloat(double x) { return static_cast<float>(koru::Exp(x)); }

class Pnn : public PatternNetTest {
protected:
    void StorePnn(int16_t net, const std::vector<float>& x, const std::vector<float>& classes) {
        Store(net, PnnEvaluate, PnnTrain, x, classes);
    }
    std::vector<float> Activations(int16_t net, const std::vector<float>& x, float sigma, size_t units) {
        Put(net, kInput, x);
        const int16_t pattern = kPattern;
        EXPECT_EQ(PnnPropagate(&net, &pattern, &sigma), KORU32_OK);
        return Get(net, kPattern, units);
    }
    std::vector<float> Scores(int16_t net, const std::vector<float>& x, float sigma, size_t classes) {
        return Recall(net, PnnPropagate, x, sigma, classes);
    }
};

// ---------------------------------------------------------------------------
// Kernels and their limits

TEST_F(Pnn, DistanceKernelIsCutBelowExponentMinus25) {
    // sigma 1: squared distances 2, 51 and 50 give exponents -1, -25.5, -25.
    const int16_t net = MakeThreeSlabNet(kDistance, 3, 4, 1);
    StorePnn(net, {1, 1, 0}, {1});
    StorePnn(net, {5, 5, 1}, {1});
    StorePnn(net, {5, 5, 0}, {1});
    const std::vector<float> a = Activations(net, {0, 0, 0}, 1.0f, 4);
    EXPECT_EQ(Bits(a[0]), Bits(ExpAsFloat(-1.0)));
    EXPECT_NEAR(a[0], 0.36788, 1e-5);
    EXPECT_EQ(Bits(a[1]), Bits(0.0f));
    EXPECT_EQ(Bits(a[2]), Bits(ExpAsFloat(-25.0)));
    EXPECT_NEAR(a[2], std::exp(-25.0), 1e-17);
    EXPECT_EQ(Bits(a[3]), Bits(0.0f));  // unit 4 is not in use
}

TEST_F(Pnn, DistanceKernelDividesByTwiceSigmaSquaredHeldInSinglePrecision) {
    // sigma 0.1: sigma^2 is the float product 0.1f * 0.1f, not 0.01. A squared
    // distance of 0.02 (stored (0.1, 0.1), input 0) gives about exp(-1).
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 1, 1);
    StorePnn(net, {0.1f, 0.1f}, {1});
    const float sigma = 0.1f;
    const float s2 = sigma * sigma;
    const float d2 = static_cast<float>(static_cast<float>(double{0.1f} * 0.1f) + double{0.1f} * 0.1f);
    const std::vector<float> a = Activations(net, {0, 0}, sigma, 1);
    EXPECT_EQ(Bits(a[0]), Bits(ExpAsFloat(-double{d2} / (double{s2} * 2.0))));
    EXPECT_NEAR(a[0], std::exp(-1.0), 1e-6);
}

TEST_F(Pnn, DotKernelIsCappedAboveExponent25) {
    // sigma 1: z = 1 gives exp(0); z = 26 gives exp(25) uncapped; z = 30
    // (exponent 29) gives the cap.
    const int16_t net = MakeThreeSlabNet(kDot, 3, 3, 1);
    StorePnn(net, {1, 0, 0}, {1});
    StorePnn(net, {0, 5, 1}, {1});
    StorePnn(net, {0, 5, 5}, {1});
    std::vector<float> a = Activations(net, {1, 0, 0}, 1.0f, 3);
    EXPECT_EQ(a[0], 1.0f);
    a = Activations(net, {0, 5, 1}, 1.0f, 3);
    EXPECT_EQ(Bits(a[1]), Bits(ExpAsFloat(25.0)));
    EXPECT_GT(a[1], 71999995904.0f);  // e^25 lies just above the cap
    a = Activations(net, {0, 3, 3}, 1.0f, 3);
    EXPECT_EQ(Bits(a[2]), 0x51861C46u);
    EXPECT_EQ(a[2], 71999995904.0f);
    // Exponents below zero are not limited: z = -30 gives exp(-31).
    a = Activations(net, {0, -3, -3}, 1.0f, 3);
    EXPECT_EQ(Bits(a[2]), Bits(ExpAsFloat(-31.0)));
    EXPECT_GT(a[2], 0.0f);
}

TEST_F(Pnn, CityBlockKernelDividesBySigmaSquared) {
    // sigma 2: a city-block distance of 4 gives exp(-4 / 4); one of 120 gives
    // exp(-30), with no lower limit.
    const int16_t net = MakeThreeSlabNet(kCityBlock, 3, 2, 1);
    StorePnn(net, {2, -1, 1}, {1});
    StorePnn(net, {40, 40, -40}, {1});
    const std::vector<float> a = Activations(net, {0, 0, 0}, 2.0f, 2);
    EXPECT_EQ(Bits(a[0]), Bits(ExpAsFloat(-1.0)));
    EXPECT_EQ(Bits(a[1]), Bits(ExpAsFloat(-30.0)));
    EXPECT_GT(a[1], 0.0f);
}

TEST_F(Pnn, ExactMatchStaysOneWhenSigmaSquaredUnderflows) {
    // sigma 1e-30 is above zero, but its square is 0 in single precision. An
    // exact match keeps activation 1 (not 0 / 0), any other pattern gets 0.
    for (uint16_t type : {kDistance, kCityBlock}) {
        const int16_t net = MakeThreeSlabNet(type, 2, 2, 1);
        StorePnn(net, {1, 2}, {1});
        StorePnn(net, {1, 3}, {1});
        const std::vector<float> a = Activations(net, {1, 2}, 1e-30f, 2);
        EXPECT_EQ(a[0], 1.0f) << "type " << type;
        EXPECT_EQ(a[1], 0.0f) << "type " << type;
    }
    const int16_t net = MakeThreeSlabNet(kDot, 2, 1, 1);
    StorePnn(net, {1, 0}, {1});
    EXPECT_EQ(Activations(net, {1, 0}, 1e-30f, 1)[0], 1.0f);
}

// ---------------------------------------------------------------------------
// Class scores and counts

TEST_F(Pnn, ScoresAreWeighedActivationsOverClassCounts) {
    // Three patterns of class A, one of class B, far apart against sigma.
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 6, 2);
    StorePnn(net, {0, 0}, {1, 0});
    StorePnn(net, {0, 1}, {1, 0});
    StorePnn(net, {1, 0}, {1, 0});
    StorePnn(net, {10, 10}, {0, 1});
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{4, 3, 1}));

    EXPECT_EQ(Scores(net, {10, 10}, 0.5f, 2), (std::vector<float>{0.0f, 1.0f}));
    // At (0, 0) with sigma 1: activations 1, exp(-1/2), exp(-1/2); class A
    // scores their float sum over 3, class B gets exp(-100) -> below the limit.
    const float half = ExpAsFloat(-0.5);
    const float sumA = static_cast<float>(static_cast<float>(1.0 + half) + double{half});
    EXPECT_EQ(Scores(net, {0, 0}, 1.0f, 2), (std::vector<float>{sumA / 3.0f, 0.0f}));
}

TEST_F(Pnn, NoStoredPatternGivesZeroEverywhere) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 3, 2);
    EXPECT_EQ(Activations(net, {0, 0}, 1.0f, 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(Scores(net, {0, 0}, 1.0f, 2), std::vector<float>(2, 0.0f));
}

TEST_F(Pnn, ClassWithoutUnitsScoresZero) {
    // The class vector (1, 0, 0) leaves classes 2 and 3 with count 0.
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 3);
    StorePnn(net, {0}, {1, 0, 0});
    SetCounts(net, kOutput, {1, 1, 0, 2});
    // Class 2's count is zero although a target row names it: still 0.
    const int16_t link = kOutputLink, unit = 1, cls = 2;
    const float one = 1.0f;
    ASSERT_EQ(PutWeight(&net, &link, &unit, &cls, &one), KORU32_OK);
    EXPECT_EQ(Scores(net, {0}, 1.0f, 3), (std::vector<float>{1.0f, 0.0f, 0.0f}));
}

TEST_F(Pnn, TargetWithTwoClassesCountsInBoth) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 3);
    StorePnn(net, {0}, {1, 0, -0.5f});
    EXPECT_EQ(Counts(net, kOutput, 3), (std::vector<float>{1, 1, 0, 1}));
}

TEST_F(Pnn, RepresentationMovesTheCountsAndTrainingReplacesTheUnit) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 4, 2);
    StorePnn(net, {0, 0}, {1, 0});
    StorePnn(net, {1, 1}, {1, 0});
    StorePnn(net, {2, 2}, {0, 1});
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{3, 2, 1}));

    // Unit 2 (class A) re-presented as class B.
    Put(net, kInput, {5, 6});
    const int16_t output = kOutput, input = kInput, pattern = kPattern, unit = 2;
    const std::vector<float> classB{0, 1};
    ASSERT_EQ(PnnEvaluate(&net, &output, classB.data(), &unit), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{3, 1, 2}));
    EXPECT_EQ(Get(net, kOutput, 2), classB);
    ASSERT_EQ(PnnTrain(&net, &input, &unit), KORU32_OK);
    ASSERT_EQ(PnnTrain(&net, &pattern, &unit), KORU32_OK);
    // Column 2 of the input link and row 2 of the output link hold the new unit.
    EXPECT_EQ(Weights(net, kInputLink, 8), (std::vector<float>{0, 5, 2, 0, 0, 6, 2, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 8), (std::vector<float>{1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(Counts(net, kOutput, 2)[0], 3.0f);  // training changes no count
}

TEST_F(Pnn, TrainingWithPatternZeroWritesTheLastUnitTaken) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 1);
    StorePnn(net, {7}, {1});
    StorePnn(net, {8}, {1});
    Put(net, kInput, {9});
    const int16_t input = kInput, zero = 0;
    ASSERT_EQ(PnnTrain(&net, &input, &zero), KORU32_OK);
    EXPECT_EQ(Weights(net, kInputLink, 3), (std::vector<float>{7, 9, 0}));
}

// ---------------------------------------------------------------------------
// Codes and their order; a failed call changes nothing

TEST_F(Pnn, PropagateChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 2, 1);
    const int16_t backprop = MakeEmptyNet(KORU32_NET_BP_PLAIN);
    MakeSlabOf(backprop, 0, 2, KORU32_SLAB_INPUT);
    MakeSlabOf(backprop, 1, 2, KORU32_SLAB_OUTPUT);
    MakeLinkOf(backprop, 0, 0, 1);
    int16_t unused = 0;
    while (unused == net || unused == backprop) ++unused;
    const float good = 1.0f, zero = 0.0f;
    auto call = [](int16_t n, int16_t s, float sigma) { return PnnPropagate(&n, &s, &sigma); };

    EXPECT_EQ(call(128, 40, zero), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(-1, kPattern, good), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(unused, 32, zero), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(net, -1, good), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(unused, kPattern, zero), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(call(net, 5, zero), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(backprop, 1, zero), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(call(net, kInput, zero), KORU32_ERR_NO_INCOMING_LINKS);  // before sigma
    for (float sigma : {0.0f, -0.0f, -1.0f, std::nanf("")}) {
        EXPECT_EQ(call(net, kPattern, sigma), KORU32_ERR_BAD_SMOOTHING);
        EXPECT_EQ(call(net, kOutput, sigma), KORU32_ERR_BAD_SMOOTHING);  // the output slab too
    }
    EXPECT_EQ(call(net, kPattern, good), KORU32_OK);

    // A refused call leaves the values as they were.
    Put(net, kPattern, {3, 4});
    EXPECT_EQ(call(net, kPattern, -1.0f), KORU32_ERR_BAD_SMOOTHING);
    EXPECT_EQ(Get(net, kPattern, 2), (std::vector<float>{3, 4}));
}

TEST_F(Pnn, EvaluateChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 2);
    const int16_t grnn = MakeThreeSlabNet(KORU32_NET_GRNN_DISTANCE, 1, 2, 2);
    const std::vector<float> targets{1, 0};
    auto call = [&](int16_t n, int16_t s, int16_t p) { return PnnEvaluate(&n, &s, targets.data(), &p); };

    EXPECT_EQ(call(200, 40, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(net, 40, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(net, 9, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(grnn, kPattern, 0), KORU32_ERR_NOT_OUTPUT_SLAB);  // the kind before the paradigm
    EXPECT_EQ(call(grnn, kOutput, 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(call(net, kInput, 0), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(call(net, kOutput, 1), KORU32_ERR_BAD_PATTERN);  // no unit in use yet
    EXPECT_EQ(call(net, kOutput, -1), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{0, 0}));
}

TEST_F(Pnn, EvaluateOnAFullNetChangesNothing) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 2);
    StorePnn(net, {1}, {1, 0});
    StorePnn(net, {2}, {0, 1});
    Put(net, kOutput, {0.25f, 0.5f});
    const std::vector<float> targets{1, 1};
    const int16_t output = kOutput, zero = 0, three = 3;
    EXPECT_EQ(PnnEvaluate(&net, &output, targets.data(), &zero), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(PnnEvaluate(&net, &output, targets.data(), &three), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{2, 1, 1}));
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{0.25f, 0.5f}));
}

TEST_F(Pnn, TrainChecksInOrder) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 1);
    const int16_t grnn = MakeThreeSlabNet(KORU32_NET_GRNN_DISTANCE, 1, 2, 1);
    auto call = [](int16_t n, int16_t s, int16_t p) { return PnnTrain(&n, &s, &p); };
    EXPECT_EQ(call(-5, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(call(net, 32, 0), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(call(net, 3, 0), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(call(grnn, kInput, 0), KORU32_ERR_WRONG_PARADIGM);
    // Pattern 0 while no unit is in use names unit 0, before the arrays.
    Put(net, kInput, {5});
    EXPECT_EQ(call(net, kInput, 0), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(call(net, kInput, 1), KORU32_ERR_BAD_PATTERN);
    StorePnn(net, {1}, {1});
    EXPECT_EQ(call(net, kInput, 2), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(call(net, kInput, -1), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Weights(net, kInputLink, 2), (std::vector<float>{1, 0}));
    // Training the output slab (no outgoing links) does nothing.
    EXPECT_EQ(call(net, kOutput, 1), KORU32_OK);
}

// ---------------------------------------------------------------------------
// patternCount set out of range by PutCounts, and an output slab without links

TEST_F(Pnn, NegativePatternCountMeansNoUnitInUse) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 1);
    StorePnn(net, {0}, {1});
    SetCounts(net, kOutput, {-4, 1});
    EXPECT_EQ(Activations(net, {0}, 1.0f, 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(Scores(net, {0}, 1.0f, 1), std::vector<float>(1, 0.0f));
    const int16_t input = kInput, output = kOutput, zero = 0;
    EXPECT_EQ(PnnTrain(&net, &input, &zero), KORU32_ERR_BAD_PATTERN);
    // The next new unit is unit 1 again.
    const std::vector<float> target{1};
    Put(net, kInput, {6});
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &zero), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 1), (std::vector<float>{1, 2}));
    EXPECT_EQ(PnnTrain(&net, &input, &zero), KORU32_OK);
    EXPECT_EQ(Weights(net, kInputLink, 3), (std::vector<float>{6, 0, 0}));
}

TEST_F(Pnn, PatternCountBeyondTheCapacityStaysInsideTheArrays) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StorePnn(net, {0}, {1, 0});
    StorePnn(net, {1}, {0, 1});
    StorePnn(net, {2}, {0, 1});
    SetCounts(net, kOutput, {500, 1, 2});
    // Propagation computes the three units there are.
    const float e1 = ExpAsFloat(-0.5), e2 = ExpAsFloat(-2.0);
    EXPECT_EQ(Activations(net, {0}, 1.0f, 3), (std::vector<float>{1.0f, e1, e2}));
    EXPECT_EQ(Scores(net, {0}, 1.0f, 2), (std::vector<float>{1.0f, static_cast<float>(e1 + double{e2}) / 2.0f}));

    const std::vector<float> before = Weights(net, kInputLink, 3);
    const std::vector<float> rowsBefore = Weights(net, kOutputLink, 6);
    const int16_t input = kInput, pattern = kPattern, output = kOutput, zero = 0, four = 4, two = 2;
    const std::vector<float> target{1, 1};
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &zero), KORU32_ERR_BAD_PATTERN);  // full
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &four), KORU32_ERR_BAD_PATTERN);  // no row 4
    EXPECT_EQ(PnnTrain(&net, &input, &zero), KORU32_ERR_BAD_PATTERN);                     // unit 500
    EXPECT_EQ(PnnTrain(&net, &pattern, &four), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Weights(net, kInputLink, 3), before);
    EXPECT_EQ(Weights(net, kOutputLink, 6), rowsBefore);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{500, 1, 2}));
    // Units that exist can still be re-presented and written.
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &two), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{500, 2, 2}));
    EXPECT_EQ(PnnTrain(&net, &pattern, &two), KORU32_OK);
}

TEST_F(Pnn, OutputSlabWithoutIncomingLinkHasNoCapacity) {
    const int16_t net = MakeEmptyNet(kDistance);
    MakeSlabOf(net, kOutput, 2, KORU32_SLAB_OUTPUT);
    const int16_t output = kOutput, zero = 0;
    const std::vector<float> target{1, 0};
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &zero), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{0, 0, 0}));
    // With units in use (set by PutCounts) a re-presentation has no stored row
    // to withdraw, so only the new class vector is counted.
    SetCounts(net, kOutput, {2, 5, 5});
    Put(net, kOutput, {1, 1});
    const int16_t one = 1;
    EXPECT_EQ(PnnEvaluate(&net, &output, target.data(), &one), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{2, 6, 5}));
}

// ---------------------------------------------------------------------------
// Nets made in the fixed-point math mode

TEST_F(Pnn, NetMadeInFixedPointModeAnswersAsInFloatMode) {
    const std::vector<std::vector<float>> xs{{0.1f, -2.7f}, {150.0f, 0.35f}, {-0.6f, 1.9f}};
    const std::vector<std::vector<float>> classes{{1, 0}, {0, 1}, {1, 0}};
    for (uint16_t type : {kDistance, kDot, kCityBlock}) {
        int16_t nets[2];
        for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            ASSERT_EQ(SetMath(&mode), KORU32_OK);
            nets[mode] = MakeThreeSlabNet(type, 2, 4, 2);
            for (size_t i = 0; i < xs.size(); ++i) StorePnn(nets[mode], xs[i], classes[i]);
        }
        // Values beyond the 8.24 range, and ones it would round, come back whole.
        EXPECT_EQ(Weights(nets[1], kInputLink, 8), Weights(nets[0], kInputLink, 8));
        EXPECT_EQ(Weights(nets[1], kInputLink, 8)[1], 150.0f);
        for (const std::vector<float>& x : {std::vector<float>{0.2f, -2.5f}, std::vector<float>{300.0f, 1.0f}}) {
            const std::vector<float> a = Activations(nets[0], x, 0.7f, 4);
            EXPECT_EQ(Activations(nets[1], x, 0.7f, 4), a) << "type " << type;
            const std::vector<float> s = Scores(nets[0], x, 0.7f, 2);
            EXPECT_EQ(Scores(nets[1], x, 0.7f, 2), s) << "type " << type;
        }
    }
}

// ---------------------------------------------------------------------------
// The whole computation against a plain reference written from the rule

float ReferenceKernel(float v, uint16_t type, float s2) {
    if (type == kCityBlock) return ExpAsFloat(-double{v} / s2);
    if (type == kDot) {
        const double t = (double{v} - 1.0) / s2;
        return t > 25.0 ? 71999995904.0f : ExpAsFloat(t);
    }
    const double t = -double{v} / (double{s2} * 2.0);
    return t < -25.0 ? 0.0f : ExpAsFloat(t);
}

TEST_F(Pnn, ScoresMatchAPlainReferenceBitForBit) {
    constexpr int kInputs = 5, kUnits = 12, kUsed = 9, kClasses = 3;
    TestRandom random(777);
    for (uint16_t type : {kDistance, kDot, kCityBlock}) {
        const int16_t net = MakeThreeSlabNet(type, kInputs, kUnits, kClasses);
        std::vector<std::vector<float>> stored, targets;
        std::vector<float> counts(kClasses, 0.0f);
        for (int u = 0; u < kUsed; ++u) {
            std::vector<float> x(kInputs), t(kClasses, 0.0f);
            for (float& v : x) v = static_cast<float>(random.Next() * 1.5);
            t[u % kClasses] = 1.0f;
            if (u % 4 == 0) t[(u + 1) % kClasses] = 0.5f;  // some units in two classes
            for (int j = 0; j < kClasses; ++j) counts[j] += t[j] != 0.0f ? 1.0f : 0.0f;
            StorePnn(net, x, t);
            stored.push_back(x);
            targets.push_back(t);
        }
        std::vector<float> x(kInputs);
        for (float& v : x) v = static_cast<float>(random.Next() * 1.5);
        const float sigma = 0.8f, s2 = sigma * sigma;

        std::vector<float> activation(kUnits, 0.0f);
        for (int u = 0; u < kUsed; ++u) {
            float acc = 0.0f;
            for (int k = 0; k < kInputs; ++k) {
                const double a = x[k], b = stored[u][k];
                const double term = type == kDot ? a * b : type == kCityBlock ? std::fabs(a - b) : (a - b) * (a - b);
                acc = static_cast<float>(acc + term);
            }
            activation[u] = ReferenceKernel(acc, type, s2);
        }
        std::vector<float> score(kClasses, 0.0f);
        for (int j = 0; j < kClasses; ++j) {
            for (int u = 0; u < kUsed; ++u) score[j] = static_cast<float>(score[j] + double{activation[u]} * targets[u][j]);
            score[j] = counts[j] == 0.0f ? 0.0f : score[j] / counts[j];
        }
        const std::vector<float> gotActivation = Activations(net, x, sigma, kUnits);
        const std::vector<float> gotScore = Scores(net, x, sigma, kClasses);
        for (int u = 0; u < kUnits; ++u) EXPECT_EQ(Bits(gotActivation[u]), Bits(activation[u])) << type << " " << u;
        for (int j = 0; j < kClasses; ++j) EXPECT_EQ(Bits(gotScore[j]), Bits(score[j])) << type << " " << j;
    }
}

// ---------------------------------------------------------------------------
// Classification

size_t Winner(const std::vector<float>& scores) {
    size_t best = 0;
    for (size_t j = 1; j < scores.size(); ++j)
        if (scores[j] > scores[best]) best = j;
    return best;
}

TEST_F(Pnn, SeparatesGeneratedClusters) {
    // Three clusters in four dimensions, uniform noise of +-1 around centres
    // at least 7 apart (unit-length directions for the dot-product variant).
    const std::vector<std::vector<float>> centres{{0, 0, 0, 0}, {5, 5, 0, 0}, {0, 5, 5, 5}};
    const std::vector<std::vector<float>> directions{{1, 0, 0, 0}, {0, 0.6f, 0.8f, 0}, {0, 0, 0, 1}};
    for (uint16_t type : {kDistance, kCityBlock, kDot}) {
        const bool dot = type == kDot;
        TestRandom random(2024);
        std::vector<std::vector<float>> samples;
        std::vector<size_t> labels;
        for (int i = 0; i < 60; ++i) {
            const size_t c = i % 3;
            std::vector<float> x(4);
            for (int k = 0; k < 4; ++k) {
                x[k] = dot ? static_cast<float>(directions[c][k] + random.Next() * 0.1)
                           : static_cast<float>(centres[c][k] + random.Next());
            }
            if (dot) {
                double length = 0;
                for (float v : x) length += double{v} * v;
                for (float& v : x) v = static_cast<float>(v / std::sqrt(length));
            }
            samples.push_back(x);
            labels.push_back(c);
        }
        const int16_t net = MakeThreeSlabNet(type, 4, 30, 3);
        for (int i = 0; i < 60; i += 2) {
            std::vector<float> classVector(3, 0.0f);
            classVector[labels[i]] = 1.0f;
            StorePnn(net, samples[i], classVector);
        }
        EXPECT_EQ(Counts(net, kOutput, 3), (std::vector<float>{30, 10, 10, 10}));
        const float sigma = dot ? 0.1f : 1.0f;
        for (int i = 1; i < 60; i += 2) {
            EXPECT_EQ(Winner(Scores(net, samples[i], sigma, 3)), labels[i]) << "type " << type << " sample " << i;
        }
    }
}

TEST_F(Pnn, ClassifiesHeldOutIrisSamples) {
    // The 150 iris measurements (four features, species 0..2); the first line
    // holds the counts and the species names.
    std::ifstream file(KORU32_TEST_DATA_DIR "/iris.csv");
    ASSERT_TRUE(file.good());
    std::string line;
    std::getline(file, line);
    std::vector<std::vector<float>> samples;
    std::vector<size_t> labels;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::vector<float> x(4);
        char comma;
        size_t label;
        fields >> x[0] >> comma >> x[1] >> comma >> x[2] >> comma >> x[3] >> comma >> label;
        ASSERT_FALSE(fields.fail()) << line;
        samples.push_back(x);
        labels.push_back(label);
    }
    ASSERT_EQ(samples.size(), 150u);

    // Every other sample is stored, the others are classified.
    for (uint16_t type : {kDistance, kCityBlock}) {
        const int16_t net = MakeThreeSlabNet(type, 4, 75, 3);
        for (size_t i = 0; i < 150; i += 2) {
            std::vector<float> classVector(3, 0.0f);
            classVector[labels[i]] = 1.0f;
            StorePnn(net, samples[i], classVector);
        }
        EXPECT_EQ(Counts(net, kOutput, 3), (std::vector<float>{75, 25, 25, 25}));
        const float sigma = type == kDistance ? 0.3f : 0.6f;
        int correct = 0;
        for (size_t i = 1; i < 150; i += 2) correct += Winner(Scores(net, samples[i], sigma, 3)) == labels[i];
        EXPECT_GT(correct, 0.9 * 75) << "type " << type << ": " << correct << " of 75";
        RecordProperty("correct_of_75_type_" + std::to_string(type), correct);
    }
}

}  // namespace
