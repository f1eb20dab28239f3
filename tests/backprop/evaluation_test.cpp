// The evaluation exports and AddSlab: codes and their order, the target
// conversions of every source, the output deltas, and the running error sum.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "backprop/backprop.h"
#include "bp_net.h"
#include "bp_records.h"
#include "common/fixed_point.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 30, kOtherNet = 31;
constexpr float kUnwritten = -999.0f;

int16_t EvaluateInteger(int16_t n, int16_t s, const std::vector<int16_t>& t, float& sum) { return BpEvaluateInteger(&n, &s, t.data(), &sum); }
int16_t EvaluateStore(int16_t n, int16_t s, int16_t storeNet, int16_t store, uint32_t r, float& sum) { return BpEvaluateStore(&n, &s, &storeNet, &store, &r, &sum); }
int16_t EvaluateSumStore(int16_t n, int16_t s, int16_t storeNet, int16_t store, uint32_t r) { return BpEvaluateSumStore(&n, &s, &storeNet, &store, &r); }
// A store takes the math mode current at the call.
koru::ValueArray* MakeStoreIn(int16_t net, int16_t store, int16_t width, uint32_t records, uint16_t math) {
    EXPECT_EQ(All({SetMath(&math), MakeStore(&net, &store, &width, &records)}), 0);
    return koru::netTable[net].block->stores[store].data;
}
int16_t Add(int16_t net, int16_t source, int16_t dest, float factor) { return AddSlab(&net, &source, &dest, &factor); }

// Input slab 0 (2), hidden slab 1 (2), output slab 2 (2); links 0 -> 1 -> 2.
class EvaluationNet : public ::testing::Test {
protected:
    explicit EvaluationNet(uint16_t math = KORU32_MATH_FLOAT) : net(kNet, KORU32_NET_BP_PLAIN, math) {}
    void SetUp() override {
        for (int16_t s = 0; s < 3; ++s) ASSERT_EQ(Slab(net, s, 2, s), 0);  // input, hidden, output
        ASSERT_EQ(All({Link(net, 0, 0, 1), Link(net, 1, 1, 2)}), 0);
    }
    void Linear() { ASSERT_EQ(SetTransfer(net, 2, KORU32_TRANSFER_LINEAR), 0); }
    // The output deltas after a call that must succeed.
    template <typename T = float> std::vector<T> Deltas(int16_t code) { EXPECT_EQ(code, 0); return ElementsOf<T>(SlabOf(net, 2).deltas); }
    float Sum() { float read = kUnwritten; EXPECT_EQ(GetSum(net, 2, read), 0); return read; }
    Net net;
    float sum = kUnwritten;
};
struct FixedEvaluationNet : EvaluationNet { FixedEvaluationNet() : EvaluationNet(KORU32_MATH_FIXED) {} };

// The six evaluation exports on (net, slab); a refused call leaves gSum.
float gSum = kUnwritten;
const std::vector<int16_t (*)(int16_t, int16_t)> kEvaluations = {
    [](int16_t n, int16_t s) { return Evaluate(n, s, {0, 0}, gSum); }, [](int16_t n, int16_t s) { return EvaluateSum(n, s, {0, 0}); },
    [](int16_t n, int16_t s) { return GetSum(n, s, gSum); }, [](int16_t n, int16_t s) { return EvaluateInteger(n, s, {0, 0}, gSum); },
    [](int16_t n, int16_t s) { return EvaluateStore(n, s, 128, 9, 0, gSum); }, [](int16_t n, int16_t s) { return EvaluateSumStore(n, s, 128, 9, 0); },
};

TEST_F(EvaluationNet, LookupsThenKindThenParadigmBeforeTheStore) {
    Net lvq(kOtherNet, KORU32_NET_LVQ_DISTANCE);
    ASSERT_EQ(All({Slab(lvq, 0, 2, KORU32_SLAB_HIDDEN), Slab(lvq, 1, 2, KORU32_SLAB_OUTPUT)}), 0);
    const int16_t cases[][3] = {{128, 32, KORU32_ERR_BAD_NET_NUMBER},       {kNet, 32, KORU32_ERR_BAD_SLAB_NUMBER},
                                {kOtherNet + 1, 2, KORU32_ERR_NET_NOT_IN_USE}, {kNet, 5, KORU32_ERR_NO_SLAB},
                                {kNet, 0, KORU32_ERR_NOT_OUTPUT_SLAB},      {kNet, 1, KORU32_ERR_NOT_OUTPUT_SLAB},
                                {kOtherNet, 0, KORU32_ERR_NOT_OUTPUT_SLAB}, {kOtherNet, 1, KORU32_ERR_WRONG_PARADIGM}};
    for (size_t e = 0; e < kEvaluations.size(); ++e) {
        for (const auto& c : cases) EXPECT_EQ(kEvaluations[e](c[0], c[1]), c[2]) << e << ": " << c[0] << ", " << c[1];
    }
    EXPECT_EQ(gSum, kUnwritten);
}

