// The accumulation routines on slabs and links built directly: the terms, the
// ranges limited to the units in use, the rounding after every term, and the
// limits that keep odd counts and shapes inside the arrays. Their bits on
// random data are held by pattern_sums_reference_test.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/engine.h"
#include "core/fixed_point.h"
#include "patternnets/pattern_unit_sums.h"

namespace {

using koru::LinkRecord;
using koru::SlabRecord;
using koru::ValueArray;

class PatternUnitSums : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& [link, original] : swapped_) {
            koru::FreeValueArray(link->weights);
            link->weights = original;
        }
        for (int i = linkCount_ - 1; i >= 0; --i) koru::RemoveLink(links_[i]);
        for (int i = 0; i < slabCount_; ++i) koru::RemoveSlab(slabs_[i]);
    }

    SlabRecord& AddSlab(uint32_t neurons, uint8_t kind) {
        SlabRecord& slab = slabs_[slabCount_++];
        EXPECT_EQ(koru::SetUpSlab(slab, neurons, kind, KORU32_PARADIGM_PNN, koru::kFloat32), KORU32_OK);
        return slab;
    }
    LinkRecord& AddLink(SlabRecord& source, SlabRecord& dest) {
        LinkRecord& link = links_[linkCount_++];
        EXPECT_EQ(koru::SetUpLink(link, dest, source, koru::NetTypeOf(KORU32_NET_PNN_DISTANCE), koru::kFloat32, 0.0), KORU32_OK);
        return link;
    }
    // Gives the link a weight array of another shape or format (the original
    // is put back before the link is removed).
    ValueArray& SwapWeights(LinkRecord& link, int16_t format, uint16_t cols, uint32_t rows) {
        swapped_.push_back({&link, link.weights});
        link.weights = koru::NewValueArray(format, cols, rows);
        return *link.weights;
    }

    static void Fill(ValueArray& array, const std::vector<float>& values) {
        ASSERT_EQ(values.size(), array.count);
        std::memcpy(array.data, values.data(), values.size() * sizeof(float));
    }
    static std::vector<float> Read(ValueArray& array) {
        return std::vector<float>(array.Floats(), array.Floats() + array.count);
    }

private:
    SlabRecord slabs_[6]{};
    LinkRecord links_[6]{};
    int slabCount_ = 0;
    int linkCount_ = 0;
    std::vector<std::pair<LinkRecord*, ValueArray*>> swapped_;
};

