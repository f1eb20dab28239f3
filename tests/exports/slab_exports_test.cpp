// Slabs: codes in their order, moving values in floats and scaled integers,
// copying and sliding, deltas and counts, and the format a slab is made in.
#include "net_fixture.h"

namespace koru_test {
namespace {

using SlabExports = NetTest;

TEST_F(SlabExports, MakeSlabChecksInItsOrderAndARefusalChangesNothing) {
    EXPECT_EQ(Slab(200, 40, 0, 9), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Slab(0, 32, 0, 9), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Slab(0, -1, 0, 9), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Slab(0, 0, 0, 9), KORU32_ERR_NET_NOT_IN_USE);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    EXPECT_EQ(Slab(0, 0, 0, 3), KORU32_ERR_BAD_SLAB_KIND);
    EXPECT_EQ(Slab(0, 0, 0, -1), KORU32_ERR_BAD_SLAB_KIND);
    EXPECT_EQ(Slab(0, 0, 0, 0), KORU32_ERR_BAD_SIZE);
    EXPECT_EQ(Slab(0, 0, -5, 2), KORU32_ERR_BAD_SIZE);
    ASSERT_EQ(Slab(0, 0, 3, 0), KORU32_OK);
    SetValues(0, 0, {1, 2, 3});
    EXPECT_EQ(Slab(0, 0, 0, 9), KORU32_ERR_BAD_SLAB_KIND);  // own arguments before existence
    EXPECT_EQ(Slab(0, 0, 5, 1), KORU32_ERR_SLAB_EXISTS);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(Slab(0, 31, 32767, 2), KORU32_OK);
}

TEST_F(SlabExports, EveryLookupChecksNetSlabUseAndExistenceInOrder) {
    float values[4] = {};
    int16_t net = 128, slab = 32;
    EXPECT_EQ(GetSlab(&net, &slab, values), KORU32_ERR_BAD_NET_NUMBER);
    net = 0;
    EXPECT_EQ(GetSlab(&net, &slab, values), KORU32_ERR_BAD_SLAB_NUMBER);
    slab = 1;
    EXPECT_EQ(GetSlab(&net, &slab, values), KORU32_ERR_NET_NOT_IN_USE);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    EXPECT_EQ(GetSlab(&net, &slab, values), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(KillSlab(&net, &slab), KORU32_ERR_NO_SLAB);
}

TEST_F(SlabExports, NewSlabsHoldZerosAndBackpropagationDeltas) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 3, 1), KORU32_OK);
    EXPECT_EQ(Values(0, 1, 3), (std::vector<float>{0, 0, 0}));
    const int16_t net = 0, hidden = 1, input = 0, neuron = 1;
    float delta = -1.0f;
    ASSERT_EQ(GetDelta(&net, &hidden, &neuron, &delta), KORU32_OK);
    EXPECT_EQ(delta, 0.0f);
    // Input slabs keep no deltas: refused rather than reaching for them.
    delta = -1.0f;
    EXPECT_EQ(GetDelta(&net, &input, &neuron, &delta), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(PutDelta(&net, &input, &neuron, &delta), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(delta, -1.0f);
}

TEST_F(SlabExports, DeltasAreRefusedWhereNoSlabKeepsThemAndBoundedWhereTheyExist) {
    ASSERT_EQ(Net(0, 4), KORU32_OK);  // LVQ slabs keep no deltas
    ASSERT_EQ(Slab(0, 0, 2, 2), KORU32_OK);
    const int16_t net = 0, slab = 0, one = 1;
    float value = 5.0f;
    EXPECT_EQ(PutDelta(&net, &slab, &one, &value), KORU32_ERR_WRONG_PARADIGM);
    ASSERT_EQ(Net(1, 2), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 2, 2), KORU32_OK);
    const int16_t net1 = 1, zero = 0, three = 3, two = 2;
    EXPECT_EQ(PutDelta(&net1, &slab, &zero, &value), KORU32_ERR_BAD_NEURON);
    EXPECT_EQ(PutDelta(&net1, &slab, &three, &value), KORU32_ERR_BAD_NEURON);
    ASSERT_EQ(PutDelta(&net1, &slab, &two, &value), KORU32_OK);
    float back = 0.0f;
    ASSERT_EQ(GetDelta(&net1, &slab, &two, &back), KORU32_OK);
    EXPECT_EQ(back, 5.0f);
}

TEST_F(SlabExports, NeuronsAreNumberedFromOneAndBounded) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 3, 0), KORU32_OK);
    const int16_t net = 0, slab = 0;
    float value = 7.5f;
    for (int16_t bad : {0, 4, -1, 32767}) {
        EXPECT_EQ(PutNeuron(&net, &slab, &bad, &value), KORU32_ERR_BAD_NEURON) << bad;
        EXPECT_EQ(GetNeuron(&net, &slab, &bad, &value), KORU32_ERR_BAD_NEURON) << bad;
    }
    const int16_t third = 3;
    ASSERT_EQ(PutNeuron(&net, &slab, &third, &value), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{0, 0, 7.5f}));
}

