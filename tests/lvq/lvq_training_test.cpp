// Training through the exports: which units move on the grid, and by how much.
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

// Units whose weight vector differs between the two sets, in ascending order.
std::vector<int> MovedUnits(const Units& before, const Units& after) {
    std::vector<int> moved;
    for (size_t j = 0; j < before.size(); ++j) {
        if (before[j] != after[j]) moved.push_back(static_cast<int>(j));
    }
    return moved;
}

}  // namespace

TEST(LvqGrid, TheWinnersNeighbourhoodMovesClippedAtTheEdges) {
    struct Case {
        int16_t units;
        uint16_t width;
        int winner;
        int16_t radius;
        std::vector<int> moved;
    };
    // 12 units 4 wide are 3 rows: 0 1 2 3 / 4 5 6 7 / 8 9 10 11. A width that
    // does not tile the units gives one row. The geometry itself is checked
    // against brute force in lvq_internal_test.cpp; these cases hold how the
    // export passes the width on.
    const Case cases[] = {
        {12, 4, 5, 1, {0, 1, 2, 4, 5, 6, 8, 9, 10}},
        {12, 4, 3, 1, {2, 3, 6, 7}},
        {12, 4, 11, 0, {11}},
        {12, 4, 0, 32767, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {10, 4, 1, 2, {0, 1, 2, 3}},      // 4 does not divide 10
        {10, 65535, 1, 2, {0, 1, 2, 3}},  // -1
        {10, 32768, 8, 1, {7, 8, 9}},     // -32768
        {12, 1, 5, 1, {4, 5, 6}},         // one column: rows above and below
        {12, 6, 5, 1, {4, 5, 10, 11}},    // 2 rows of 6, winner at a right edge
    };
    for (uint16_t math : kBothMaths) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "math " << math << " units " << c.units << " width " << c.width
                                              << " winner " << c.winner << " radius " << c.radius);
            // The winner is the unit closest to the pattern (6, 6); every unit
            // differs from it, so every trained unit visibly moves.
            TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, c.units);
            Units weights(static_cast<size_t>(c.units));
            for (size_t j = 0; j < weights.size(); ++j) weights[j] = {0.125f * static_cast<float>(j), 0.0f};
            weights[static_cast<size_t>(c.winner)] = {5.0f, 5.5f};
            lvq.PutUnits(weights);
            lvq.PutInput({6.0f, 6.0f});
            ASSERT_EQ(lvq.Propagate(), KORU32_OK);
            ASSERT_EQ(lvq.Evaluate(), c.winner + 1);
            ASSERT_EQ(lvq.Train(0.5f, c.radius, c.width), KORU32_OK);
            EXPECT_EQ(MovedUnits(weights, lvq.GetUnits()), c.moved);
        }
    }
}

TEST(LvqGrid, AReplacedWidthStaysReplacedForTheFollowingLinks) {
    // Slabs 1 (12 units) and 2 (24) are both fed from the input slab. Width 0
    // lays slab 1 out in one row of 12, and that width carries over: slab 2
    // becomes 2 rows of 12.
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 2, 12);
    ASSERT_TRUE(lvq.ok());
    ASSERT_EQ(lvq.MakeSlabAt(2, 24, KORU32_SLAB_OUTPUT), KORU32_OK);
    ASSERT_EQ(lvq.MakeLinkAt(1, kInput, 2), KORU32_OK);
    Units second(24, {9.0f, 9.0f});
    second[12] = {0.5f, 0.5f};
    lvq.PutUnits(second, 1);
    lvq.PutInput({0.0f, 0.0f});
    ASSERT_EQ(lvq.Propagate(2), KORU32_OK);
    ASSERT_EQ(lvq.Evaluate(0, 2), 13);
    const Units firstBefore = lvq.GetUnits(0);
    ASSERT_EQ(lvq.Train(0.5f, 1, 0), KORU32_OK);
    // Slab 1 was never evaluated: a new slab's winner is unit 0.
    EXPECT_EQ(MovedUnits(firstBefore, lvq.GetUnits(0)), (std::vector<int>{0, 1}));
    EXPECT_EQ(MovedUnits(second, lvq.GetUnits(1, 2, 24)), (std::vector<int>{0, 1, 12, 13}));
}

