// The core's internals: element conversions of every number format, value
// arrays, unit weight vectors, the weight generator and the net table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/engine.h"
#include "core/numeric_format.h"
#include "core/random.h"
#include "core/value_array.h"
#include "core/weight_vectors.h"

namespace koru {
namespace {

// ---- Element conversions of every number format at their edges: rounding by
// adding one half and truncating toward zero, and wrapping without saturation.

// The element `value` is written as, read back as a signed integer of its width.
int64_t Written(int16_t format, double value) {
    uint8_t bytes[8] = {};
    WriteElement(bytes, format, value, 1);
    switch (ElementSize(format)) {
        case 1: return static_cast<int8_t>(bytes[0]);
        case 2: { int16_t e; std::memcpy(&e, bytes, 2); return e; }
        default: { int32_t e; std::memcpy(&e, bytes, 4); return e; }
    }
}
double RoundTrip(int16_t format, double value) {
    uint8_t bytes[8] = {};
    WriteElement(bytes, format, value, 1);
    double out = -12345.0;
    ReadElement(bytes, format, out, 1);
    return out;
}

TEST(ElementSize, GivesTheWidthOfEveryFormatAndZeroForUnknownCodes) {
    const uint32_t expected[] = {4, 2, 1, 4, 8, 1, 2, 4, 4};
    for (int16_t format = 0; format <= 8; ++format) EXPECT_EQ(ElementSize(format), expected[format]) << format;
    EXPECT_EQ(ElementSize(9), 0u);
    EXPECT_EQ(ElementSize(-1), 0u);
}

TEST(WriteElement, RoundsByAddingOneHalfTruncatingTowardZeroAndWraps) {
    const struct {
        const char* label;
        int16_t format;
        double value;
        int64_t element;
    } cases[] = {
        {"8.24 one", kFixed824, 1.0, 16777216}, {"8.24 minus one moves up a unit", kFixed824, -1.0, -16777215},
        {"8.24 half a unit up", kFixed824, 0x1p-25, 1}, {"8.24 half a unit down", kFixed824, -0x1p-25, 0},
        {"8.24 just above -1", kFixed824, -(16777216.0 - 1.0) / 16777216.0, -(16777216 - 2)},
        {"8.24 200 wraps", kFixed824, 200.0, -56LL << 24}, {"8.24 128 wraps", kFixed824, 128.0, INT32_MIN},
        {"4.12 one", kFixed412, 1.0, 4096}, {"4.12 8 wraps", kFixed412, 8.0, -32768}, {"4.12 -0.5", kFixed412, -0.5, -2047},
        {"3.5 one", kFixed35, 1.0, 32}, {"3.5 4 wraps", kFixed35, 4.0, -128}, {"3.5 half a unit up", kFixed35, 0.015625, 1},
        {"int16 -2.3", kInt16, -2.3, -1}, {"int16 -0.7", kInt16, -0.7, 0}, {"int16 -2.5", kInt16, -2.5, -2},
        {"int16 2.5", kInt16, 2.5, 3}, {"int16 40000 wraps", kInt16, 40000.0, 40000 - 65536}, {"int8 200 wraps", kInt8, 200.0, -56},
        {"int32 2^32 + 5 wraps", kInt32, 4294967296.0 + 5.0, 5}, {"int32 -7", kInt32, -7.0, -6},
    };
    for (const auto& c : cases) EXPECT_EQ(Written(c.format, c.value), c.element) << c.label;
    EXPECT_EQ(RoundTrip(kFixed824, -129.0), 127.0 + 0x1p-24);
    EXPECT_EQ(RoundTrip(kFloat32, 0.1), 0.10000000149011612);
    EXPECT_EQ(RoundTrip(kFloat64, 0.1), 0.1);
    EXPECT_TRUE(std::isinf(RoundTrip(kFloat32, 1e300)));
}

TEST(TruncateToLow32, KeepsTheLowBitsOfAnyFiniteValue) {
    EXPECT_EQ(TruncateToLow32(-1.9), 0xFFFFFFFFu);
    EXPECT_EQ(TruncateToLow32(1099511640122.0), 1099511640122ull & 0xFFFFFFFFu);
    // 3 x 2^70 + 5 x 2^20 lies far beyond the 64-bit range.
    const double huge = std::ldexp(3.0, 70) + std::ldexp(5.0, 20);
    EXPECT_EQ(TruncateToLow32(huge), 5242880u);
    EXPECT_EQ(TruncateToLow32(-huge), static_cast<uint32_t>(-5242880));
    for (double x : {std::numeric_limits<double>::quiet_NaN(), double(INFINITY), -double(INFINITY)}) EXPECT_EQ(TruncateToLow32(x), 0u);
}

TEST(ElementWalk, AdvancesByStrideElementsAndIgnoresUnknownFormats) {
    uint8_t bytes[16] = {};
    double out = 42.0;
    EXPECT_EQ(ReadElement(bytes, 9, out, 1), bytes);
    EXPECT_EQ(out, 42.0);
    EXPECT_EQ(WriteElement(bytes, 9, 1.0, 1), bytes);
    EXPECT_EQ(std::count(bytes, bytes + 16, 0), 16);
    EXPECT_EQ(ReadElement(bytes, kInt16, out, 3), bytes + 6);
    EXPECT_EQ(WriteElement(bytes, kFloat64, 1.0, 2), bytes + 16);
}

// ---- Value arrays: shape, the bulk copy with its conversions, and the element routines.

TEST(NewValueArray, RecordsItsShapeStartsZeroedAndRefusesUnrepresentableSizes) {
    ValueArray* array = NewValueArray(kFloat32, 5, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->rows, 3u);
    EXPECT_EQ(array->cols, 5u);
    EXPECT_EQ(array->count, 15u);
    EXPECT_EQ(array->format, kFloat32);
    EXPECT_EQ(array->end - array->data, 60);
    for (uint32_t i = 0; i < array->count; ++i) EXPECT_EQ(GetElement(i, *array), 0.0);
    FreeValueArray(array);
    ValueArray* tall = NewValueArray(kFixed824, 2, 70000);  // more than 65535 rows
    ASSERT_NE(tall, nullptr);
    PutElement(139999, *tall, 1.5);
    EXPECT_EQ(GetElement(139999, *tall), 1.5);
    FillValues(*tall, -1.0);  // in the array's format
    EXPECT_EQ(tall->Fixed()[0], -16777215);
    EXPECT_EQ(tall->Fixed()[139999], -16777215);
    FreeValueArray(tall);
    EXPECT_EQ(NewValueArray(kFloat32, 65535, 0xFFFFFFFFu), nullptr);
}

TEST(CopyValues, ConvertsBetweenFormatsAndCopiesWordsWithinOneExactlyAsFarAsAsked) {
    const float source[2] = {0.25f, -0.25f};
    int32_t fixed[2] = {};
    CopyValues(source, kFloat32, fixed, kFixed824, 2);
    EXPECT_EQ(fixed[0], 1 << 22);
    EXPECT_EQ(fixed[1], -((1 << 22) - 1));
    float back[2] = {};
    CopyValues(fixed, kFixed824, back, kFloat32, 2);
    EXPECT_EQ(back[0], 0.25f);
    EXPECT_EQ(static_cast<double>(back[1]), -0.24999994039535522);
    // Within one format: the words unchanged (NaN bits too), no element past n.
    const int32_t words[4] = {-1, 7, 0x7FFFFFFF, 0x7fc00001};
    int32_t dest[4] = {9, 9, 9, 9};
    CopyValues(words, kFixed824, dest, kFixed824, 0);
    EXPECT_EQ(dest[0], 9);
    CopyValues(words, kFloat32, dest, kFloat32, 3);
    EXPECT_EQ(std::memcmp(words, dest, 12), 0);
    EXPECT_EQ(dest[3], 9);
}

// ---- Moving one unit's weights as a column or a row, scaling to unit length, and
// refusing units outside the matrix.

struct Arrays {
    std::vector<ValueArray*> owned;
    // Elements first, first + 1, ... in order.
    ValueArray* Make(int16_t format, uint16_t cols, uint32_t rows, double first = 0.0) {
        ValueArray* a = NewValueArray(format, cols, rows);
        for (uint32_t i = 0; i < a->count; ++i) PutElement(i, *a, first + i);
        owned.push_back(a);
        return a;
    }
    ~Arrays() {
        for (ValueArray* a : owned) FreeValueArray(a);
    }
};

std::vector<double> Elements(const ValueArray& a) {
    std::vector<double> out;
    for (uint32_t i = 0; i < a.count; ++i) out.push_back(GetElement(i, a));
    return out;
}

TEST(ColumnsAndRows, MoveOnlyTheNamedUnitAcrossFormatsUpToTheShorterLength) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 4, 3, 100.0);  // 3 rows x 4 columns
    ASSERT_TRUE(PutColumn(*weights, *arrays.Make(kFixed824, 3, 1, 1.0), 3));
    EXPECT_EQ(Elements(*weights), (std::vector<double>{100, 101, 1, 103, 104, 105, 2, 107, 108, 109, 3, 111}));
    ValueArray* back = arrays.Make(kFloat32, 3, 1);
    ASSERT_TRUE(GetColumn(*back, *weights, 3));
    EXPECT_EQ(Elements(*back), (std::vector<double>{1.0, 2.0, 3.0}));
    ASSERT_TRUE(GetRow(*back, *weights, 2));  // row 2 has 4 elements, only 3 fit
    EXPECT_EQ(Elements(*back), (std::vector<double>{104.0, 105.0, 2.0}));
    ValueArray* square = arrays.Make(kFloat32, 2, 2);
    ASSERT_TRUE(PutColumn(*square, *arrays.Make(kFloat32, 5, 1, 7.0), 1));
    ASSERT_TRUE(PutRow(*square, *arrays.Make(kFloat32, 1, 1, -1.0), 2));
    EXPECT_EQ(Elements(*square), (std::vector<double>{7.0, 1.0, -1.0, 3.0}));
}