TEST_F(EvaluationNet, StoreCodesInOrderAndNothingChanges) {
    MakeStoreIn(net, 0, 2, 3, KORU32_MATH_FLOAT);
    ASSERT_EQ(Put(net, 2, {0.25f, 0.5f}), 0);
    ASSERT_EQ(EvaluateSum(net, 2, {0.5f, 0.5f}), 0);  // errorSum 0.0625
    const struct { int16_t storeNet, store; uint32_t record; int16_t code; } cases[] = {
        {128, 0, 0, KORU32_ERR_BAD_NET_NUMBER}, {kOtherNet, 6, 0, KORU32_ERR_BAD_STORE_NUMBER}, {kOtherNet, 0, 0, KORU32_ERR_NET_NOT_IN_USE},
        {kNet, 1, 0, KORU32_ERR_NO_STORE}, {kNet, 0, 3, KORU32_ERR_BAD_RECORD}, {kNet, 0, UINT32_MAX, KORU32_ERR_BAD_RECORD}};
    for (const auto& c : cases) EXPECT_EQ(EvaluateStore(net, 2, c.storeNet, c.store, c.record, sum), c.code) << c.store << " " << c.record;
    EXPECT_EQ(EvaluateSumStore(net, 2, net, 0, 3), KORU32_ERR_BAD_RECORD);
    EXPECT_EQ(sum, kUnwritten);
    EXPECT_EQ(Delta(net, 2, 1), static_cast<float>((0.25 * 0.75 + 0.1) * 0.25));  // untouched since
    EXPECT_EQ(Sum(), 0.0625f);
}

TEST_F(EvaluationNet, RunningSumIsReadOnceAndRestartedByEvaluate) {
    ASSERT_EQ(Put(net, 2, {0.5f, 0.25f}), 0);
    const std::vector<float> t{1.0f, 0.0f};  // errors 0.5 and -0.25: 0.3125
    for (int i = 0; i < 2; ++i) ASSERT_EQ(EvaluateSum(net, 2, t), 0);
    EXPECT_EQ(Sum(), 0.625f);
    EXPECT_EQ(Sum(), 0.0f);
    ASSERT_TRUE(EvaluateSum(net, 2, t) == 0 && Evaluate(net, 2, t, sum) == 0);
    EXPECT_EQ(sum, 0.3125f);
    EXPECT_EQ(Sum(), 0.3125f);
    // Integer targets are tenths of thousandths, and replace the running total too.
    Linear();
    ASSERT_TRUE(Put(net, 2, {0.0f, 0.0f}) == 0 && EvaluateInteger(net, 2, {10000, -1}, sum) == 0);
    const double e2 = static_cast<float>(-0.0001);
    EXPECT_EQ(Delta(net, 2, 1), 1.0f);
    EXPECT_EQ(Delta(net, 2, 2), static_cast<float>(-0.0001));
    EXPECT_EQ(sum, static_cast<float>(1.0 + e2 * e2));
    EXPECT_EQ(Sum(), sum);
}

// A transfer code outside 0..7 writes no delta, even past the end of a store
// whose last record is narrower than the slab; the error still counts.
TEST_F(EvaluationNet, TransferOutsideTheCodesWritesNoDelta) {
    Fill(MakeStoreIn(net, 0, 1, 2, KORU32_MATH_FLOAT), std::vector<float>{0.0f, 1.0f});
    for (int8_t code : {-3, 9}) {
        SlabOf(net, 2).transfer = code;
        Fill(SlabOf(net, 2).deltas, std::vector<float>{0.75f, 0.5f});
        ASSERT_TRUE(Put(net, 2, {0.5f, 0.5f}) == 0 && Evaluate(net, 2, {1.0f, 0.0f}, sum) == 0);
        EXPECT_EQ(sum, 0.5f);
        ASSERT_EQ(EvaluateStore(net, 2, net, 0, 1, sum), 0);
        EXPECT_EQ(sum, 0.25f);
        EXPECT_EQ(FloatsOf(SlabOf(net, 2).deltas), (std::vector<float>{0.75f, 0.5f})) << int{code};
    }
}

