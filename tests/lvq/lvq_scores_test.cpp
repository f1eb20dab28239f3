// Winners through the exports in both variants and number formats (the
// scores' bits on random data are held by lvq_scores_reference_test.cpp).
// LvqEvaluate ranks whatever values the slab holds, so they are written directly.
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

TEST(LvqWinner, SmallestDistanceOrLargestDotWinsAndTiesKeepTheLowerNumberedUnit) {
    struct Case {
        uint16_t type;
        Floats values;
        uint16_t winner;
    };
    const uint16_t distance = KORU32_NET_LVQ_DISTANCE, dot = KORU32_NET_LVQ_DOT;
    const Case cases[] = {{distance, {3, 1, 2, 1, 1}, 2},   {distance, {-1, -1, 0, -1, 5}, 1},
                          {distance, {0.5f, 0.5f, 0.5f, 0.5f, 0.25f}, 5}, {dot, {1, 3, 2, 3, 3}, 2},
                          {dot, {-2, -2, -2, -2, -2}, 1}, {dot, {-2, -3, -2.5f, -1, -1.5f}, 4}};
    for (uint16_t math : kBothMaths) {
        for (const Case& c : cases) {
            TestNet lvq(c.type, math, 1, 5);
            lvq.PutValues(kOutput, c.values);
            EXPECT_EQ(lvq.Evaluate(), c.winner) << "type " << c.type << " math " << math << " winner " << c.winner;
        }
    }
}

TEST(LvqWinner, FlagChoosesBetweenScoresAndTheWinnerCode) {
    for (uint16_t math : kBothMaths) {
        SCOPED_TRACE(math);
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 1, 4);
        const Floats scores = {2.5f, 0.75f, 0.125f, 4.0f};
        lvq.PutValues(kOutput, scores);
        EXPECT_EQ(lvq.Evaluate(0), 3);
        EXPECT_EQ(lvq.Scores(), scores) << "flag 0 leaves the scores";
        EXPECT_EQ(lvq.Evaluate(7), 3);
        EXPECT_EQ(lvq.Scores(), (Floats{0, 0, 1, 0}));
        // The code ranks again as scores: 0 is now the smallest, unit 1 wins.
        EXPECT_EQ(lvq.Evaluate(1), 1);
        EXPECT_EQ(lvq.Scores(), (Floats{1, 0, 0, 0}));
    }
}
