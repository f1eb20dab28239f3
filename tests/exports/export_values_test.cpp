// What the exports do with good arguments: the free-slot search, moving values
// as floats and scaled integers, deltas and counts, link shapes, and pattern
// store records.

#include "net_fixture.h"

namespace koru_test {
namespace {

using NetExports = NetTest;

TEST_F(NetExports, GetNextNetAnswersTheLowestFreeSlotWithoutReservingItAndWEPAnswersOne) {
    uint16_t next = 999;
    ASSERT_EQ(All({Net(0, 1), Net(1, 4), GetNextNet(&next), GetNextNet(&next)}), KORU32_OK);
    EXPECT_EQ(next, 2);
    for (int16_t net = 2; net < 128; ++net) ASSERT_EQ(Net(net, 6), KORU32_OK);
    next = 777;
    EXPECT_EQ(GetNextNet(&next), KORU32_ERR_NET_IN_USE);
    EXPECT_EQ(next, 777);  // a failed call writes nothing
    ASSERT_EQ(All({Kill(64), GetNextNet(&next)}), KORU32_OK);
    EXPECT_EQ(next, 64);
    EXPECT_EQ(WEP(0) + WEP(-5), 2);
}

using SlabExports = NetTest;

TEST_F(SlabExports, ValuesMoveByNeuronBySlideAndByFill) {
    ASSERT_EQ(All({Net(0, 1), Slab(0, 0, 3, 0), Slab(0, 1, 1, 0), Slab(0, 31, 32767, 2)}), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{0, 0, 0}));
    const int16_t net = 0, slab = 0, single = 1, third = 3;
    const float nine = 9.0f, half = 7.5f, fill = -2.5f;
    ASSERT_EQ(PutNeuron(&net, &slab, &third, &half), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{0, 0, 7.5f}));
    SetValues(0, 0, {1, 2, 3});
    ASSERT_EQ(All({SlideSlab(&net, &slab, &nine), SlideSlab(&net, &single, &nine)}), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{9, 1, 2}));
    EXPECT_EQ(Values(0, 1, 1), (std::vector<float>{9}));
    ASSERT_EQ(SetSlab(&net, &slab, &fill), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 3), (std::vector<float>{-2.5f, -2.5f, -2.5f}));
}

TEST_F(SlabExports, ScaledIntegersTruncateAndWrapToSixteenBitsInTheNetsFormat) {
    ASSERT_EQ(All({Net(0, 1), Math(KORU32_MATH_FIXED), Net(1, 1), Slab(0, 0, 4, 0), Slab(1, 0, 4, 0)}), KORU32_OK);
    const int16_t in[4] = {2900, 2500, -1, -32768}, s = 0, floatNet = 0, fixedNet = 1;
    int16_t out[5] = {0, 0, 0, 0, 77};
    ASSERT_EQ(All({PutSlabInteger(&floatNet, &s, in), PutSlabInteger(&fixedNet, &s, in)}), KORU32_OK);
    EXPECT_EQ(Values(0, 0, 4), (std::vector<float>{0.29f, 0.25f, -0.0001f, -3.2768f}));
    ASSERT_EQ(GetSlabInteger(&floatNet, &s, out), KORU32_OK);
    // Each float32 value lies just inside its integer, and truncation keeps that.
    EXPECT_EQ(std::vector<int16_t>(out, out + 5), (std::vector<int16_t>{2899, 2500, 0, -32767, 77}));
    ASSERT_EQ(GetSlabInteger(&fixedNet, &s, out), KORU32_OK);
    EXPECT_EQ(out[0], 2900);
    SetValues(0, 0, {4.0f, -0.00019f, 3.2767f, -7.0f});
    ASSERT_EQ(GetSlabInteger(&floatNet, &s, out), KORU32_OK);
    EXPECT_EQ(std::vector<int16_t>(out, out + 5), (std::vector<int16_t>{40000 - 65536, -1, 32767, -70000 + 65536, 77}));
}

TEST_F(SlabExports, DeltasAndCountsAreKeptWhereTheParadigmHasThem) {
    ASSERT_EQ(All({Net(0, 2), Slab(0, 0, 2, 2)}), KORU32_OK);
    const int16_t bp = 0, pnn = 1, grnn = 2, slab = 0, two = 2, output = 2, hidden = 1;
    const float five = 5.0f;
    float back = -1.0f;
    ASSERT_EQ(GetDelta(&bp, &slab, &two, &back), KORU32_OK);
    EXPECT_EQ(back, 0.0f);
    ASSERT_EQ(All({PutDelta(&bp, &slab, &two, &five), GetDelta(&bp, &slab, &two, &back)}), KORU32_OK);
    EXPECT_EQ(back, 5.0f);
    // A PNN output slab keeps class counts and the net's pattern count, of 16 bits, truncated.
    ASSERT_EQ(All({Net(1, 6), Slab(1, 0, 2, 0), Slab(1, 2, 3, 2)}), KORU32_OK);
    EXPECT_EQ(Counts(1, 2, 4), std::vector<float>(4, 0.0f));
    for (const auto& [put, got] : {std::pair{3.9f, 3.0f}, {70000.0f, 4464.0f}, {-1.5f, -1.0f}}) {
        const float set[4] = {put, 1, 2, 0.5f};
        ASSERT_EQ(PutCounts(&pnn, &output, set), KORU32_OK);
        EXPECT_EQ(Counts(1, 2, 4), (std::vector<float>{got, 1, 2, 0.5f}));
    }
    ASSERT_EQ(All({Net(2, 8), Slab(2, 1, 2, 1)}), KORU32_OK);  // a GRNN hidden slab keeps unit counts
    const float set[3] = {5, 6, 7};
    ASSERT_EQ(PutCounts(&grnn, &hidden, set), KORU32_OK);
    EXPECT_EQ(Counts(2, 1, 3), (std::vector<float>{5, 6, 7}));
}

