// The accumulation routines on slabs and links built directly, where the
// exports rarely go: unit counts outside the arrays, weight matrices of
// another shape or format, and a link from a slab to itself. Their bits on
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
using Floats = std::vector<float>;

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
    SlabRecord& AddSlab(uint32_t neurons, uint8_t kind, const Floats& values) {
        SlabRecord& slab = slabs_[slabCount_++];
        EXPECT_EQ(koru::SetUpSlab(slab, neurons, kind, KORU32_PARADIGM_PNN, koru::kFloat32), KORU32_OK);
        Fill(*slab.values, values);
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
    static void Fill(ValueArray& array, const Floats& values) {
        ASSERT_EQ(values.size(), array.count);
        std::memcpy(array.data, values.data(), values.size() * sizeof(float));
    }
    static Floats Read(ValueArray& array) { return Floats(array.Floats(), array.Floats() + array.count); }

private:
    SlabRecord slabs_[6]{};
    LinkRecord links_[6]{};
    int slabCount_ = 0, linkCount_ = 0;
    std::vector<std::pair<LinkRecord*, ValueArray*>> swapped_;
};

TEST_F(PatternUnitSums, CountsOutsideTheArraysAreCutToThem) {
    SlabRecord& input = AddSlab(2, KORU32_SLAB_INPUT, {1, 2});
    SlabRecord& pattern = AddSlab(4, KORU32_SLAB_HIDDEN, Floats(4, 0.0f));
    SlabRecord& output = AddSlab(3, KORU32_SLAB_OUTPUT, Floats(3, 0.0f));
    LinkRecord& in = AddLink(input, pattern);
    LinkRecord& out = AddLink(pattern, output);
    Fill(*in.weights, Floats(8, 0.0f));
    Fill(*out.weights, Floats(12, 1.0f));
    // 32767 units in use with four units computes the four; below zero computes none.
    for (int32_t units : {32767, -5}) {
        koru::SumSquared(in, units);
        EXPECT_EQ(Read(*pattern.values), Floats(4, 5.0f)) << units;
        koru::SumDot(out, units);
        EXPECT_EQ(Read(*output.values), Floats(3, 20.0f)) << units;
    }
}

TEST_F(PatternUnitSums, WeightsOfAnotherShapeOrFormatAreWalkedOnlyWhereBothOverlap) {
    SlabRecord& input = AddSlab(3, KORU32_SLAB_INPUT, {1, 2, 4});
    SlabRecord& pattern = AddSlab(5, KORU32_SLAB_HIDDEN, Floats(5, 0.0f));
    LinkRecord& link = AddLink(input, pattern);
    // A smaller matrix (2 rows, 3 columns): units 1..3 from inputs 1..2, with
    // the matrix's own stride; units 4 and 5 untouched.
    Fill(SwapWeights(link, koru::kFloat32, 3, 2), {1, 1, 1, 10, 10, 10});
    koru::SumDot(link, 5);
    EXPECT_EQ(Read(*pattern.values), (Floats{21, 21, 21, 0, 0}));
    // A larger one (6 rows, 8 columns): only the 3 inputs and 5 units, with stride 8.
    Floats large(48, 1000.0f);
    for (int k = 0; k < 3; ++k) std::fill_n(large.begin() + k * 8, 5, 1.0f);
    Fill(SwapWeights(link, koru::kFloat32, 8, 6), large);
    Fill(*pattern.values, Floats(5, 0.0f));
    koru::SumDot(link, 5);
    EXPECT_EQ(Read(*pattern.values), Floats(5, 7.0f));
    // Weights in 8.24 add nothing.
    ValueArray& fixed = SwapWeights(link, koru::kFixed824, 5, 3);
    for (uint32_t i = 0; i < fixed.count; ++i) fixed.Fixed()[i] = koru::kFixedOneBits;
    koru::SumDot(link, 5);
    EXPECT_EQ(Read(*pattern.values), Floats(5, 7.0f));
}

TEST_F(PatternUnitSums, LinkFromASlabToItselfSeesTheValuesAsTheyAreWritten) {
    // Destinations 1..2 (two units in use) from all three sources, so
    // destination 2 reads the sum already left in destination 1:
    // d0 = 0.5 + 0.5*1 + 1.5*4 + 3*7 = 28; d1 = 1.5 + 28*2 = 57.5, + 57.5*5, + 3*8 = 369.
    SlabRecord& slab = AddSlab(3, KORU32_SLAB_INPUT, {0.5f, 1.5f, 3.0f});
    LinkRecord& link = AddLink(slab, slab);
    Fill(*link.weights, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    koru::SumDot(link, 2);
    EXPECT_EQ(Read(*slab.values), (Floats{28.0f, 369.0f, 3.0f}));
}

}  // namespace