TEST(ColumnsAndRows, RefuseUnitsOutsideTheMatrixAndTouchNothing) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 3, 2, 1.0);
    ValueArray* vector = arrays.Make(kFloat32, 4, 1, 50.0);
    const std::vector<double> weightsBefore = Elements(*weights), vectorBefore = Elements(*vector);
    EXPECT_FALSE(PutColumn(*weights, *vector, 0));
    EXPECT_FALSE(PutColumn(*weights, *vector, 4));
    EXPECT_FALSE(PutRow(*weights, *vector, 0));
    EXPECT_FALSE(PutRow(*weights, *vector, 3));
    EXPECT_FALSE(GetColumn(*vector, *weights, 65535));
    EXPECT_FALSE(GetRow(*vector, *weights, 3));
    EXPECT_EQ(Elements(*weights), weightsBefore);
    EXPECT_EQ(Elements(*vector), vectorBefore);
}

TEST(ScaleToUnit, GivesLengthOneLeavesZeroVectorsZeroAndNormalizesEveryColumn) {
    Arrays arrays;
    ValueArray* v = arrays.Make(kFloat32, 2, 1, 3.0);  // 3, 4
    ScaleToUnit(*v);
    EXPECT_EQ(Elements(*v), (std::vector<double>{0.6f, 0.8f}));
    ValueArray* zero = arrays.Make(kFixed824, 2, 1);
    FillValues(*zero, 0.0);
    ScaleToUnit(*zero);
    EXPECT_EQ(Elements(*zero), (std::vector<double>{0.0, 0.0}));
    ValueArray* weights = arrays.Make(kFloat32, 3, 4, -5.0);  // 4 rows x 3 columns, column 2 all zero
    for (uint32_t row = 0; row < 4; ++row) PutElement(row * 3 + 1, *weights, 0.0);
    ValueArray* work = arrays.Make(kFloat32, 4, 1);
    NormalizeColumns(*weights, *work);
    for (uint32_t unit = 0; unit < 3; ++unit) {
        double length = 0.0;
        for (uint32_t row = 0; row < 4; ++row) length += std::pow(GetElement(row * 3 + unit, *weights), 2);
        EXPECT_NEAR(std::sqrt(length), unit == 1 ? 0.0 : 1.0, 1e-7) << unit;
    }
    // The last column stays in the work vector.
    for (uint32_t row = 0; row < 4; ++row) EXPECT_EQ(GetElement(row, *work), GetElement(row * 3 + 2, *weights));
}

