// The evaluation exports and AddSlab: codes and their order, the target
// conversions of every source, the output deltas, and the running error sum.
#include <gtest/gtest.h>

#include <cmath>

#include "bp_net.h"
#include "bp_records.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 30;
constexpr int16_t kOtherNet = 31;
constexpr float kUnwritten = -999.0f;

int16_t EvaluateInteger(int16_t net, int16_t slab, const std::vector<int16_t>& targets, float& sum) {
    return BpEvaluateInteger(&net, &slab, targets.data(), &sum);
}
int16_t EvaluateStore(int16_t net, int16_t slab, int16_t storeNet, int16_t store, uint32_t record, float& sum) {
    return BpEvaluateStore(&net, &slab, &storeNet, &store, &record, &sum);
}
int16_t EvaluateSumStore(int16_t net, int16_t slab, int16_t storeNet, int16_t store, uint32_t record) {
    return BpEvaluateSumStore(&net, &slab, &storeNet, &store, &record);
}
int16_t MakeStoreIn(int16_t net, int16_t store, int16_t width, uint32_t records, uint16_t math) {
    SetMath(&math);  // a store takes the math mode current at the call
    return MakeStore(&net, &store, &width, &records);
}
int16_t PutRecord(int16_t net, int16_t store, uint32_t record, const std::vector<float>& values) {
    return PutStore(&net, &store, &record, values.data());
}
int16_t Add(int16_t net, int16_t source, int16_t dest, float factor) { return AddSlab(&net, &source, &dest, &factor); }

// Input slab 0 (2), hidden slab 1 (2), output slab 2 (2); a link 0 -> 1 -> 2.
class EvaluationNet : public ::testing::Test {
protected:
    explicit EvaluationNet(uint16_t math = KORU32_MATH_FLOAT) : net(kNet, KORU32_NET_BP_PLAIN, math) {}
    void SetUp() override {
        ASSERT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
        ASSERT_EQ(Slab(net, 1, 2, KORU32_SLAB_HIDDEN), 0);
        ASSERT_EQ(Slab(net, 2, 2, KORU32_SLAB_OUTPUT), 0);
        ASSERT_EQ(Link(net, 0, 0, 1), 0);
        ASSERT_EQ(Link(net, 1, 1, 2), 0);
    }
    Net net;
};

// ---- Codes --------------------------------------------------------------

// The six evaluation exports on (net, slab); a refused call must leave gSum.
float gSum = kUnwritten;
const std::vector<int16_t (*)(int16_t, int16_t)> kEvaluations = {
    [](int16_t n, int16_t s) { return Evaluate(n, s, {0, 0}, gSum); },
    [](int16_t n, int16_t s) { return EvaluateSum(n, s, {0, 0}); },
    [](int16_t n, int16_t s) { return GetSum(n, s, gSum); },
    [](int16_t n, int16_t s) { return EvaluateInteger(n, s, {0, 0}, gSum); },
    [](int16_t n, int16_t s) { return EvaluateStore(n, s, 128, 9, 0, gSum); },
    [](int16_t n, int16_t s) { return EvaluateSumStore(n, s, 128, 9, 0); },
};

TEST_F(EvaluationNet, LookupsThenKindThenParadigmBeforeTheStore) {
    Net lvq(kOtherNet, KORU32_NET_LVQ_DISTANCE);
    ASSERT_EQ(Slab(lvq, 0, 2, KORU32_SLAB_HIDDEN), 0);
    ASSERT_EQ(Slab(lvq, 1, 2, KORU32_SLAB_OUTPUT), 0);
    for (size_t e = 0; e < kEvaluations.size(); ++e) {
        const auto call = kEvaluations[e];
        EXPECT_EQ(call(128, 32), KORU32_ERR_BAD_NET_NUMBER) << e;
        EXPECT_EQ(call(net, 32), KORU32_ERR_BAD_SLAB_NUMBER) << e;
        EXPECT_EQ(call(kOtherNet + 1, 2), KORU32_ERR_NET_NOT_IN_USE) << e;
        EXPECT_EQ(call(net, 5), KORU32_ERR_NO_SLAB) << e;
        // The slab's kind is tested before the paradigm and the store.
        EXPECT_EQ(call(net, 0), KORU32_ERR_NOT_OUTPUT_SLAB) << e;
        EXPECT_EQ(call(net, 1), KORU32_ERR_NOT_OUTPUT_SLAB) << e;
        EXPECT_EQ(call(lvq, 0), KORU32_ERR_NOT_OUTPUT_SLAB) << e;
        EXPECT_EQ(call(lvq, 1), KORU32_ERR_WRONG_PARADIGM) << e;
    }
    EXPECT_EQ(gSum, kUnwritten);
}

