// Scores and winners through the exports, in both variants and both number
// formats. Float scores are checked bit for bit against a reference written
// from the scoring rule; 8.24 cases here use values that 8.24 and float32
// both hold exactly (the raw 8.24 arithmetic is checked in the internal test).
#include <gtest/gtest.h>

#include <cmath>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

using Units = std::vector<std::vector<float>>;

// The float scoring rule: each term formed and added in double precision,
// the score rounded to single precision after every term.
std::vector<float> ReferenceScores(bool dot, const std::vector<float>& x, const Units& units,
                                   std::vector<float> scores) {
    for (size_t j = 0; j < units.size(); ++j) {
        for (size_t i = 0; i < x.size(); ++i) {
            const double xi = x[i], wi = units[j][i];
            const double term = dot ? xi * wi : (xi - wi) * (xi - wi);
            scores[j] = static_cast<float>(scores[j] + term);
        }
    }
    return scores;
}

const uint16_t kBothMaths[] = {KORU32_MATH_FLOAT, KORU32_MATH_FIXED};

}  // namespace

TEST(LvqScores, SquaredDistanceAndItsWinner) {
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, 2);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{1.0f, 2.0f}, {0.0f, 0.0f}});
        lvq.PutInput({1.0f, 2.0f});
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{0.0f, 5.0f})) << "math " << math;
        EXPECT_EQ(lvq.Evaluate(), 1);
    }
}

TEST(LvqScores, DotProductAndItsWinner) {
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DOT, math, 2, 2);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{0.6f, 0.8f}, {1.0f, 0.0f}});
        lvq.PutInput({1.0f, 0.0f});
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        // 0.6 in 8.24 is trunc(10066329.6 + 0.5) = 10066330 units.
        const float sixTenths = math == KORU32_MATH_FLOAT ? 0.6f : static_cast<float>(10066330 / 16777216.0);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{sixTenths, 1.0f})) << "math " << math;
        EXPECT_EQ(lvq.Evaluate(), 2);
    }
}

TEST(LvqScores, FloatScoresRoundAfterEveryTerm) {
    // Terms 1, 2^-24, 2^-24: rounding after each term leaves 1.0 (each 2^-24
    // is half an ulp and ties to even), while a sum kept in double would
    // round to 1 + 2^-23.
    const float tiny = std::ldexp(1.0f, -12);
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 3, 1);
    ASSERT_TRUE(lvq.ok());
    lvq.PutUnits({{0.0f, 0.0f, 0.0f}});
    lvq.PutInput({1.0f, tiny, tiny});
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);
    EXPECT_EQ(lvq.Scores()[0], 1.0f);

    TestNet dot(KORU32_NET_LVQ_DOT, KORU32_MATH_FLOAT, 3, 1);
    ASSERT_TRUE(dot.ok());
    dot.PutUnits({{1.0f, tiny, tiny}});
    dot.PutInput({1.0f, tiny, tiny});
    ASSERT_EQ(dot.Propagate(), KORU32_OK);
    EXPECT_EQ(dot.Scores()[0], 1.0f);
}

TEST(LvqScores, FloatScoresMatchTheReferenceInBothVariants) {
    const std::vector<float> x = {0.3f, -1.7f, 2.25f, 0.0f, -0.11f};
    const Units units = {{0.1f, 0.2f, 0.3f, 0.4f, 0.5f},
                         {-1.3f, 0.7f, 2.2f, -0.9f, 0.05f},
                         {0.3f, -1.7f, 2.25f, 0.0f, -0.11f},
                         {3.1f, -2.9f, 2.0f, 7.5f, -4.25f}};
    for (uint16_t type : {KORU32_NET_LVQ_DISTANCE, KORU32_NET_LVQ_DOT}) {
        const bool dot = type == KORU32_NET_LVQ_DOT;
        TestNet lvq(type, KORU32_MATH_FLOAT, 5, 4);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits(units);
        lvq.PutInput(x);
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        const std::vector<float> expected = ReferenceScores(dot, x, units, std::vector<float>(4, 0.0f));
        EXPECT_EQ(lvq.Scores(), expected) << "type " << type;
        // Unit 3 equals the pattern: distance 0; unit 4 has the largest dot
        // product (10.83 against 8.05 for unit 3).
        EXPECT_EQ(lvq.Evaluate(), dot ? 4 : 3);
    }
}

