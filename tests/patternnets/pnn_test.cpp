// Probabilistic nets through their exports: the kernels of the three variants
// and their limits, class scores and counts, re-presentation, the limits that
// keep odd counts inside the arrays, and classification of real and generated
// data. What they share with general regression nets is in
// pattern_net_common_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
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
    // Stores the even samples with their classes and returns how many of the odd
    // ones win in their own class.
    int CorrectOfHeldOut(uint16_t type, const std::vector<std::vector<float>>& samples,
                         const std::vector<size_t>& labels, float sigma, std::vector<float> expectedCounts) {
        const auto inputs = static_cast<int16_t>(samples[0].size()), stored = static_cast<int16_t>(samples.size() / 2);
        const int16_t net = MakeThreeSlabNet(type, inputs, stored, 3);
        for (size_t i = 0; i < samples.size(); i += 2) {
            std::vector<float> classVector(3, 0.0f);
            classVector[labels[i]] = 1.0f;
            StoreOne(net, samples[i], classVector);
        }
        EXPECT_EQ(Counts(net, kOutput, 3), expectedCounts);
        int correct = 0;
        for (size_t i = 1; i < samples.size(); i += 2) {
            const std::vector<float> scores = Outputs(net, samples[i], sigma, 3);
            correct += static_cast<size_t>(std::max_element(scores.begin(), scores.end()) - scores.begin()) == labels[i];
        }
        return correct;
    }
};

// ---------------------------------------------------------------------------
// Kernels and their limits

TEST_F(Pnn, KernelsOfTheThreeVariantsAndTheirLimits) {
    // sigma 0.1: sigma^2 is the float product 0.1f * 0.1f, not 0.01, and the
    // squared distance 0.02 is summed in float: about exp(-1).
    const float s2 = 0.1f * 0.1f;
    const float d2 = static_cast<float>(static_cast<float>(double{0.1f} * 0.1f) + double{0.1f} * 0.1f);
    struct Case {
        uint16_t type;
        std::vector<float> stored, input;
        float sigma, expected;
    };
    const Case cases[] = {
        {kDistance, {1, 1, 0}, {0, 0, 0}, 1.0f, ExpAsFloat(-1.0)},        // squared distance 2
        {kDistance, {5, 5, 0}, {0, 0, 0}, 1.0f, ExpAsFloat(-25.0)},       // exponent -25 still counts
        {kDistance, {5, 5, 1}, {0, 0, 0}, 1.0f, 0.0f},                    // -25.5 is cut
        {kDistance, {0.1f, 0.1f, 0}, {0, 0, 0}, 0.1f, ExpAsFloat(-double{d2} / (double{s2} * 2.0))},
        {kDot, {1, 0, 0}, {1, 0, 0}, 1.0f, 1.0f},                         // z = 1: exp(0)
        {kDot, {0, 5, 1}, {0, 5, 1}, 1.0f, ExpAsFloat(25.0)},             // z = 26: uncapped
        {kDot, {0, 5, 5}, {0, 3, 3}, 1.0f, 71999995904.0f},               // z = 30: the cap
        {kDot, {0, 5, 1.5f}, {0, 5, 1}, 1.0f, 71999995904.0f},            // z = 26.5: just beyond
        {kDot, {0, 5, 5}, {0, -3, -3}, 1.0f, ExpAsFloat(-31.0)},          // no limit below zero
        {kCityBlock, {2, -1, 1}, {0, 0, 0}, 2.0f, ExpAsFloat(-1.0)},      // distance 4 over sigma^2
        {kCityBlock, {40, 40, -40}, {0, 0, 0}, 2.0f, ExpAsFloat(-30.0)},  // no limit
    };
    for (const Case& c : cases) {
        const int16_t net = MakeThreeSlabNet(c.type, 3, 2, 1);
        StoreOne(net, c.stored, {1});
        const std::vector<float> a = Activations(net, c.input, c.sigma, 2);
        EXPECT_EQ(BitsOf(a[0]), BitsOf(c.expected)) << "type " << c.type << ", stored " << c.stored[1];
        EXPECT_EQ(BitsOf(a[1]), BitsOf(0.0f));  // unit 2 is not in use
    }
    EXPECT_EQ(BitsOf(cases[6].expected), 0x51861C46u);
    EXPECT_GT(ExpAsFloat(25.0), cases[6].expected);  // e^25 lies just above the cap
    EXPECT_NEAR(cases[0].expected, 0.36788, 1e-5);
    EXPECT_NEAR(cases[3].expected, std::exp(-1.0), 1e-6);
    EXPECT_GT(cases[10].expected, 0.0f);
}