TEST_F(EvaluationNet, StoreCodesInOrderAndNothingChanges) {
    ASSERT_EQ(MakeStoreIn(net, 0, 2, 3, KORU32_MATH_FLOAT), 0);
    ASSERT_EQ(Put(net, 2, {0.25f, 0.5f}), 0);
    ASSERT_EQ(EvaluateSum(net, 2, {0.5f, 0.5f}), 0);  // errorSum 0.0625
    float sum = kUnwritten;
    EXPECT_EQ(EvaluateStore(net, 2, 128, 0, 0, sum), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(EvaluateStore(net, 2, kOtherNet, 6, 0, sum), KORU32_ERR_BAD_STORE_NUMBER);
    EXPECT_EQ(EvaluateStore(net, 2, kOtherNet, 0, 0, sum), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(EvaluateStore(net, 2, net, 1, 0, sum), KORU32_ERR_NO_STORE);
    EXPECT_EQ(EvaluateStore(net, 2, net, 0, 3, sum), KORU32_ERR_BAD_RECORD);
    EXPECT_EQ(EvaluateStore(net, 2, net, 0, UINT32_MAX, sum), KORU32_ERR_BAD_RECORD);
    EXPECT_EQ(EvaluateSumStore(net, 2, net, 0, 3), KORU32_ERR_BAD_RECORD);
    EXPECT_EQ(sum, kUnwritten);
    EXPECT_EQ(Delta(net, 2, 1), static_cast<float>((0.25 * 0.75 + 0.1) * 0.25));  // untouched since
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, 0.0625f);
}

// ---- Floating point ------------------------------------------------------

TEST_F(EvaluationNet, DeltasAndSumFloat) {
    ASSERT_EQ(Put(net, 2, {0.3f, 0.8f}), 0);
    float sum = kUnwritten;
    ASSERT_EQ(Evaluate(net, 2, {1.0f, 0.1f}, sum), 0);
    const float e1 = 1.0f - 0.3f, e2 = 0.1f - 0.8f;  // single-precision differences
    const double y1 = 0.3f, y2 = 0.8f;
    EXPECT_EQ(Delta(net, 2, 1), static_cast<float>((y1 * (1 - y1) + 0.1) * e1));
    EXPECT_EQ(Delta(net, 2, 2), static_cast<float>((y2 * (1 - y2) + 0.1) * e2));
    EXPECT_EQ(sum, static_cast<float>(double(e1) * e1 + double(e2) * e2));
}

TEST_F(EvaluationNet, RunningSum) {
    ASSERT_EQ(Put(net, 2, {0.5f, 0.25f}), 0);
    const std::vector<float> t{1.0f, 0.0f};  // errors 0.5 and -0.25: 0.3125
    ASSERT_EQ(EvaluateSum(net, 2, t), 0);
    ASSERT_EQ(EvaluateSum(net, 2, t), 0);
    float sum = kUnwritten;
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, 0.625f);
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, 0.0f);
    // BpEvaluate starts again from 0 and leaves its sum as the running total.
    ASSERT_EQ(EvaluateSum(net, 2, t), 0);
    ASSERT_EQ(Evaluate(net, 2, t, sum), 0);
    EXPECT_EQ(sum, 0.3125f);
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, 0.3125f);
}

