// Winners and training through the exports: which unit wins, which units move
// on the grid, and by how much.
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

std::vector<int> MovedUnits(const Units& before, const Units& after) {
    std::vector<int> moved;
    for (size_t j = 0; j < before.size(); ++j) {
        if (before[j] != after[j]) moved.push_back(static_cast<int>(j));
    }
    return moved;
}

}  // namespace

TEST(LvqGrid, TheWinnersNeighbourhoodMovesClippedAtTheEdges) {
    // 12 units 4 wide are 3 rows: 0 1 2 3 / 4 5 6 7 / 8 9 10 11; a width that
    // does not tile the units (4 of 10, 65535 as -1, 32768 as -32768) gives one
    // row. The geometry is checked against brute force in lvq_internal_test.cpp;
    // these cases hold how the export passes the width on.
    struct Case { int16_t units; uint16_t width; int winner; int16_t radius; std::vector<int> moved; };
    const Case cases[] = {{12, 4, 5, 1, {0, 1, 2, 4, 5, 6, 8, 9, 10}}, {12, 4, 3, 1, {2, 3, 6, 7}},
                          {12, 4, 11, 0, {11}}, {10, 4, 1, 2, {0, 1, 2, 3}}, {10, 65535, 1, 2, {0, 1, 2, 3}},
                          {10, 32768, 8, 1, {7, 8, 9}}, {12, 1, 5, 1, {4, 5, 6}}, {12, 6, 5, 1, {4, 5, 10, 11}}};
    for (uint16_t math : kBothMaths) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "math " << math << " units " << c.units << " width " << c.width);
            // The winner lies closest to the pattern (6, 6); every unit differs from it.
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

TEST(LvqTraining, UpdateFollowsTheRuleBitForBit) {
    // Float: (x - w) * rate + w in double, rounded once. One row of 6 units:
    // the winner, unit 4, and its neighbours 3 and 5 move.
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 3, 6);
    const Units units = {{0.11f, -2.5f, 3.3f}, {0.7f, 0.1f, -0.2f}, {1.9f, 1.1f, 0.01f},
                         {-0.6f, 5.5f, 2.2f},  {0.3f, 0.2f, 0.1f},  {4.4f, -4.4f, 0.0f}};
    const Floats x = {0.35f, 0.15f, 0.05f};
    lvq.PutUnits(units);
    lvq.PutInput(x);
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);
    ASSERT_EQ(lvq.Evaluate(), 5);
    ASSERT_EQ(lvq.Train(0.37f, 1, 6), KORU32_OK);
    Units expected = units;
    for (size_t k = 9; k < 18; ++k) {
        const double w = units[k / 3][k % 3];
        expected[k / 3][k % 3] = static_cast<float>((static_cast<double>(x[k % 3]) - w) * double{0.37f} + w);
    }
    EXPECT_EQ(lvq.GetUnits(), expected);

    // A negative rate moves away. In 8.24 it becomes trunc(-0.5 x 2^24 + 0.5)
    // = -8388607: (x - w) = +0.5 gives floor(-4194303.5), so w = 0.25 exactly;
    // (x - w) = -0.5 gives floor(4194303.5), so w = 12582911 units.
    for (uint16_t math : kBothMaths) {
        TestNet away(KORU32_NET_LVQ_DISTANCE, math, 2, 1);
        away.PutUnits({{0.5f, 0.5f}});
        away.PutInput({1.0f, 0.0f});
        ASSERT_EQ(away.Train(-0.5f, 0, 0), KORU32_OK);
        const float second = math == KORU32_MATH_FLOAT ? 0.75f : static_cast<float>(12582911 / 16777216.0);
        EXPECT_EQ(away.GetUnits()[0], (Floats{0.25f, second})) << "math " << math;
    }
}

TEST(LvqWinner, SmallestDistanceOrLargestDotWinsAndTiesKeepTheLowerNumberedUnit) {
    struct Case { uint16_t type; Floats values; uint16_t winner; };
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
