// Scores and winners through the exports, in both variants and both number
// formats, with values that 8.24 and float32 both hold exactly (the bits on
// random data are held by lvq_scores_reference_test.cpp).
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

TEST(LvqScores, SquaredDistanceAndDotProductWithTheirWinners) {
    for (uint16_t math : kBothMaths) {
        SCOPED_TRACE(math);
        // 0.6 in 8.24 is trunc(10066329.6 + 0.5) = 10066330 units.
        const float sixTenths = math == KORU32_MATH_FLOAT ? 0.6f : static_cast<float>(10066330 / 16777216.0);
        TestNet distance(KORU32_NET_LVQ_DISTANCE, math, 2, 2), dot(KORU32_NET_LVQ_DOT, math, 2, 2);
        ASSERT_TRUE(distance.ok() && dot.ok());
        distance.PutUnits({{1.0f, 2.0f}, {0.0f, 0.0f}});
        distance.PutInput({1.0f, 2.0f});
        dot.PutUnits({{0.6f, 0.8f}, {1.0f, 0.0f}});
        dot.PutInput({1.0f, 0.0f});
        ASSERT_EQ(dot.Propagate(), KORU32_OK);
        EXPECT_EQ(dot.Scores(), (std::vector<float>{sixTenths, 1.0f}));
        EXPECT_EQ(dot.Evaluate(), 2);
        // Propagating again starts from zero rather than adding on.
        for (int twice = 0; twice < 2; ++twice) ASSERT_EQ(distance.Propagate(), KORU32_OK);
        EXPECT_EQ(distance.Scores(), (std::vector<float>{0.0f, 5.0f}));
        EXPECT_EQ(distance.Evaluate(), 1);
    }
}

// LvqEvaluate ranks whatever values the slab holds, so ties are set up by
// writing the values directly.
TEST(LvqWinner, TiesKeepTheLowerNumberedUnit) {
    struct Case {
        uint16_t type;
        std::vector<float> values;
        uint16_t winner;
    };
    const Case cases[] = {
        {KORU32_NET_LVQ_DISTANCE, {3, 1, 2, 1, 1}, 2},
        {KORU32_NET_LVQ_DISTANCE, {-1, -1, 0, -1, 5}, 1},
        {KORU32_NET_LVQ_DISTANCE, {0.5f, 0.5f, 0.5f, 0.5f, 0.25f}, 5},
        {KORU32_NET_LVQ_DOT, {1, 3, 2, 3, 3}, 2},
        {KORU32_NET_LVQ_DOT, {-2, -2, -2, -2, -2}, 1},
        {KORU32_NET_LVQ_DOT, {-2, -3, -2.5f, -1, -1.5f}, 4},
    };
    for (uint16_t math : kBothMaths) {
        for (const Case& c : cases) {
            TestNet lvq(c.type, math, 1, 5);
            ASSERT_TRUE(lvq.ok());
            lvq.PutValues(kOutput, c.values);
            EXPECT_EQ(lvq.Evaluate(), c.winner) << "type " << c.type << " math " << math;
        }
    }
}

TEST(LvqWinner, FlagChoosesBetweenScoresAndTheWinnerCode) {
    for (uint16_t math : kBothMaths) {
        SCOPED_TRACE(math);
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 1, 4);
        ASSERT_TRUE(lvq.ok());
        const std::vector<float> scores = {2.5f, 0.75f, 0.125f, 4.0f};
        lvq.PutValues(kOutput, scores);
        EXPECT_EQ(lvq.Evaluate(0), 3);
        EXPECT_EQ(lvq.Scores(), scores) << "flag 0 leaves the scores";
        EXPECT_EQ(lvq.Evaluate(7), 3);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{0.0f, 0.0f, 1.0f, 0.0f}));
        // The code ranks again as scores: 0 is now the smallest, unit 1 wins.
        EXPECT_EQ(lvq.Evaluate(1), 1);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    }
}