TEST_F(EvaluationNet, IntegerTargetsFloat) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    ASSERT_EQ(Put(net, 2, {0.0f, 0.0f}), 0);
    ASSERT_EQ(EvaluateSum(net, 2, {3.0f, 0.0f}), 0);  // a running total of 9
    float sum = kUnwritten;
    ASSERT_EQ(EvaluateInteger(net, 2, {10000, -1}, sum), 0);
    EXPECT_EQ(Delta(net, 2, 1), 1.0f);
    EXPECT_EQ(Delta(net, 2, 2), static_cast<float>(-0.0001));
    const double e2 = static_cast<float>(-0.0001);
    EXPECT_EQ(sum, static_cast<float>(1.0 + e2 * e2));
    // The running total was replaced by this pattern's sum.
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, static_cast<float>(1.0 + e2 * e2));
}

TEST_F(EvaluationNet, TransferOutsideTheCodesWritesNoDelta) {
    SlabOf(net, 2).transfer = -3;
    float old = 0.75f;
    int16_t n = net, slab = 2, neuron = 1;
    ASSERT_EQ(PutDelta(&n, &slab, &neuron, &old), 0);
    ASSERT_EQ(Put(net, 2, {0.5f, 0.5f}), 0);
    float sum = kUnwritten;
    ASSERT_EQ(Evaluate(net, 2, {1.0f, 0.0f}, sum), 0);
    EXPECT_EQ(Delta(net, 2, 1), 0.75f);
    EXPECT_EQ(Delta(net, 2, 2), 0.0f);
    EXPECT_EQ(sum, 0.5f);  // the error still counts
}

TEST_F(EvaluationNet, StoreTargetsOfEitherFormatAndAnotherNet) {
    Net other(kOtherNet, KORU32_NET_LVQ_DISTANCE);
    ASSERT_EQ(MakeStoreIn(other, 0, 2, 4, KORU32_MATH_FLOAT), 0);
    ASSERT_EQ(MakeStoreIn(other, 1, 2, 4, KORU32_MATH_FIXED), 0);
    ASSERT_EQ(PutRecord(other, 0, 3, {0.75f, -0.5f}), 0);
    // An 8.24 target with more bits than a single holds: rounded to single.
    Fill(koru::netTable[other].block->stores[1].data,
         std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0x00FFFFFF + (1 << 24) * 3, -(1 << 23)});
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    ASSERT_EQ(Put(net, 2, {0.25f, 0.25f}), 0);
    float sum = kUnwritten;
    ASSERT_EQ(EvaluateStore(net, 2, other, 0, 3, sum), 0);  // the last record
    EXPECT_EQ(Delta(net, 2, 1), 0.5f);
    EXPECT_EQ(Delta(net, 2, 2), -0.75f);
    EXPECT_EQ(sum, 0.8125f);
    ASSERT_EQ(EvaluateSumStore(net, 2, other, 1, 3), 0);
    const float t1 = static_cast<float>((0x00FFFFFF + (1 << 24) * 3) / 16777216.0);
    EXPECT_EQ(t1, 4.0f);  // 3.99999994 rounds to 4 as a single
    EXPECT_EQ(Delta(net, 2, 1), t1 - 0.25f);
    EXPECT_EQ(Delta(net, 2, 2), -0.75f);
    ASSERT_EQ(GetSum(net, 2, sum), 0);
    EXPECT_EQ(sum, static_cast<float>(0.8125 + 3.75 * 3.75 + 0.5625));
}