// Store targets of either format from another net; a record narrower than
// the slab runs on into the next record, and at the end of the store the
// neurons without a target count as on target (delta 0).
TEST_F(EvaluationNet, StoreTargetsOfEitherFormatAndNarrowRecordsStopAtTheStoreEnd) {
    Net other(kOtherNet, KORU32_NET_LVQ_DISTANCE);
    Fill(MakeStoreIn(other, 0, 2, 4, KORU32_MATH_FLOAT), std::vector<float>{0, 0, 0, 0, 0, 0, 0.75f, -0.5f});
    // An 8.24 target with more bits than a single holds: rounded to single (3.99999994 to 4).
    Fill(MakeStoreIn(other, 1, 2, 4, KORU32_MATH_FIXED), std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0x03FFFFFF, -(1 << 23)});
    Fill(MakeStoreIn(net, 0, 1, 3, KORU32_MATH_FLOAT), std::vector<float>{0.5f, 1.0f, 1.5f});
    Linear();
    ASSERT_EQ(Put(net, 2, {0.25f, 0.25f}), 0);
    EXPECT_EQ(Deltas(EvaluateStore(net, 2, other, 0, 3, sum)), (std::vector<float>{0.5f, -0.75f}));  // the last record
    EXPECT_EQ(sum, 0.8125f);
    EXPECT_EQ(Deltas(EvaluateSumStore(net, 2, other, 1, 3)), (std::vector<float>{3.75f, -0.75f}));
    EXPECT_EQ(Sum(), static_cast<float>(0.8125 + 3.75 * 3.75 + 0.5625));
    EXPECT_EQ(Deltas(EvaluateStore(net, 2, net, 0, 1, sum)), (std::vector<float>{0.75f, 1.25f}));
    EXPECT_EQ(Deltas(EvaluateStore(net, 2, net, 0, 2, sum)), (std::vector<float>{1.25f, 0.0f}));
    EXPECT_EQ(sum, 1.5625f);
}

TEST_F(FixedEvaluationNet, TargetConversionsLinearDeltasAndSquaresWithoutWrapping) {
    Linear();
    Fill(SlabOf(net, 2).values, std::vector<int32_t>{0x123456, -0x654321});
    // Float targets: trunc(t x 2^24 + 0.5).
    EXPECT_EQ(Deltas<int32_t>(Evaluate(net, 2, {0.3f, -0.3f}, sum)), (std::vector<int32_t>{koru_test::FixedFromReal(0.3f) - 0x123456, koru_test::FixedFromReal(-0.3f) + 0x654321}));
    // Integer targets: trunc(t x 1677.7216 + 0.5): 2900 -> 4865393, -1 -> -1677.
    const int64_t e1 = 4865393 - 0x123456, e2 = -1677 + 0x654321;
    EXPECT_EQ(Deltas<int32_t>(EvaluateInteger(net, 2, {2900, -1}, sum)), (std::vector<int32_t>{int32_t(e1), int32_t(e2)}));
    EXPECT_EQ(sum, static_cast<float>(((e1 * e1) >> 24) / 16777216.0 + ((e2 * e2) >> 24) / 16777216.0));
    // 8.24 store targets are used as they are (differences wrap); float ones converted.
    Fill(MakeStoreIn(net, 0, 2, 1, KORU32_MATH_FIXED), std::vector<int32_t>{-7, 0x7FFFFFFF});
    Fill(MakeStoreIn(net, 1, 2, 1, KORU32_MATH_FLOAT), std::vector<float>{0.1f, -2.0f});
    Fill(SlabOf(net, 2).values, std::vector<int32_t>{5, -1});
    EXPECT_EQ(Deltas<int32_t>(EvaluateSumStore(net, 2, net, 0, 0)), (std::vector<int32_t>{-12, INT32_MIN}));
    EXPECT_EQ(Deltas<int32_t>(EvaluateSumStore(net, 2, net, 1, 0)), (std::vector<int32_t>{koru_test::FixedFromReal(0.1f) - 5, -33554431 + 1}));  // trunc(-33554432 + 0.5)
    // An error beyond about 11.3 would square past the 8.24 range; the sum
    // still takes its true square.
    Fill(SlabOf(net, 2).values, std::vector<int32_t>{-10 << 24, 0});
    EXPECT_EQ(Deltas<int32_t>(Evaluate(net, 2, {10.0f, 0.0f}, sum))[0], 20 << 24);
    EXPECT_EQ(sum, 400.0f);
}