// ---------------------------------------------------------------------------
// Class scores and counts

TEST_F(Pnn, ScoresAreWeighedActivationsOverClassCounts) {
    // Three patterns of class A, one of class B, far apart against sigma.
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 6, 2);
    StoreOne(net, {0, 0}, {1, 0});
    StoreOne(net, {0, 1}, {1, 0});
    StoreOne(net, {1, 0}, {1, 0});
    StoreOne(net, {10, 10}, {0, 1});
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{4, 3, 1}));

    EXPECT_EQ(Outputs(net, {10, 10}, 0.5f, 2), (std::vector<float>{0.0f, 1.0f}));
    // At (0, 0) with sigma 1: activations 1, exp(-1/2), exp(-1/2); class A
    // scores their float sum over 3, class B gets exp(-100) -> below the limit.
    const float half = ExpAsFloat(-0.5);
    const float sumA = static_cast<float>(static_cast<float>(1.0 + half) + double{half});
    EXPECT_EQ(Outputs(net, {0, 0}, 1.0f, 2), (std::vector<float>{sumA / 3.0f, 0.0f}));
}

TEST_F(Pnn, NoStoredPatternGivesZeroEverywhere) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 3, 2);
    EXPECT_EQ(Activations(net, {0, 0}, 1.0f, 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(Outputs(net, {0, 0}, 1.0f, 2), std::vector<float>(2, 0.0f));
}

TEST_F(Pnn, EveryNonZeroTargetCountsAndAClassWithoutCountScoresZero) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 2, 3);
    StoreOne(net, {0}, {1, 0, -0.5f});
    EXPECT_EQ(Counts(net, kOutput, 3), (std::vector<float>{1, 1, 0, 1}));
    // Class 2 named by the row but counted 0 scores 0, and so does class 3
    // counted 2 with a row of 0.
    const int16_t link = kOutputLink, unit = 1, cls2 = 2, cls3 = 3;
    const float one = 1.0f, zero = 0.0f;
    ASSERT_EQ(PutWeight(&net, &link, &unit, &cls2, &one), KORU32_OK);
    ASSERT_EQ(PutWeight(&net, &link, &unit, &cls3, &zero), KORU32_OK);
    SetCounts(net, kOutput, {1, 1, 0, 2});
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 3), (std::vector<float>{1.0f, 0.0f, 0.0f}));
}

TEST_F(Pnn, RepresentationMovesTheCountsAndTrainingReplacesTheUnit) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 4, 2);
    StoreOne(net, {0, 0}, {1, 0});
    StoreOne(net, {1, 1}, {1, 0});
    StoreOne(net, {2, 2}, {0, 1});
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{3, 2, 1}));
    // Unit 2 (class A) re-presented as class B.
    Put(net, kInput, {5, 6});
    ASSERT_EQ(Evaluate(net, kOutput, {0, 1}, 2), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{3, 1, 2}));
    EXPECT_EQ(Get(net, kOutput, 2), (std::vector<float>{0, 1}));
    ASSERT_EQ(Train(net, kInput, 2), KORU32_OK);
    ASSERT_EQ(Train(net, kPattern, 2), KORU32_OK);
    EXPECT_EQ(Weights(net, kInputLink, 8), (std::vector<float>{0, 5, 2, 0, 0, 6, 2, 0}));
    EXPECT_EQ(Weights(net, kOutputLink, 8), (std::vector<float>{1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(Counts(net, kOutput, 2)[0], 3.0f);  // training changes no count
    // Pattern 0 writes the last unit taken.
    Put(net, kInput, {9, 9});
    ASSERT_EQ(Train(net, kInput, 0), KORU32_OK);
    EXPECT_EQ(Weights(net, kInputLink, 8), (std::vector<float>{0, 5, 9, 0, 0, 6, 9, 0}));
}

// ---------------------------------------------------------------------------
// patternCount set out of range by PutCounts, and an output slab without links

TEST_F(Pnn, NegativePatternCountMeansNoUnitInUse) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 1);
    StoreOne(net, {0}, {1});
    SetCounts(net, kOutput, {-4, 1});
    EXPECT_EQ(Activations(net, {0}, 1.0f, 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 1), std::vector<float>(1, 0.0f));
    EXPECT_EQ(Train(net, kInput, 0), KORU32_ERR_BAD_PATTERN);
    // The next new unit is unit 1 again.
    Put(net, kInput, {6});
    EXPECT_EQ(Evaluate(net, kOutput, {1}, 0), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 1), (std::vector<float>{1, 2}));
    EXPECT_EQ(Train(net, kInput, 0), KORU32_OK);
    EXPECT_EQ(Weights(net, kInputLink, 3), (std::vector<float>{6, 0, 0}));
}