TEST(LvqTraining, RateOneCopiesThePatternIntoTheWinner) {
    for (uint16_t type : {KORU32_NET_LVQ_DISTANCE, KORU32_NET_LVQ_DOT}) {
        for (uint16_t math : kBothMaths) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " math " << math);
            TestNet lvq(type, math, 3, 3);
            ASSERT_TRUE(lvq.ok());
            lvq.PutUnits({{0.5f, -0.25f, 1.0f}, {0.5f, 0.5f, 0.5f}, {-1.0f, 0.75f, 0.1f}});
            lvq.PutInput({0.4f, 0.3f, 0.2f});
            ASSERT_EQ(lvq.Propagate(), KORU32_OK);
            ASSERT_EQ(lvq.Evaluate(), 2);  // closest, and also the largest dot product
            Units expected = lvq.GetUnits();
            expected[1] = lvq.GetValues(kInput, 3);  // the pattern as the slab holds it
            ASSERT_EQ(lvq.Train(1.0f, 0, 3), KORU32_OK);
            EXPECT_EQ(lvq.GetUnits(), expected);
        }
    }
}

TEST(LvqTraining, NegativeRateMovesAwayFromThePattern) {
    // Float: w + (-0.5)(x - w) exactly. 8.24: the rate becomes
    // trunc(-0.5 x 2^24 + 0.5) = -8388607. (x - w) = +0.5 gives
    // floor(-4194303.5) = -4194304, so w = 0.25 exactly; (x - w) = -0.5 gives
    // floor(4194303.5) = 4194303, so w = 12582911 units.
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, 1);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{0.5f, 0.5f}});
        lvq.PutInput({1.0f, 0.0f});
        ASSERT_EQ(lvq.Train(-0.5f, 0, 0), KORU32_OK);
        const float second = math == KORU32_MATH_FLOAT ? 0.75f : static_cast<float>(12582911 / 16777216.0);
        EXPECT_EQ(lvq.GetUnits()[0], (std::vector<float>{0.25f, second})) << "math " << math;
    }
}

TEST(LvqTraining, FloatUpdateFollowsTheRuleBitForBit) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 3, 6);
    ASSERT_TRUE(lvq.ok());
    const Units units = {{0.11f, -2.5f, 3.3f}, {0.7f, 0.1f, -0.2f}, {1.9f, 1.1f, 0.01f},
                         {-0.6f, 5.5f, 2.2f},  {0.3f, 0.2f, 0.1f},  {4.4f, -4.4f, 0.0f}};
    lvq.PutUnits(units);
    const std::vector<float> x = {0.35f, 0.15f, 0.05f};
    lvq.PutInput(x);
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);
    ASSERT_EQ(lvq.Evaluate(), 5);
    const float rate = 0.37f;
    // One row of 6 units: the winner, unit 4, and its neighbours 3 and 5 move.
    ASSERT_EQ(lvq.Train(rate, 1, 6), KORU32_OK);
    Units expected = units;
    for (size_t j = 3; j <= 5; ++j) {
        for (size_t i = 0; i < x.size(); ++i) {
            const double w = units[j][i];
            expected[j][i] = static_cast<float>((static_cast<double>(x[i]) - w) * static_cast<double>(rate) + w);
        }
    }
    EXPECT_EQ(lvq.GetUnits(), expected);
}

TEST(LvqTraining, TrainingUsesTheWinnerOfTheLastEvaluation) {
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 1, 3);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{0.0f}, {1.0f}, {2.0f}});
        // Before any evaluation the winner is unit 0.
        lvq.PutInput({2.0f});
        ASSERT_EQ(lvq.Train(0.5f, 0, 0), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), (Units{{1.0f}, {1.0f}, {2.0f}}));
        // Evaluate with one pattern, train with another: the first one's
        // winner moves, although unit 1 is closer to the second pattern.
        lvq.PutInput({1.9f});
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        ASSERT_EQ(lvq.Evaluate(), 3);
        lvq.PutInput({-1.0f});
        ASSERT_EQ(lvq.Train(0.5f, 0, 0), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), (Units{{1.0f}, {1.0f}, {0.5f}}));
    }
}