// ---- The weight generator reproduces the well-known sequence of the Windows C
// runtime's rand(), so a seed gives the same weights on every platform.

TEST(Random, FollowsTheClassicSequenceFromSeedOne) {
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(NextRandom(), value);
}

// ---- The lookups and what they load, and the order of a slab's link lists.

int16_t Make(int16_t net, uint16_t type) { return MakeNet(&net, &type); }
int16_t MakeSlabOf(int16_t net, int16_t slab, int16_t kind) {
    const int16_t neurons = 2;
    return MakeSlab(&net, &slab, &neurons, &kind);
}
int16_t MakeLinkOf(int16_t net, int16_t link, int16_t source, int16_t dest) {
    const float range = 0.5f;
    return MakeLink(&net, &link, &range, &source, &dest);
}

class NetTable : public ::testing::Test {
protected:
    void TearDown() override {
        for (int16_t net = 0; net < kNetCount; ++net) KillNet(&net);
        const uint16_t floatMode = KORU32_MATH_FLOAT;
        SetMath(&floatMode);
    }
};

// The start-up notification may come again (another thread attaching): it
// must not clear the table under the nets already made.
TEST_F(NetTable, ASecondStartUpKeepsTheNets) {
    ASSERT_EQ(Make(2, KORU32_NET_BP_PLAIN), KORU32_OK);
    NetBlock* block = netTable[2].block;
    StartUp();
    EXPECT_EQ(netTable[2].block, block);
    EXPECT_EQ(netTable[2].paradigm, KORU32_PARADIGM_BACKPROP);
}

