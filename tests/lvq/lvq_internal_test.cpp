// The engine's own LVQ routines: the grid neighbourhood for every radius,
// exact 8.24 arithmetic on raw elements, link statuses, a winner field that
// lies off the grid, and a link from a slab to itself. The 8.24 scores on
// random data are held by lvq_scores_reference_test.cpp.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../backprop/bp_records.h"
#include "core/engine.h"
#include "lvq/grid.h"
#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

using bptest::RefMul;

koru::SlabRecord& Slab(const TestNet& lvq, int16_t slab) { return koru::netTable[lvq.net()].block->slabs[slab]; }
koru::LinkRecord& Link(const TestNet& lvq, int16_t link) { return koru::netTable[lvq.net()].block->links[link]; }
int32_t* RawValues(const TestNet& lvq, int16_t slab) { return Slab(lvq, slab).values->Fixed(); }
int32_t* RawWeights(const TestNet& lvq, int16_t link) { return Link(lvq, link).weights->Fixed(); }

std::vector<int> UnitsIn(const koru::Neighbourhood& area) {
    std::vector<int> units;
    if (area.empty) return units;
    for (uint32_t row = area.firstRow; row <= area.lastRow; ++row) {
        for (uint32_t column = area.firstColumn; column <= area.lastColumn; ++column) {
            units.push_back(static_cast<int>(row * area.columns + column));
        }
    }
    return units;
}

// Units within Chebyshev distance `radius` of the winner, by testing every unit.
std::vector<int> UnitsWithinReach(uint32_t units, int16_t width, uint16_t winner, int16_t radius) {
    const int64_t columns = (width > 0 && units % static_cast<uint32_t>(width) == 0) ? width : units;
    std::vector<int> reached;
    for (int64_t u = 0; u < units; ++u) {
        const int64_t rowGap = std::llabs(u / columns - winner / columns);
        const int64_t columnGap = std::llabs(u % columns - winner % columns);
        if (rowGap <= radius && columnGap <= radius) reached.push_back(static_cast<int>(u));
    }
    return reached;
}

}  // namespace

TEST(LvqNeighbourhood, MatchesEveryUnitWithinReach) {
    const uint32_t unitCounts[] = {1, 2, 3, 4, 6, 10, 12, 24, 35};
    const int16_t widths[] = {-32768, -5, -1, 0, 1, 2, 3, 4, 5, 6, 7, 12, 24, 100, 32767};
    const int16_t radii[] = {0, 1, 2, 3, 5, 100, 32766, 32767};
    for (uint32_t units : unitCounts) {
        for (int16_t width : widths) {
            for (int16_t radius : radii) {
                for (uint32_t w = 0; w < units + 40; ++w) {
                    const auto winner = static_cast<uint16_t>(w);
                    ASSERT_EQ(UnitsIn(koru::FindNeighbourhood(units, width, winner, radius)),
                              UnitsWithinReach(units, width, winner, radius))
                        << units << " units, width " << width << ", winner " << winner << ", radius " << radius;
                }
            }
        }
    }
}

TEST(LvqNeighbourhood, ExtremeWinnersAndRadiiStayOnTheGrid) {
    // The largest winner field with the largest radius reaches back over the
    // whole grid; without the reach it lies off the grid and nothing moves.
    EXPECT_EQ(UnitsIn(koru::FindNeighbourhood(12, 4, 65535, 32767)), UnitsWithinReach(12, 4, 65535, 32767));
    EXPECT_EQ(UnitsIn(koru::FindNeighbourhood(12, 4, 65535, 32767)).size(), 12u);
    EXPECT_TRUE(koru::FindNeighbourhood(12, 4, 65535, 1).empty);
    // One column of 32767 rows: row 65534 is 32767 rows below the last row
    // (32766), row 65533 reaches exactly the last row.
    EXPECT_TRUE(koru::FindNeighbourhood(32767, 1, 65535, 32767).empty);
    EXPECT_TRUE(koru::FindNeighbourhood(32767, 1, 65534, 32767).empty);
    const auto lastRow = koru::FindNeighbourhood(32767, 1, 65533, 32767);
    ASSERT_FALSE(lastRow.empty);
    EXPECT_EQ(lastRow.columns, 1u);
    EXPECT_EQ(lastRow.firstRow, 32766u);
    EXPECT_EQ(lastRow.lastRow, 32766u);
    // One row of 32767 units, winner 0: every column.
    const auto wholeRow = koru::FindNeighbourhood(32767, 0, 0, 32767);
    ASSERT_FALSE(wholeRow.empty);
    EXPECT_EQ(wholeRow.columns, 32767u);
    EXPECT_EQ(wholeRow.firstColumn, 0u);
    EXPECT_EQ(wholeRow.lastColumn, 32766u);
    EXPECT_TRUE(koru::FindNeighbourhood(12, 4, 5, -1).empty);
}

