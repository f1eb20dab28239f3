// Element conversions of every number format at their edges: rounding by
// adding one half and truncating toward zero, and wrapping without saturation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/numeric_format.h"

namespace koru {
namespace {

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

}  // namespace
}  // namespace koru