using LinkExports = NetTest;

TEST_F(LinkExports, BackpropagationLinksHaveABiasRowFirstAndOthersNone) {
    for (const auto& [type, first] : {std::pair<uint16_t, int16_t>{1, 0}, {4, 1}}) {
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(type, 3, 2));
        std::vector<float> weights = {10, 11, 12, 13, 14, 15, 16, 17};
        const int16_t net = 0, link = 0, s = 2, d = 1;
        ASSERT_EQ(PutLink(&net, &link, weights.data()), KORU32_OK);
        const float value = -8.0f;
        float w = 0;
        ASSERT_EQ(All({PutWeight(&net, &link, &s, &d, &value), GetWeight(&net, &link, &first, &d, &w)}), KORU32_OK);
        EXPECT_EQ(w, 10.0f);
        weights[size_t(2 - first) * 2] = -8.0f;  // row of source neuron 2, destination 1
        EXPECT_EQ(Weights(0, 0, first ? 6 : 8), std::vector<float>(weights.begin(), weights.end() - 2 * first));
        ASSERT_EQ(Kill(0), KORU32_OK);
    }
}

TEST_F(LinkExports, ChangeArraysBelongToTheMomentumBatchAndAdaptiveRulesAndHaveTheBiasRow) {
    for (uint16_t type : {1, 2, 3, 11, 4, 6}) {
        SCOPED_TRACE(type);
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(type, 2, 3));
        const int16_t net = 0, link = 0, bias = 0, last = 2, dest = 3;
        const float value = 1.5f;
        const int16_t code = KeepsChanges(type) ? 0 : KORU32_ERR_WRONG_PARADIGM;
        EXPECT_EQ(PutChange(&net, &link, &bias, &dest, &value), code);
        EXPECT_EQ(PutChange(&net, &link, &last, &dest, &value), code);
        const std::vector<float> changes = Changes(0, 0, 9, code);
        const float s = type == 11 ? 0.25f : 0.0f;  // adaptive step sizes start at a quarter of the range
        if (code == 0) { EXPECT_EQ(changes, (std::vector<float>{s, s, 1.5f, s, s, s, s, s, 1.5f})); }
        ASSERT_EQ(Kill(0), KORU32_OK);
    }
}

using StoreExports = NetTest;

TEST_F(StoreExports, RecordsKeepTheirValuesInTheModeCurrentWhenTheStoreWasMade) {
    const int16_t net = 0, floats = 0, fixed = 1, big = 2, width = 3;
    const uint32_t ten = 10, many = 70000;
    ASSERT_EQ(All({Math(KORU32_MATH_FIXED), Net(0, 1), Math(KORU32_MATH_FLOAT), MakeStore(&net, &floats, &width, &ten)}), 0);
    ASSERT_EQ(All({Math(KORU32_MATH_FIXED), MakeStore(&net, &fixed, &width, &ten), MakeStore(&net, &big, &width, &many)}), 0);
    const float values[3] = {0.1f, -1, 8};
    for (int16_t store : {floats, fixed, big}) {
        for (uint32_t record : {0u, 9u}) ASSERT_EQ(PutStore(&net, &store, &record, values), KORU32_OK);
    }
    EXPECT_EQ(Record(0, floats, 9, 3), (std::vector<float>{0.1f, -1, 8}));  // float32, though the net is 8.24
    EXPECT_EQ(Record(0, fixed, 0, 3), (std::vector<float>{FloatOfFixed(FixedBits(0.1f)), -0.99999994f, 8}));
    EXPECT_EQ(Record(0, fixed, 5, 3), std::vector<float>(3, 0.0f));
    const uint32_t last = 69999;  // more than 65535 records
    ASSERT_EQ(PutStore(&net, &big, &last, values), KORU32_OK);
    EXPECT_EQ(Record(0, big, 69999, 3), Record(0, big, 0, 3));
    ASSERT_EQ(KillStore(&net, &fixed), KORU32_OK);
    EXPECT_EQ(KillStore(&net, &fixed), KORU32_ERR_NO_STORE);
    EXPECT_EQ(MakeStore(&net, &fixed, &width, &ten), KORU32_OK);
}

TEST_F(StoreExports, CopiesBetweenSlabsAndRecordsMoveTheSmallerWidth) {
    ASSERT_EQ(All({Net(0, 1), Math(KORU32_MATH_FIXED), Net(1, 4), Slab(1, 3, 6, 0)}), KORU32_OK);
    const int16_t storeNet = 0, store = 2, slabNet = 1, slab = 3, width = 4;
    const uint32_t record = 1, records = 3;
    ASSERT_EQ(MakeStore(&storeNet, &store, &width, &records), KORU32_OK);  // 8.24, in a float net
    SetValues(1, 3, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(CopyToStore(&storeNet, &store, &record, &slabNet, &slab), KORU32_OK);
    EXPECT_EQ(Record(0, 2, 1, 4), (std::vector<float>{1, 2, 3, 4}));
    const float negative[4] = {-1, -2, -3, -4};
    ASSERT_EQ(PutStore(&storeNet, &store, &record, negative), KORU32_OK);
    ASSERT_EQ(CopyFromStore(&storeNet, &store, &record, &slabNet, &slab), KORU32_OK);
    const auto fixed = [](double v) { return FloatOfFixed(FixedBits(v)); };  // one unit toward zero
    EXPECT_EQ(Values(1, 3, 6), (std::vector<float>{fixed(-1), fixed(-2), fixed(-3), fixed(-4), 5, 6}));
}

}  // namespace
}  // namespace koru_test