TEST(LvqFixed, DistanceScoresFloorAndWrap) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FIXED, 3, 3);
    ASSERT_TRUE(lvq.ok());
    // Input, and units stored source row by source row (3 units a row).
    const int32_t x[3] = {1677722, -3, 10 << 24};
    const int32_t w[9] = {
        5033165, -1,        0x7FFFFFFF,  // source 0, units 0..2
        4,       16777219,  -5,          // source 1
        -(2 << 24), 123457, -(1 << 24),  // source 2: unit 0 gives (12.0)^2 = 144, which wraps
    };
    std::copy(x, x + 3, RawValues(lvq, kInput));
    std::copy(w, w + 9, RawWeights(lvq, kLink));
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);
    // Unit 0 by hand: d = -3355443, -7, 12 x 2^24. The squares floor to
    // 671088 (11258998120249 / 2^24 = 671088.6...), 0 (49 / 2^24), and
    // 144 x 2^24, which wraps to -112 x 2^24.
    EXPECT_EQ(RawValues(lvq, kOutput)[0], 671088 + 0 - 112 * (1 << 24));
}

TEST(LvqFixed, DotScoresFloorNegativeProducts) {
    TestNet lvq(KORU32_NET_LVQ_DOT, KORU32_MATH_FIXED, 2, 2);
    ASSERT_TRUE(lvq.ok());
    const int32_t x[2] = {-1, 3 << 23};
    const int32_t w[4] = {1 << 24, 1, 5592405, -5592405};
    std::copy(x, x + 2, RawValues(lvq, kInput));
    std::copy(w, w + 4, RawWeights(lvq, kLink));
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);
    // Unit 0: -1 x 1.0 = -1; 1.5 x 5592405 = 8388607.5 floors to 8388607.
    // Unit 1: -1 x 1 / 2^24 floors to -1; 1.5 x -5592405 floors to -8388608.
    EXPECT_EQ(RawValues(lvq, kOutput)[0], -1 + 8388607);
    EXPECT_EQ(RawValues(lvq, kOutput)[1], -1 - 8388608);
    uint16_t winner = 0, flag = 1;
    int16_t net = lvq.net(), slab = kOutput;
    ASSERT_EQ(LvqEvaluate(&net, &slab, &winner, &flag), KORU32_OK);
    EXPECT_EQ(winner, 1);
    EXPECT_EQ(RawValues(lvq, kOutput)[0], 1 << 24);
    EXPECT_EQ(RawValues(lvq, kOutput)[1], 0);
}

TEST(LvqFixed, WinnerComparesSignedElements) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FIXED, 1, 4);
    ASSERT_TRUE(lvq.ok());
    const int32_t values[4] = {5, -2147483647 - 1, 7, -2147483647 - 1};
    std::copy(values, values + 4, RawValues(lvq, kOutput));
    EXPECT_EQ(lvq.Evaluate(), 2);
    EXPECT_EQ(Slab(lvq, kOutput).winner, 1);
}

TEST(LvqFixed, TrainingStepIsExact) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FIXED, 3, 2);
    ASSERT_TRUE(lvq.ok());
    const int32_t x[3] = {1 << 24, -7, 0x7F000000};
    const int32_t w[6] = {0, 99, 3, 99, -(0x7F000000), 99};
    std::copy(x, x + 3, RawValues(lvq, kInput));
    std::copy(w, w + 6, RawWeights(lvq, kLink));
    Slab(lvq, kOutput).winner = 0;
    ASSERT_EQ(lvq.Train(0.3f, 0, 0), KORU32_OK);
    // 0.3f is 0.300000011920928955...; x 2^24 + 0.5 = 5033165.3 truncates to 5033165.
    const int32_t rate = 5033165;
    for (int i = 0; i < 3; ++i) {
        const int32_t d = static_cast<int32_t>(static_cast<uint32_t>(x[i]) - static_cast<uint32_t>(w[i * 2]));
        EXPECT_EQ(RawWeights(lvq, kLink)[i * 2], bptest::RefAdd(RefMul(d, rate), w[i * 2])) << i;
        EXPECT_EQ(RawWeights(lvq, kLink)[i * 2 + 1], 99) << "unit 1 lies outside radius 0";
    }
    // Source 0 by hand: 2^24 x 5033165 / 2^24 = 5033165 exactly.
    EXPECT_EQ(RawWeights(lvq, kLink)[0], 5033165);
}