TEST_F(SlabExports, SlideSlabShiftsUpAndTakesTheNewValueFirst) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 3, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 1, 0), KORU32_OK);
    SetValues(0, 0, {1, 2, 3});
    const int16_t net = 0, slab = 0, single = 1;
    const float nine = 9.0f;
    ASSERT_EQ(SlideSlab(&net, &slab, &nine), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{9, 1, 2}));
    ASSERT_EQ(SlideSlab(&net, &single, &nine), KORU32_OK);
    EXPECT_EQ(Values(0, 1, 1), (std::vector<float>{9}));
}

TEST_F(SlabExports, CopySlabMovesAsManyValuesAsTheSmallerSlabHoldsAcrossNetsAndFormats) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(1, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 5, 0), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 3, 0), KORU32_OK);
    SetValues(0, 0, {0.25f, -0.25f, 3, 4, 5});
    SetValues(1, 0, {7, 8, 9});
    const int16_t n0 = 0, n1 = 1, s0 = 0;
    ASSERT_EQ(CopySlab(&n0, &s0, &n1, &s0), KORU32_OK);
    EXPECT_EQ(Values(1, 0, 3), (std::vector<float>{0.25f, -0.24999994f, 3}));
    SetValues(1, 0, {7, 8, 9});
    ASSERT_EQ(CopySlab(&n1, &s0, &n0, &s0), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 5), (std::vector<float>{7, 8, 9, 4, 5}));
    ASSERT_EQ(CopySlab(&n0, &s0, &n0, &s0), KORU32_OK);  // onto itself: unchanged
    EXPECT_EQ(Values(0, 0, 5), (std::vector<float>{7, 8, 9, 4, 5}));
}

TEST_F(SlabExports, CopySlabLooksUpTheDestinationFirst) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    const int16_t n0 = 0, missing = 4, badNet = 300, badSlab = 99;
    EXPECT_EQ(CopySlab(&badNet, &missing, &n0, &missing), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(CopySlab(&n0, &badSlab, &badNet, &missing), KORU32_ERR_BAD_NET_NUMBER);
}

TEST_F(SlabExports, ScaledIntegersMoveThroughTheNetsFormat) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(1, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 4, 0), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 4, 0), KORU32_OK);
    const int16_t in[4] = {2900, 2500, -1, -32768};
    const int16_t s = 0;
    int16_t out[4] = {};
    for (int16_t net : {0, 1}) ASSERT_EQ(PutSlabInteger(&net, &s, in), KORU32_OK);
    const int16_t floatNet = 0, fixedNet = 1;
    ASSERT_EQ(GetSlabInteger(&floatNet, &s, out), KORU32_OK);
    // 0.29 is held as 0.28999999165534973 in float32, and truncation keeps 2899.
    EXPECT_EQ(out[0], 2899);
    EXPECT_EQ(out[1], 2500);
    ASSERT_EQ(GetSlabInteger(&fixedNet, &s, out), KORU32_OK);
    EXPECT_EQ(out[0], 2900);
    EXPECT_EQ(out[1], 2500);
    EXPECT_EQ(Values(0, 0, 4)[2], -0.0001f);
}

TEST_F(SlabExports, IntegerReadsTruncateAndWrapToSixteenBits) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 4, 0), KORU32_OK);
    SetValues(0, 0, {4.0f, -0.00019f, 3.2767f, -7.0f});
    const int16_t net = 0, slab = 0;
    int16_t out[4] = {};
    ASSERT_EQ(GetSlabInteger(&net, &slab, out), KORU32_OK);
    EXPECT_EQ(out[0], 40000 - 65536);
    EXPECT_EQ(out[1], -1);  // -1.9 truncated toward zero
    EXPECT_EQ(out[3], -70000 + 65536);
}

TEST_F(SlabExports, SetSlabFillsEveryNeuron) {
    ASSERT_EQ(Net(0, 4), KORU32_OK);
    ASSERT_EQ(Slab(0, 2, 3, 1), KORU32_OK);
    const int16_t net = 0, slab = 2;
    const float value = -2.5f;
    ASSERT_EQ(SetSlab(&net, &slab, &value), KORU32_OK);
    EXPECT_EQ(Values(0, 2, 3), (std::vector<float>{-2.5f, -2.5f, -2.5f}));
}

TEST_F(SlabExports, TransferBelongsToBackpropagationAndChecksItsCode) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Net(1, 4), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 1, 1), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 1, 1), KORU32_OK);
    const int16_t bp = 0, lvq = 1, slab = 0, bad = 8, negative = -1, good = 7;
    EXPECT_EQ(Transfer(&bp, &slab, &bad), KORU32_ERR_BAD_CODE);
    EXPECT_EQ(Transfer(&bp, &slab, &negative), KORU32_ERR_BAD_CODE);
    EXPECT_EQ(Transfer(&bp, &slab, &good), KORU32_OK);
    EXPECT_EQ(Transfer(&lvq, &slab, &bad), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Transfer(&lvq, &slab, &good), KORU32_ERR_WRONG_PARADIGM);
}