TEST_F(PatternUnitSums, EachRoutineFormsItsOwnTerm) {
    // Input (1, 2) against a stored column (1, 0): squared distance 0 + 4,
    // city-block 0 + 2, dot product 1 + 0.
    SlabRecord& input = AddSlab(2, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(1, KORU32_SLAB_HIDDEN);
    LinkRecord& link = AddLink(input, pattern);
    Fill(*input.values, {1.0f, 2.0f});
    Fill(*link.weights, {1.0f, 0.0f});

    koru::SumSquared(link, 1);
    EXPECT_EQ(pattern.values->Floats()[0], 4.0f);
    pattern.values->Floats()[0] = 0.0f;
    koru::SumCityBlock(link, 1);
    EXPECT_EQ(pattern.values->Floats()[0], 2.0f);
    // The routines add to what is there: 2 + 1.
    koru::SumDot(link, 1);
    EXPECT_EQ(pattern.values->Floats()[0], 3.0f);
}

TEST_F(PatternUnitSums, OnlyUnitsInUseAreComputedAndWeighed) {
    SlabRecord& input = AddSlab(2, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(10, KORU32_SLAB_HIDDEN);
    SlabRecord& output = AddSlab(2, KORU32_SLAB_OUTPUT);
    LinkRecord& in = AddLink(input, pattern);
    LinkRecord& out = AddLink(pattern, output);
    Fill(*input.values, {1.0f, 1.0f});
    std::vector<float> column(20, 0.0f);  // unit u's column: 2 rows, stride 10
    for (int u = 0; u < 10; ++u) column[u] = column[10 + u] = static_cast<float>(u);
    Fill(*in.weights, column);
    Fill(*pattern.values, std::vector<float>(10, 7.0f));

    // No unit in use: nothing into the pattern slab, nothing out of it.
    koru::SumSquared(in, 0);
    EXPECT_EQ(Read(*pattern.values), std::vector<float>(10, 7.0f));
    koru::SumDot(out, 0);
    EXPECT_EQ(Read(*output.values), std::vector<float>(2, 0.0f));

    // Three units: values 0..2 gain (1 - u)^2 twice, the rest keep 7.
    koru::SumSquared(in, 3);
    EXPECT_EQ(Read(*pattern.values), (std::vector<float>{9, 7, 9, 7, 7, 7, 7, 7, 7, 7}));

    // Out of the pattern slab only activations 0..2 and rows 0..2 count: the
    // huge activations and targets of units 4..10 must not reach the outputs.
    Fill(*pattern.values, {1, 2, 3, 1e30f, 1e30f, 1e30f, 1e30f, 1e30f, 1e30f, 1e30f});
    std::vector<float> rows(20, 1e30f);
    rows[0] = 1; rows[1] = 10;  // unit 1
    rows[2] = 2; rows[3] = 20;  // unit 2
    rows[4] = 3; rows[5] = 30;  // unit 3
    Fill(*out.weights, rows);
    koru::SumDot(out, 3);
    EXPECT_EQ(Read(*output.values), (std::vector<float>{1 + 4 + 9, 10 + 40 + 90}));
}

TEST_F(PatternUnitSums, RunningValueIsRoundedToFloatAfterEveryTerm) {
    // 1e8 + 1 is 1e8 again in single precision (spacing 8 there), so the four
    // ones vanish one by one and the last term brings the sum back to 0. A sum
    // kept in double and rounded once would give 4.
    SlabRecord& input = AddSlab(6, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(1, KORU32_SLAB_HIDDEN);
    LinkRecord& link = AddLink(input, pattern);
    Fill(*input.values, {1e8f, 1, 1, 1, 1, -1e8f});
    Fill(*link.weights, std::vector<float>(6, 1.0f));
    koru::SumDot(link, 1);
    EXPECT_EQ(pattern.values->Floats()[0], 0.0f);
}

TEST_F(PatternUnitSums, CountsOutsideTheArraysAreCutToThem) {
    SlabRecord& input = AddSlab(2, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(4, KORU32_SLAB_HIDDEN);
    SlabRecord& output = AddSlab(3, KORU32_SLAB_OUTPUT);
    LinkRecord& in = AddLink(input, pattern);
    LinkRecord& out = AddLink(pattern, output);
    Fill(*input.values, {1, 2});
    Fill(*in.weights, std::vector<float>(8, 0.0f));

    // A count of 32767 with four units computes the four, and one below zero
    // computes none.
    koru::SumSquared(in, 32767);
    EXPECT_EQ(Read(*pattern.values), std::vector<float>(4, 5.0f));
    koru::SumSquared(in, -5);
    EXPECT_EQ(Read(*pattern.values), std::vector<float>(4, 5.0f));

    Fill(*out.weights, std::vector<float>(12, 1.0f));
    koru::SumDot(out, 32767);
    EXPECT_EQ(Read(*output.values), std::vector<float>(3, 20.0f));
    koru::SumDot(out, -1);
    EXPECT_EQ(Read(*output.values), std::vector<float>(3, 20.0f));
}

TEST_F(PatternUnitSums, WeightsOfAnotherShapeAreWalkedOnlyWhereBothOverlap) {
    SlabRecord& input = AddSlab(3, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(5, KORU32_SLAB_HIDDEN);
    LinkRecord& link = AddLink(input, pattern);
    Fill(*input.values, {1, 2, 4});

    // A smaller matrix (2 rows, 3 columns): units 1..3 from inputs 1..2, with
    // the matrix's own stride; units 4 and 5 untouched.
    ValueArray& small = SwapWeights(link, koru::kFloat32, 3, 2);
    Fill(small, {1, 1, 1, 10, 10, 10});
    koru::SumDot(link, 5);
    EXPECT_EQ(Read(*pattern.values), (std::vector<float>{21, 21, 21, 0, 0}));

    // A larger matrix (6 rows, 8 columns): only the slabs' 3 inputs and 5
    // units, walked with stride 8.
    std::vector<float> large(48, 1000.0f);
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 5; ++j) large[k * 8 + j] = 1.0f;
    Fill(SwapWeights(link, koru::kFloat32, 8, 6), large);
    Fill(*pattern.values, std::vector<float>(5, 0.0f));
    koru::SumDot(link, 5);
    EXPECT_EQ(Read(*pattern.values), std::vector<float>(5, 7.0f));
}

TEST_F(PatternUnitSums, WeightsInAnotherFormatAddNothing) {
    SlabRecord& input = AddSlab(2, KORU32_SLAB_INPUT);
    SlabRecord& pattern = AddSlab(2, KORU32_SLAB_HIDDEN);
    LinkRecord& link = AddLink(input, pattern);
    Fill(*input.values, {1, 1});
    ValueArray& fixed = SwapWeights(link, koru::kFixed824, 2, 2);
    for (uint32_t i = 0; i < 4; ++i) fixed.Fixed()[i] = koru::kFixedOneBits;
    koru::SumDot(link, 2);
    EXPECT_EQ(Read(*pattern.values), std::vector<float>(2, 0.0f));
}

TEST_F(PatternUnitSums, LinkFromASlabToItselfSeesTheValuesAsTheyAreWritten) {
    // An input slab linked to itself: destinations 1..2 (two units in use)
    // from all three sources, destination by destination, so destination 2
    // reads the sum already left in destination 1.
    SlabRecord& slab = AddSlab(3, KORU32_SLAB_INPUT);
    LinkRecord& link = AddLink(slab, slab);
    const std::vector<float> start{0.5f, 1.5f, 3.0f}, w{1, 2, 3, 4, 5, 6, 7, 8, 9};
    Fill(*slab.values, start);
    Fill(*link.weights, w);
    koru::SumDot(link, 2);
    // By hand: d0 = 0.5 + 0.5*1 = 1, + 1.5*4 = 7, + 3*7 = 28;
    // d1 = 1.5 + 28*2 = 57.5, + 57.5*5 = 345, + 3*8 = 369.
    EXPECT_EQ(Read(*slab.values), (std::vector<float>{28.0f, 369.0f, 3.0f}));
}

}  // namespace