TEST_F(NetTable, LookupsFindTheRecordAndLoadTheNetsFormatOrLeaveEverythingAlone) {
    ASSERT_EQ(Make(4, KORU32_NET_PNN_DOT), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(4, 0, 0), KORU32_OK);
    state.mathMode = kFixed824;
    SlabLookup found{};
    ASSERT_EQ(FindSlab(4, 0, found), KORU32_OK);
    EXPECT_EQ(state.mathMode, kFloat32);
    EXPECT_EQ(found.net, &netTable[4]);
    EXPECT_EQ(found.slab, &netTable[4].block->slabs[0]);
    state.mathMode = kFixed824;
    SlabLookup slab{nullptr, nullptr};
    LinkLookup link{nullptr, nullptr};
    StoreLookup store{nullptr, nullptr};
    EXPECT_EQ(FindSlab(4, 3, slab), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(FindSlab(4, kSlabsPerNet, slab), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(FindLink(4, 3, link), KORU32_ERR_NO_LINK);
    EXPECT_EQ(FindLink(1, kLinksPerNet, link), KORU32_ERR_BAD_LINK_NUMBER);
    EXPECT_EQ(FindStore(4, 3, store), KORU32_ERR_NO_STORE);
    EXPECT_EQ(FindStore(200, 40, store), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(state.mathMode, kFixed824);
    EXPECT_EQ(slab.slab, nullptr);
    EXPECT_EQ(link.link, nullptr);
    EXPECT_EQ(store.store, nullptr);
}

TEST_F(NetTable, KillingALinkKeepsTheOrderOfTheOthers) {
    ASSERT_EQ(Make(0, KORU32_NET_BP_PLAIN), KORU32_OK);
    for (int16_t slab = 0; slab < 4; ++slab) ASSERT_EQ(MakeSlabOf(0, slab, 1), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 5, 1, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 2, 2, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 9, 3, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 1, 0, 3), KORU32_OK);
    NetBlock& block = *netTable[0].block;
    const int16_t net = 0, second = 2;
    ASSERT_EQ(KillLink(&net, &second), KORU32_OK);
    ASSERT_EQ(block.slabs[0].inCount, 2);
    EXPECT_EQ(block.slabs[0].inLinks[0], &block.links[5]);
    EXPECT_EQ(block.slabs[0].inLinks[1], &block.links[9]);
    EXPECT_EQ(block.slabs[0].outCount, 1);
    EXPECT_EQ(block.slabs[2].outCount, 0);
    EXPECT_EQ(block.slabs[3].outLinks[0], &block.links[9]);
}

TEST_F(NetTable, NewSlabsStartWithWinnerZeroAndDefinedTransfer) {
    ASSERT_EQ(Make(0, KORU32_NET_LVQ_DISTANCE), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(0, 0, 2), KORU32_OK);
    NetBlock& block = *netTable[0].block;
    block.slabs[0].winner = 7;
    const int16_t net = 0, slab = 0;
    ASSERT_EQ(KillSlab(&net, &slab), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(0, 0, 2), KORU32_OK);
    EXPECT_EQ(block.slabs[0].winner, 0);
    EXPECT_EQ(block.slabs[0].transfer, 0);
    EXPECT_EQ(block.slabs[0].deltas, nullptr);
    EXPECT_EQ(block.slabs[0].sums, nullptr);
}

}  // namespace
}  // namespace koru