TEST_F(SlabExports, KillSlabWaitsUntilItsLinksAreGone) {
    ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(1, 2, 2));
    const int16_t net = 0, source = 0, dest = 1, link = 0;
    EXPECT_EQ(KillSlab(&net, &source), KORU32_ERR_SLAB_HAS_LINKS);
    EXPECT_EQ(KillSlab(&net, &dest), KORU32_ERR_SLAB_HAS_LINKS);
    EXPECT_EQ(Values(0, 0, 2).size(), 2u);  // still there
    ASSERT_EQ(KillLink(&net, &link), KORU32_OK);
    EXPECT_EQ(KillSlab(&net, &source), KORU32_OK);
    EXPECT_EQ(KillSlab(&net, &dest), KORU32_OK);
    EXPECT_EQ(KillSlab(&net, &dest), KORU32_ERR_NO_SLAB);
}

TEST_F(SlabExports, SlabsTakeTheirNetsFormatWhateverTheModeSaysSinceTheNetWasMade) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);  // float32
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, 2, 1), KORU32_OK);
    ASSERT_EQ(Link(0, 0, 0.5f, 0, 1), KORU32_OK);
    EXPECT_FALSE(HoldsFixedPoint(0, 0));
    const int16_t net = 0, link = 0, s = 1, d = 1;
    const float tenth = 0.1f;
    float back = 0.0f;
    ASSERT_EQ(PutWeight(&net, &link, &s, &d, &tenth), KORU32_OK);
    ASSERT_EQ(GetWeight(&net, &link, &s, &d, &back), KORU32_OK);
    EXPECT_EQ(back, tenth);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(1, 1), KORU32_OK);  // fixed
    ASSERT_EQ(Math(KORU32_MATH_FLOAT), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 2, 0), KORU32_OK);
    EXPECT_TRUE(HoldsFixedPoint(1, 0));
}

TEST_F(SlabExports, CountsBelongToPatternNetsAndCarryThePatternCount) {
    ASSERT_EQ(Net(0, 6), KORU32_OK);  // PNN: the output slab keeps class counts
    ASSERT_EQ(Slab(0, 0, 2, 0), KORU32_OK);
    ASSERT_EQ(Slab(0, 2, 3, 2), KORU32_OK);
    const int16_t net = 0, input = 0, output = 2;
    float counts[4] = {9, 9, 9, 9};
    ASSERT_EQ(GetCounts(&net, &output, counts), KORU32_OK);
    EXPECT_EQ(std::vector<float>(counts, counts + 4), (std::vector<float>{0, 0, 0, 0}));
    const float set[4] = {3.9f, 1, 2, 0.5f};
    ASSERT_EQ(PutCounts(&net, &output, set), KORU32_OK);
    ASSERT_EQ(GetCounts(&net, &output, counts), KORU32_OK);
    EXPECT_EQ(std::vector<float>(counts, counts + 4), (std::vector<float>{3, 1, 2, 0.5f}));
    const float wrapped[4] = {70000.0f, 0, 0, 0};  // the pattern count keeps 16 bits
    ASSERT_EQ(PutCounts(&net, &output, wrapped), KORU32_OK);
    ASSERT_EQ(GetCounts(&net, &output, counts), KORU32_OK);
    EXPECT_EQ(counts[0], 4464.0f);
    const float negative[4] = {-1.5f, 0, 0, 0};
    ASSERT_EQ(PutCounts(&net, &output, negative), KORU32_OK);
    ASSERT_EQ(GetCounts(&net, &output, counts), KORU32_OK);
    EXPECT_EQ(counts[0], -1.0f);
    // The input slab keeps no counts.
    EXPECT_EQ(GetCounts(&net, &input, counts), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(PutCounts(&net, &input, set), KORU32_ERR_WRONG_PARADIGM);
}

TEST_F(SlabExports, CountsAreRefusedOutsidePatternNetsAndKeptByGrnnHiddenSlabs) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 2, 2), KORU32_OK);
    ASSERT_EQ(Net(1, 8), KORU32_OK);
    ASSERT_EQ(Slab(1, 1, 2, 1), KORU32_OK);
    const int16_t bp = 0, slab = 0, grnn = 1, hidden = 1;
    float counts[3] = {5, 5, 5};
    EXPECT_EQ(GetCounts(&bp, &slab, counts), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(PutCounts(&bp, &slab, counts), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(counts[0], 5.0f);
    EXPECT_EQ(PutCounts(&grnn, &hidden, counts), KORU32_OK);
    float back[3] = {};
    ASSERT_EQ(GetCounts(&grnn, &hidden, back), KORU32_OK);
    EXPECT_EQ(std::vector<float>(back, back + 3), (std::vector<float>{5, 5, 5}));
}

}  // namespace
}  // namespace koru_test
