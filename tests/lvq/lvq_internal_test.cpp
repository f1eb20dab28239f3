// The engine's own LVQ routines: the grid neighbourhood for every radius,
// and exact 8.24 winners and training steps on raw elements.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../backprop/bp_records.h"
#include "core/engine.h"
#include "lvq/grid.h"
#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

koru::SlabRecord& Slab(const TestNet& lvq, int16_t slab) { return koru::netTable[lvq.net()].block->slabs[slab]; }
int32_t* RawValues(const TestNet& lvq, int16_t slab) { return Slab(lvq, slab).values->Fixed(); }
int32_t* RawWeights(const TestNet& lvq, int16_t link) { return koru::netTable[lvq.net()].block->links[link].weights->Fixed(); }

std::vector<int> UnitsIn(const koru::Neighbourhood& area) {
    std::vector<int> units;
    for (uint32_t row = area.firstRow; !area.empty && row <= area.lastRow; ++row) {
        for (uint32_t column = area.firstColumn; column <= area.lastColumn; ++column)
            units.push_back(static_cast<int>(row * area.columns + column));
    }
    return units;
}

// Units within Chebyshev distance `radius` of the winner, by testing every unit.
std::vector<int> UnitsWithinReach(uint32_t units, int16_t width, uint32_t winner, int16_t radius) {
    const int64_t columns = (width > 0 && units % static_cast<uint32_t>(width) == 0) ? width : units;
    std::vector<int> reached;
    for (int64_t u = 0; u < units; ++u) {
        if (std::llabs(u / columns - winner / columns) <= radius && std::llabs(u % columns - winner % columns) <= radius)
            reached.push_back(static_cast<int>(u));
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
                    ASSERT_EQ(UnitsIn(koru::FindNeighbourhood(units, width, static_cast<uint16_t>(w), radius)),
                              UnitsWithinReach(units, width, w, radius))
                        << units << " units, width " << width << ", winner " << w << ", radius " << radius;
                }
            }
        }
    }
}

TEST(LvqFixed, WinnerComparesSignedElementsAndCodesItInRawOnes) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FIXED, 1, 4);
    ASSERT_TRUE(lvq.ok());
    const int32_t values[4] = {5, -2147483647 - 1, 7, -2147483647 - 1};
    std::copy(values, values + 4, RawValues(lvq, kOutput));
    EXPECT_EQ(lvq.Evaluate(1), 2);
    EXPECT_EQ(Slab(lvq, kOutput).winner, 1);
    EXPECT_EQ(std::vector<int32_t>(RawValues(lvq, kOutput), RawValues(lvq, kOutput) + 4),
              (std::vector<int32_t>{0, 1 << 24, 0, 0}));
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
    // 0.3f x 2^24 + 0.5 = 5033165.3 truncates to 5033165; differences and sums wrap.
    for (int i = 0; i < 3; ++i) {
        const uint32_t d = static_cast<uint32_t>(x[i]) - static_cast<uint32_t>(w[i * 2]);
        const uint32_t step = static_cast<uint32_t>(bptest::RefMul(static_cast<int32_t>(d), 5033165));
        EXPECT_EQ(RawWeights(lvq, kLink)[i * 2], static_cast<int32_t>(step + static_cast<uint32_t>(w[i * 2]))) << i;
        EXPECT_EQ(RawWeights(lvq, kLink)[i * 2 + 1], 99) << "unit 1 lies outside radius 0";
    }
    EXPECT_EQ(RawWeights(lvq, kLink)[0], 5033165);  // 2^24 x 5033165 / 2^24 exactly
}