TEST_F(Pnn, PatternCountBeyondTheCapacityStaysInsideTheArrays) {
    const int16_t net = MakeThreeSlabNet(kDistance, 1, 3, 2);
    StoreOne(net, {0}, {1, 0});
    StoreOne(net, {1}, {0, 1});
    StoreOne(net, {2}, {0, 1});
    SetCounts(net, kOutput, {500, 1, 2});
    // Propagation computes the three units there are.
    const float e1 = ExpAsFloat(-0.5), e2 = ExpAsFloat(-2.0);
    EXPECT_EQ(Activations(net, {0}, 1.0f, 3), (std::vector<float>{1.0f, e1, e2}));
    EXPECT_EQ(Outputs(net, {0}, 1.0f, 2), (std::vector<float>{1.0f, static_cast<float>(e1 + double{e2}) / 2.0f}));

    const std::vector<float> before = Weights(net, kInputLink, 3), rowsBefore = Weights(net, kOutputLink, 6);
    EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, 0), KORU32_ERR_BAD_PATTERN);  // full
    EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, 4), KORU32_ERR_BAD_PATTERN);  // no row 4
    EXPECT_EQ(Train(net, kInput, 0), KORU32_ERR_BAD_PATTERN);              // unit 500
    EXPECT_EQ(Train(net, kPattern, 4), KORU32_ERR_BAD_PATTERN);
    EXPECT_EQ(Weights(net, kInputLink, 3), before);
    EXPECT_EQ(Weights(net, kOutputLink, 6), rowsBefore);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{500, 1, 2}));
    // Units that exist can still be re-presented and written.
    EXPECT_EQ(Evaluate(net, kOutput, {1, 1}, 2), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{500, 2, 2}));
    EXPECT_EQ(Train(net, kPattern, 2), KORU32_OK);
}

TEST_F(Pnn, RepresentationWithoutAnIncomingLinkCountsOnlyTheNewClasses) {
    // Units in use set by PutCounts, but no stored row to withdraw.
    const int16_t net = MakeEmptyNet(kDistance);
    MakeSlabOf(net, kOutput, 2, KORU32_SLAB_OUTPUT);
    SetCounts(net, kOutput, {2, 5, 5});
    Put(net, kOutput, {1, 1});
    EXPECT_EQ(Evaluate(net, kOutput, {1, 0}, 1), KORU32_OK);
    EXPECT_EQ(Counts(net, kOutput, 2), (std::vector<float>{2, 6, 5}));
}

// ---------------------------------------------------------------------------
// Classification

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
            double length = 0;
            for (int k = 0; k < 4; ++k) {
                x[k] = dot ? static_cast<float>(directions[c][k] + random.Next() * 0.1)
                           : static_cast<float>(centres[c][k] + random.Next());
                length += double{x[k]} * x[k];
            }
            if (dot) {
                for (float& v : x) v = static_cast<float>(v / std::sqrt(length));
            }
            samples.push_back(x);
            labels.push_back(c);
        }
        EXPECT_EQ(CorrectOfHeldOut(type, samples, labels, dot ? 0.1f : 1.0f, {30, 10, 10, 10}), 30)
            << "type " << type;
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
    for (uint16_t type : {kDistance, kCityBlock}) {
        const int correct =
            CorrectOfHeldOut(type, samples, labels, type == kDistance ? 0.3f : 0.6f, {75, 25, 25, 25});
        EXPECT_GT(correct, 0.9 * 75) << "type " << type << ": " << correct << " of 75";
        RecordProperty("correct_of_75_type_" + std::to_string(type), correct);
    }
}

}  // namespace
