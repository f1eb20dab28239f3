// The core's internals: element conversions of every number format, value
// arrays, unit weight vectors, the weight generator and the net table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "../backprop/bp_net.h"
#include "core/engine.h"
#include "core/numeric_format.h"
#include "core/random.h"
#include "core/value_array.h"
#include "core/weight_vectors.h"

namespace koru {
namespace {

// ---- Element conversions of every number format at their edges: rounding by
// adding one half and truncating toward zero, and wrapping without saturation.

// The element `value` is written as, read back as a signed integer of its
// width (the machine is little-endian, as the engine's formats are).
int64_t Written(int16_t format, double value) {
    uint64_t word = 0;
    WriteElement(reinterpret_cast<uint8_t*>(&word), format, value, 1);
    const int unused = 64 - 8 * ElementSize(format);
    return static_cast<int64_t>(word << unused) >> unused;
}
double RoundTrip(int16_t format, double value) {
    uint8_t bytes[8] = {};
    WriteElement(bytes, format, value, 1);
    double out = -12345.0;
    ReadElement(bytes, format, out, 1);
    return out;
}

TEST(WriteElement, RoundsByAddingOneHalfTruncatingTowardZeroAndWraps) {
    const struct { const char* label; int16_t format; double value; int64_t element; } cases[] = {
        {"8.24 one", kFixed824, 1.0, 16777216}, {"8.24 minus one moves up a unit", kFixed824, -1.0, -16777215},
        {"8.24 half a unit up", kFixed824, 0x1p-25, 1}, {"8.24 half a unit down", kFixed824, -0x1p-25, 0},
        {"8.24 just above -1", kFixed824, -(16777216.0 - 1.0) / 16777216.0, -(16777216 - 2)},
        {"8.24 200 wraps", kFixed824, 200.0, -56LL << 24}, {"8.24 128 wraps", kFixed824, 128.0, INT32_MIN},
        {"4.12 one", kFixed412, 1.0, 4096}, {"4.12 8 wraps", kFixed412, 8.0, -32768}, {"4.12 -0.5", kFixed412, -0.5, -2047},
        {"3.5 one", kFixed35, 1.0, 32}, {"3.5 4 wraps", kFixed35, 4.0, -128}, {"3.5 half a unit up", kFixed35, 0.015625, 1},
        {"int16 -2.3", kInt16, -2.3, -1}, {"int16 -0.7", kInt16, -0.7, 0}, {"int16 -2.5", kInt16, -2.5, -2},
        {"int16 2.5", kInt16, 2.5, 3}, {"int16 40000 wraps", kInt16, 40000.0, 40000 - 65536}, {"int8 200 wraps", kInt8, 200.0, -56},
        {"int32 2^32 + 5 wraps", kInt32, 4294967296.0 + 5.0, 5}, {"int32 -7", kInt32, -7.0, -6},
        {"int32 far beyond 64 bits keeps the low bits", kInt32, 0x3p70 + 0x5p20, 5 << 20}, {"int32 NaN", kInt32, std::nan(""), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Written(c.format, c.value), c.element) << c.label;
    EXPECT_EQ(RoundTrip(kFixed824, -129.0), 127.0 + 0x1p-24);
    EXPECT_TRUE(RoundTrip(kFloat32, 0.1) == 0.10000000149011612 && RoundTrip(kFloat64, 0.1) == 0.1);
    EXPECT_TRUE(std::isinf(RoundTrip(kFloat32, 1e300)));
}

// ---- Value arrays: shape, the bulk copy with its conversions, and the element routines.

TEST(NewValueArray, HoldsMoreThan65535RowsAndRefusesUnrepresentableSizes) {
    ValueArray* tall = NewValueArray(kFixed824, 2, 70000);
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(tall->end - tall->data, 560000);
    EXPECT_EQ(GetElement(139999, *tall), 0.0);
    FillValues(*tall, -1.0);  // in the array's format
    EXPECT_TRUE(tall->Fixed()[0] == -16777215 && tall->Fixed()[139999] == -16777215);
    FreeValueArray(tall);
    EXPECT_EQ(NewValueArray(kFloat32, 65535, 0xFFFFFFFFu), nullptr);
}

TEST(CopyValues, ConvertsBetweenFormatsAndCopiesWordsWithinOneExactlyAsFarAsAsked) {
    const float source[2] = {0.25f, -0.25f};
    int32_t fixed[2] = {}; float back[2] = {};
    CopyValues(source, kFloat32, fixed, kFixed824, 2);
    CopyValues(fixed, kFixed824, back, kFloat32, 2);
    EXPECT_TRUE(fixed[1] == -((1 << 22) - 1) && static_cast<double>(back[1]) == -0.24999994039535522) << fixed[1] << " " << back[1];
    // Within one format: the words unchanged (NaN bits too), no element past n.
    const int32_t words[4] = {-1, 7, 0x7FFFFFFF, 0x7fc00001};
    int32_t dest[4] = {9, 9, 9, 9};
    CopyValues(words, kFixed824, dest, kFixed824, 0);
    EXPECT_EQ(dest[0], 9);
    CopyValues(words, kFloat32, dest, kFloat32, 3);
    EXPECT_EQ(std::vector<int32_t>(dest, dest + 4), (std::vector<int32_t>{-1, 7, 0x7FFFFFFF, 9}));
    // Floats to 8.24 in blocks: each element as ToFixed gives it, values at the
    // 32-bit edges, wrapping, NaN and infinities included.
    const float specials[] = {127.99999f, 128.0f, -128.0f, -128.00002f, 1e10f, -3e38f, NAN, INFINITY, -0.0f, 0x1p-25f};
    for (uint32_t n = 1; n <= 40; ++n) {
        std::vector<float> from(n);
        for (uint32_t i = 0; i < n; ++i) from[i] = (i * 7 + n) % 11 == 0 ? specials[(i + n) % 10] : std::ldexp(1.0f + 0.37f * i, static_cast<int>((i * n) % 40) - 30) * (i % 2 ? -1.0f : 1.0f);
        std::vector<int32_t> to(n + 1, 9);
        CopyValues(from.data(), kFloat32, to.data(), kFixed824, n);
        for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(to[i], ToFixed(from[i])) << n << " values, value " << i << " = " << from[i];
        ASSERT_EQ(to[n], 9);
    }
}

// ---- Unit weight vectors: refusing units outside the matrix, scaling to unit length.

struct Arrays {
    std::vector<ValueArray*> owned;
    // Elements first, first + 1, ... in order.
    ValueArray* Make(int16_t format, uint16_t cols, uint32_t rows, double first = 0.0) {
        ValueArray* a = NewValueArray(format, cols, rows);
        for (uint32_t i = 0; i < a->count; ++i) PutElement(i, *a, first + i);
        return owned.push_back(a), a;
    }
    ~Arrays() { for (ValueArray* a : owned) FreeValueArray(a); }
};

std::vector<double> Elements(const ValueArray& a) {
    std::vector<double> out;
    for (uint32_t i = 0; i < a.count; ++i) out.push_back(GetElement(i, a));
    return out;
}

TEST(ColumnsAndRows, RefuseUnitsOutsideTheMatrixAndTouchNothing) {
    Arrays arrays;
    ValueArray *weights = arrays.Make(kFloat32, 3, 2, 1.0), *vector = arrays.Make(kFloat32, 4, 1, 50.0);
    const std::vector<double> weightsBefore = Elements(*weights), vectorBefore = Elements(*vector);
    EXPECT_FALSE(PutColumn(*weights, *vector, 0) || PutColumn(*weights, *vector, 4) || PutRow(*weights, *vector, 0) || PutRow(*weights, *vector, 3) || GetColumn(*vector, *weights, 65535) || GetRow(*vector, *weights, 3));
    EXPECT_TRUE(Elements(*weights) == weightsBefore && Elements(*vector) == vectorBefore);
}

TEST(NormalizeColumns, GivesEveryNonzeroColumnLengthOne) {
    Arrays arrays;
    ValueArray *weights = arrays.Make(kFloat32, 3, 4, -5.0), *work = arrays.Make(kFloat32, 4, 1);  // 4 rows x 3 columns, column 2 all zero
    for (uint32_t row = 0; row < 4; ++row) PutElement(row * 3 + 1, *weights, 0.0);
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
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358}) EXPECT_EQ(NextRandom(), value);
}

// ---- The net table: a second start-up, and the lookups and the format they load.

TEST(NetTable, ASecondStartUpKeepsTheNetsAndLookupsLoadTheNetsFormat) {
    bptest::Net net(2, KORU32_NET_PNN_DOT);
    NetBlock* block = netTable[2].block;
    StartUp();  // another thread attaching must not clear the table
    EXPECT_EQ(netTable[2].block, block);
    ASSERT_EQ(bptest::Slab(net, 0, 2, KORU32_SLAB_INPUT), KORU32_OK);
    SlabLookup found{}; LinkLookup link{nullptr, nullptr}; StoreLookup store{nullptr, nullptr};
    state.mathMode = kFixed824;
    EXPECT_EQ(FindLink(2, 3, link), KORU32_ERR_NO_LINK);  // refused: the format and the result left alone
    EXPECT_EQ(FindLink(1, kLinksPerNet, link), KORU32_ERR_BAD_LINK_NUMBER);
    EXPECT_EQ(FindStore(2, 3, store), KORU32_ERR_NO_STORE);
    EXPECT_EQ(FindStore(200, 40, store), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_TRUE(state.mathMode == kFixed824 && link.link == nullptr && store.store == nullptr);
    ASSERT_EQ(FindSlab(2, 0, found), KORU32_OK);
    EXPECT_EQ(state.mathMode, kFloat32);  // the net's format
    EXPECT_EQ(found.slab, &netTable[2].block->slabs[0]);
}

}  // namespace
}  // namespace koru