// A record narrower than the slab runs on into the next record; at the end
// of the store, neurons without a target count as on target.
TEST_F(EvaluationNet, NarrowStoreRecordsStopAtTheStoreEnd) {
    ASSERT_EQ(MakeStoreIn(net, 0, 1, 3, KORU32_MATH_FLOAT), 0);
    for (uint32_t r = 0; r < 3; ++r) ASSERT_EQ(PutRecord(net, 0, r, {0.5f * static_cast<float>(r + 1)}), 0);
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    ASSERT_EQ(Put(net, 2, {0.0f, 0.0f}), 0);
    float sum = kUnwritten;
    ASSERT_EQ(EvaluateStore(net, 2, net, 0, 1, sum), 0);
    EXPECT_EQ(Delta(net, 2, 1), 1.0f);
    EXPECT_EQ(Delta(net, 2, 2), 1.5f);
    ASSERT_EQ(EvaluateStore(net, 2, net, 0, 2, sum), 0);
    EXPECT_EQ(Delta(net, 2, 1), 1.5f);
    EXPECT_EQ(Delta(net, 2, 2), 0.0f);
    EXPECT_EQ(sum, 2.25f);
}

// ---- Fixed point -------------------------------------------------------

class FixedEvaluationNet : public EvaluationNet {
protected:
    FixedEvaluationNet() : EvaluationNet(KORU32_MATH_FIXED) {}
};

TEST_F(FixedEvaluationNet, TargetConversionsAndLinearDeltas) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    koru::SlabRecord& out = SlabOf(net, 2);
    Fill(out.values, std::vector<int32_t>{0x123456, -0x654321});
    float sum = kUnwritten;
    // Float targets: trunc(t x 2^24 + 0.5).
    ASSERT_EQ(Evaluate(net, 2, {0.3f, -0.3f}, sum), 0);
    const auto t1 = static_cast<int32_t>(std::trunc(double(0.3f) * 16777216.0 + 0.5));
    const auto t2 = static_cast<int32_t>(std::trunc(double(-0.3f) * 16777216.0 + 0.5));
    EXPECT_EQ(FixedOf(out.deltas), (std::vector<int32_t>{t1 - 0x123456, t2 + 0x654321}));
    // Integer targets: trunc(t x 1677.7216 + 0.5): 2900 -> 4865393, -1 -> -1677.
    ASSERT_EQ(EvaluateInteger(net, 2, {2900, -1}, sum), 0);
    EXPECT_EQ(FixedOf(out.deltas), (std::vector<int32_t>{4865393 - 0x123456, -1677 + 0x654321}));
    const int64_t e1 = 4865393 - 0x123456, e2 = -1677 + 0x654321;
    EXPECT_EQ(sum, static_cast<float>(((e1 * e1) >> 24) / 16777216.0 + ((e2 * e2) >> 24) / 16777216.0));
}

TEST_F(FixedEvaluationNet, StoreTargetsOfEitherFormat) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    ASSERT_EQ(MakeStoreIn(net, 0, 2, 1, KORU32_MATH_FIXED), 0);
    ASSERT_EQ(MakeStoreIn(net, 1, 2, 1, KORU32_MATH_FLOAT), 0);
    Fill(koru::netTable[net].block->stores[0].data, std::vector<int32_t>{-7, 0x7FFFFFFF});
    ASSERT_EQ(PutRecord(net, 1, 0, {0.1f, -2.0f}), 0);
    Fill(SlabOf(net, 2).values, std::vector<int32_t>{5, -1});
    ASSERT_EQ(EvaluateSumStore(net, 2, net, 0, 0), 0);  // used as is, differences wrap
    EXPECT_EQ(FixedOf(SlabOf(net, 2).deltas), (std::vector<int32_t>{-12, INT32_MIN}));
    ASSERT_EQ(EvaluateSumStore(net, 2, net, 1, 0), 0);
    // -2.0 becomes trunc(-33554432 + 0.5) = -33554431.
    const auto t1 = static_cast<int32_t>(std::trunc(double(0.1f) * 16777216.0 + 0.5));
    EXPECT_EQ(FixedOf(SlabOf(net, 2).deltas), (std::vector<int32_t>{t1 - 5, -33554431 - (-1)}));
}