TEST(LvqLinks, StatusDecidesWhatIsScoredAndTrained) {
    for (uint16_t math : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
        // Links 0 (slab 0) and 1 (slab 2) both end in the output slab.
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 1, 2);
        ASSERT_TRUE(lvq.ok());
        ASSERT_EQ(lvq.MakeSlabAt(2, 1, KORU32_SLAB_INPUT), KORU32_OK);
        ASSERT_EQ(lvq.MakeLinkAt(1, 2, kOutput), KORU32_OK);
        lvq.PutUnits({{1.0f}, {2.0f}}, 0);
        lvq.PutUnits({{0.5f}, {0.0f}}, 1);
        lvq.PutInput({0.0f});
        lvq.PutValues(2, {1.0f});

        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.25f, 5.0f}));
        Link(lvq, 1).status = KORU32_LINK_PROPAGATED;
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.25f, 5.0f}));
        Link(lvq, 1).status = KORU32_LINK_IGNORED;
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{1.0f, 4.0f}));
        // Only an ignored link: every score is 0 and unit 1 wins.
        Link(lvq, 0).status = KORU32_LINK_IGNORED;
        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
        EXPECT_EQ(lvq.Scores(), (std::vector<float>{0.0f, 0.0f}));
        EXPECT_EQ(lvq.Evaluate(), 1);

        // Only links of status 2 are trained.
        const auto units0 = lvq.GetUnits(0, 1, 2);
        Link(lvq, 0).status = KORU32_LINK_PROPAGATED;
        Link(lvq, 1).status = KORU32_LINK_TRAINED;
        ASSERT_EQ(lvq.Train(1.0f, 5, 0, kInput), KORU32_OK);
        ASSERT_EQ(lvq.Train(1.0f, 5, 0, 2), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(0, 1, 2), units0);
        EXPECT_EQ(lvq.GetUnits(1, 1, 2), (std::vector<std::vector<float>>{{1.0f}, {1.0f}}));
        Link(lvq, 1).status = KORU32_LINK_IGNORED;
        lvq.PutValues(2, {-1.0f});
        ASSERT_EQ(lvq.Train(1.0f, 5, 0, 2), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(1, 1, 2), (std::vector<std::vector<float>>{{1.0f}, {1.0f}}));
    }
}

TEST(LvqLinks, WinnerFieldOffTheGridNeverLeavesIt) {
    for (uint16_t math : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, 12);
        ASSERT_TRUE(lvq.ok());
        lvq.PutInput({3.0f, -3.0f});
        const auto before = lvq.GetUnits();
        // 3 rows of 4: unit 65535 would sit in row 16383, column 3.
        Slab(lvq, kOutput).winner = 65535;
        ASSERT_EQ(lvq.Train(0.5f, 1, 4), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), before);
        // One row of 12: unit 65535 sits in row 5461, which a radius of 5460
        // does not bring back to row 0.
        ASSERT_EQ(lvq.Train(0.5f, 5460, 0), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), before);
        // A radius that reaches back covers the grid, and only the grid.
        ASSERT_EQ(lvq.Train(1.0f, 32767, 4), KORU32_OK);
        for (const auto& unit : lvq.GetUnits()) EXPECT_EQ(unit, (std::vector<float>{3.0f, -3.0f}));
        // Just off the last row: rows 2..4 are cut to row 2.
        lvq.PutInput({1.0f, 1.0f});
        Slab(lvq, kOutput).winner = 13;  // row 3, column 1
        ASSERT_EQ(lvq.Train(1.0f, 1, 4), KORU32_OK);
        const auto after = lvq.GetUnits();
        const std::vector<float> pattern = {1.0f, 1.0f}, old = {3.0f, -3.0f};
        for (int j = 0; j < 12; ++j) {
            const bool moved = j == 8 || j == 9 || j == 10;
            EXPECT_EQ(after[j], moved ? pattern : old) << j;
        }
    }
}

TEST(LvqLinks, SelfLinkReadsScoresAsTheyAreWritten) {
    // A link from the output slab to itself: its values are cleared first,
    // and every term reads the source neuron's score as it stands then.
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 1, 3);
    ASSERT_TRUE(lvq.ok());
    ASSERT_EQ(lvq.MakeLinkAt(1, kOutput, kOutput), KORU32_OK);
    const std::vector<std::vector<float>> self = {{0.5f, -1.0f, 2.0f}, {1.5f, 0.25f, -0.5f}, {3.0f, 1.0f, 0.0f}};
    lvq.PutUnits({{1.0f}, {-2.0f}, {0.5f}}, 0);
    lvq.PutUnits(self, 1);
    lvq.PutInput({0.75f});
    lvq.PutValues(kOutput, {9.0f, 9.0f, 9.0f});
    ASSERT_EQ(lvq.Propagate(), KORU32_OK);

    std::vector<float> v(3, 0.0f);
    const float x = 0.75f, first[3] = {1.0f, -2.0f, 0.5f};
    for (int j = 0; j < 3; ++j) {
        const double d = static_cast<double>(x) - first[j];
        v[j] = static_cast<float>(v[j] + d * d);
    }
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            const double d = static_cast<double>(v[i]) - self[j][i];
            v[j] = static_cast<float>(v[j] + d * d);
        }
    }
    EXPECT_EQ(lvq.Scores(), v);
}