TEST(LvqScores, ScoresOfSeveralLinksAddUpInLinkOrder) {
    // Slab 2 is a second input slab, joined to the output by link 1.
    const std::vector<float> x = {0.5f, -0.25f};
    const std::vector<float> y = {1.5f, 0.75f, -2.0f};
    const Units first = {{0.1f, 0.9f}, {-0.4f, 0.3f}};
    const Units second = {{1.0f, 1.0f, 1.0f}, {1.5f, 0.75f, -2.0f}};
    for (uint16_t type : {KORU32_NET_LVQ_DISTANCE, KORU32_NET_LVQ_DOT}) {
        TestNet lvq(type, KORU32_MATH_FLOAT, 2, 2);
        ASSERT_TRUE(lvq.ok());
        ASSERT_EQ(lvq.MakeSlabAt(2, 3, KORU32_SLAB_INPUT), KORU32_OK);
        ASSERT_EQ(lvq.MakeLinkAt(1, 2, kOutput), KORU32_OK);
        lvq.PutUnits(first, 0);
        lvq.PutUnits(second, 1);
        lvq.PutInput(x);
        lvq.PutValues(2, y);
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        const bool dot = type == KORU32_NET_LVQ_DOT;
        const auto expected = ReferenceScores(dot, y, second, ReferenceScores(dot, x, first, {0.0f, 0.0f}));
        EXPECT_EQ(lvq.Scores(), expected) << "type " << type;
        // Propagating again starts from zero rather than adding on.
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), expected);
    }
}

// LvqEvaluate ranks whatever values the slab holds, so ties are set up by
// writing the values directly.
TEST(LvqWinner, TiesKeepTheLowerNumberedUnit) {
    for (uint16_t math : kBothMaths) {
        TestNet distance(KORU32_NET_LVQ_DISTANCE, math, 1, 5);
        ASSERT_TRUE(distance.ok());
        distance.PutValues(kOutput, {3.0f, 1.0f, 2.0f, 1.0f, 1.0f});
        EXPECT_EQ(distance.Evaluate(), 2) << "math " << math;
        distance.PutValues(kOutput, {-1.0f, -1.0f, 0.0f, -1.0f, 5.0f});
        EXPECT_EQ(distance.Evaluate(), 1);
        distance.PutValues(kOutput, {0.5f, 0.5f, 0.5f, 0.5f, 0.25f});
        EXPECT_EQ(distance.Evaluate(), 5);

        TestNet dot(KORU32_NET_LVQ_DOT, math, 1, 5);
        ASSERT_TRUE(dot.ok());
        dot.PutValues(kOutput, {1.0f, 3.0f, 2.0f, 3.0f, 3.0f});
        EXPECT_EQ(dot.Evaluate(), 2) << "math " << math;
        dot.PutValues(kOutput, {-2.0f, -2.0f, -2.0f, -2.0f, -2.0f});
        EXPECT_EQ(dot.Evaluate(), 1);
        dot.PutValues(kOutput, {-2.0f, -3.0f, -2.5f, -1.0f, -1.5f});
        EXPECT_EQ(dot.Evaluate(), 4);
    }
}

TEST(LvqWinner, FlagChoosesBetweenScoresAndTheWinnerCode) {
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 1, 4);
        ASSERT_TRUE(lvq.ok());
        // Values that 8.24 holds exactly (negative ones would move toward zero).
        const std::vector<float> scores = {2.5f, 0.75f, 0.125f, 4.0f};
        lvq.PutValues(kOutput, scores);
        EXPECT_EQ(lvq.Evaluate(0), 3);
        EXPECT_EQ(lvq.Scores(), scores) << "flag 0 leaves the scores";
        EXPECT_EQ(lvq.Evaluate(7), 3);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{0.0f, 0.0f, 1.0f, 0.0f})) << "math " << math;
        // The code ranks again as scores: 0 is now the smallest, unit 1 wins.
        EXPECT_EQ(lvq.Evaluate(1), 1);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    }
}

TEST(LvqWinner, OneUnitAlwaysWins) {
    for (uint16_t type : {KORU32_NET_LVQ_DISTANCE, KORU32_NET_LVQ_DOT}) {
        TestNet lvq(type, KORU32_MATH_FIXED, 3, 1);
        ASSERT_TRUE(lvq.ok());
        lvq.PutInput({0.5f, -0.5f, 1.0f});
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Evaluate(), 1);
        lvq.PutValues(kOutput, {-100.0f});
        EXPECT_EQ(lvq.Evaluate(1), 1);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.0f}));
    }
}