TEST(AddSlab, CodesDestinationFirstThenEitherFormatWithinANet) {
    {
        Net net(kNet, KORU32_NET_PNN_DISTANCE);  // any paradigm
        ASSERT_EQ(All({Slab(net, 0, 3, KORU32_SLAB_INPUT), Slab(net, 1, 5, KORU32_SLAB_INPUT)}), 0);
        // Destination 5 is looked up before source 40.
        const int16_t cases[][4] = {{128, 0, 0, KORU32_ERR_BAD_NET_NUMBER}, {net, 40, 5, KORU32_ERR_NO_SLAB}, {net, 5, 40, KORU32_ERR_BAD_SLAB_NUMBER},
                                    {net, 5, 0, KORU32_ERR_NO_SLAB}, {kOtherNet, 0, 0, KORU32_ERR_NET_NOT_IN_USE}};
        for (const auto& c : cases) EXPECT_EQ(Add(c[0], c[1], c[2], 1.0f), c[3]) << c[0] << " " << c[1] << " " << c[2];
        ASSERT_EQ(All({Put(net, 0, {1.0f, 2.0f, 0.1f}), Put(net, 1, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f})}), 0);
        ASSERT_EQ(Add(net, 0, 1, 0.5f), 0);  // the shorter slab decides
        EXPECT_EQ(Get(net, 1, 5), (std::vector<float>{1.5f, 2.0f, static_cast<float>(1.0 + double(0.1f) * 0.5), 1.0f, 1.0f}));
    }
    Net net(kNet, KORU32_NET_BP_PLAIN, KORU32_MATH_FIXED);
    ASSERT_EQ(All({Slab(net, 0, 2, KORU32_SLAB_INPUT), Slab(net, 1, 2, KORU32_SLAB_INPUT)}), 0);
    Fill(SlabOf(net, 0).values, std::vector<int32_t>{1, -1}), Fill(SlabOf(net, 1).values, std::vector<int32_t>{100, INT32_MAX});  // +-2^-24 onto
    // The increment converted first: +-2^-25 gives trunc(0.5 + 0.5) = 1 and trunc(-0.5 + 0.5) = 0.
    for (auto [factor, expected] : {std::pair{0.5f, std::vector<int32_t>{101, INT32_MAX}}, {-0.5f, {101, INT32_MIN}}})  // the second wraps
        EXPECT_TRUE(Add(net, 0, 1, factor) == 0 && FixedOf(SlabOf(net, 1).values) == expected) << factor;
}

// Between arrays of different formats each element is read by its own
// format and the destination updated by its own rule.
TEST(AddSlab, BetweenFormatsEachDestinationByItsOwnRule) {
    const struct Case { const char* label; int16_t fromFormat; double from; int16_t toFormat; double to, factor, expected; } cases[] = {
        {"float onto 8.24", koru::kFloat32, 0.5, koru::kFixed824, 0.25, 1.0, 0.75}, {"8.24 wraps", koru::kFloat32, 1.0, koru::kFixed824, 127.5, 1.0, -127.5},
        {"8.24 onto float", koru::kFixed824, -0.5, koru::kFloat32, 1.0, 2.0, 0x1p-23},  // -0.5 is stored one unit up
        {"8.24 increment rounded", koru::kFloat32, 0x1p-25, koru::kFixed824, 0.0, 1.0, 0x1p-24}, {"4.12", koru::kFloat32, 0.5, koru::kFixed412, 0.0, 1.0, 0.5},
        {"int16 sum plus one half, truncated", koru::kFloat32, 0.7, koru::kInt16, 5.0, 1.0, 6.0}, {"int8 wraps", koru::kFloat32, 100.0, koru::kInt8, 100.0, 1.0, -56.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        koru::SlabRecord source{}, dest{};
        for (auto [slab, format, value] : {std::tuple{&source, c.fromFormat, c.from}, {&dest, c.toFormat, c.to}})
            koru::PutElement(0, *(slab->values = koru::NewValueArray(format, 1, 1)), value);
        koru::bp::AddSlabValues(source, dest, c.factor);
        EXPECT_EQ(koru::GetElement(0, *dest.values), c.expected);
        koru::FreeValueArray(source.values), koru::FreeValueArray(dest.values);
    }
}

}  // namespace