TEST_F(FixedEvaluationNet, LogisticDeltaAndSquareBitExact) {
    koru::SlabRecord& out = SlabOf(net, 2);
    Fill(out.values, std::vector<int32_t>{0x400000, 0});  // 0.25 and 0
    float sum = kUnwritten;
    ASSERT_EQ(Evaluate(net, 2, {1.0f, 0.5f}, sum), 0);
    const int32_t e1 = (1 << 24) - 0x400000, e2 = 0x800000;
    const int32_t d1 = RefMul(e1, RefMul(0x400000, (1 << 24) - 0x400000) + 1677721);
    const int32_t d2 = RefMul(e2, 1677721);
    EXPECT_EQ(FixedOf(out.deltas), (std::vector<int32_t>{d1, d2}));
    EXPECT_EQ(sum, 0.5625f + 0.25f);
}

// An error beyond about 11.3 would square past the 8.24 range; the sum
// still takes its true square.
TEST_F(FixedEvaluationNet, LargeErrorsSquareWithoutWrapping) {
    ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0);
    Fill(SlabOf(net, 2).values, std::vector<int32_t>{-10 << 24, 0});
    float sum = kUnwritten;
    ASSERT_EQ(Evaluate(net, 2, {10.0f, 0.0f}, sum), 0);
    EXPECT_EQ(sum, 400.0f);
    EXPECT_EQ(FixedOf(SlabOf(net, 2).deltas)[0], 20 << 24);
}

// ---- AddSlab -------------------------------------------------------------

TEST(AddSlabCodes, DestinationLookedUpFirst) {
    Net net(kNet, KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), 0);
    EXPECT_EQ(Add(128, 0, 0, 1.0f), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Add(net, 40, 5, 1.0f), KORU32_ERR_NO_SLAB);  // destination 5 before source 40
    EXPECT_EQ(Add(net, 5, 40, 1.0f), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Add(net, 5, 0, 1.0f), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Add(kOtherNet, 0, 0, 1.0f), KORU32_ERR_NET_NOT_IN_USE);
}

TEST(AddSlabFloat, ShorterSlabDecidesAndAnyParadigm) {
    Net net(kNet, KORU32_NET_PNN_DISTANCE);
    ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Slab(net, 1, 5, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Put(net, 0, {1.0f, 2.0f, 0.1f}), 0);
    ASSERT_EQ(Put(net, 1, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f}), 0);
    ASSERT_EQ(Add(net, 0, 1, 0.5f), 0);
    EXPECT_EQ(Get(net, 1, 5), (std::vector<float>{1.5f, 2.0f, static_cast<float>(1.0 + double(0.1f) * 0.5), 1.0f, 1.0f}));
    ASSERT_EQ(Add(net, 1, 0, 0.0f), 0);
    EXPECT_EQ(Get(net, 0, 3), (std::vector<float>{1.0f, 2.0f, 0.1f}));
}

TEST(AddSlabFixed, IncrementConvertedFirst) {
    Net net(kNet, KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED);
    ASSERT_EQ(Slab(net, 0, 2, KORU32_SLAB_INPUT), 0);
    ASSERT_EQ(Slab(net, 1, 2, KORU32_SLAB_INPUT), 0);
    Fill(SlabOf(net, 0).values, std::vector<int32_t>{1, -1});  // +-2^-24
    Fill(SlabOf(net, 1).values, std::vector<int32_t>{100, INT32_MAX});
    // v = +-2^-25: trunc(0.5 + 0.5) = 1 and trunc(-0.5 + 0.5) = 0.
    ASSERT_EQ(Add(net, 0, 1, 0.5f), 0);
    EXPECT_EQ(FixedOf(SlabOf(net, 1).values), (std::vector<int32_t>{101, INT32_MAX}));
    ASSERT_EQ(Add(net, 0, 1, -0.5f), 0);  // now -2^-25 and +2^-25
    EXPECT_EQ(FixedOf(SlabOf(net, 1).values), (std::vector<int32_t>{101, INT32_MIN}));  // wraps
}

}  // namespace
