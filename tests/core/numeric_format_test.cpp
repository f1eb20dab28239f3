// Element conversions of every number format at their edges: rounding by
// adding one half and truncating toward zero, and wrapping without saturation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/numeric_format.h"

namespace koru {
namespace {

template <typename T>
T Written(int16_t format, double value) {
    uint8_t bytes[8] = {};
    WriteElement(bytes, format, value, 1);
    T element;
    std::memcpy(&element, bytes, sizeof element);
    return element;
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

TEST(Fixed824, RoundsPositiveHalvesUpAndMovesNegativesTowardZero) {
    EXPECT_EQ(Written<int32_t>(kFixed824, 1.0), 16777216);
    EXPECT_EQ(Written<int32_t>(kFixed824, 0.5), 8388608);
    EXPECT_EQ(Written<int32_t>(kFixed824, -1.0), -16777215);
    EXPECT_EQ(RoundTrip(kFixed824, -1.0), -0.9999999403953552);
    EXPECT_EQ(Written<int32_t>(kFixed824, std::ldexp(1.0, -25)), 1);
    EXPECT_EQ(Written<int32_t>(kFixed824, -std::ldexp(1.0, -25)), 0);
}

TEST(Fixed824, WrapsBeyondItsRangeInsteadOfSaturating) {
    EXPECT_EQ(RoundTrip(kFixed824, 200.0), -56.0);
    EXPECT_EQ(RoundTrip(kFixed824, 128.0), -128.0);
    EXPECT_EQ(RoundTrip(kFixed824, -129.0), 127.0 + std::ldexp(1.0, -24));
}

TEST(Fixed824, RewritingANegativeElementMovesItUpByOneUnit) {
    const double value = -(16777216.0 - 1.0) / 16777216.0;
    EXPECT_EQ(Written<int32_t>(kFixed824, value), -(16777216 - 2));
    EXPECT_EQ(Written<int32_t>(kFixed824, 5.0 / 16777216.0), 5);
}

TEST(SmallFixedFormats, ScaleAndWrapInTheirOwnWidths) {
    EXPECT_EQ(Written<int16_t>(kFixed412, 1.0), 4096);
    EXPECT_EQ(RoundTrip(kFixed412, 8.0), -8.0);  // 32768 wraps to -32768
    EXPECT_EQ(Written<int16_t>(kFixed412, -0.5), -2047);
    EXPECT_EQ(Written<int8_t>(kFixed35, 1.0), 32);
    EXPECT_EQ(RoundTrip(kFixed35, 4.0), -4.0);  // 128 wraps to -128
    EXPECT_EQ(RoundTrip(kFixed35, 0.015625), 0.03125);  // half a unit rounds up
}

TEST(IntegerFormats, AddOneHalfThenTruncateTowardZero) {
    EXPECT_EQ(Written<int16_t>(kInt16, -2.3), -1);
    EXPECT_EQ(Written<int16_t>(kInt16, -0.7), 0);
    EXPECT_EQ(Written<int16_t>(kInt16, -2.5), -2);
    EXPECT_EQ(Written<int16_t>(kInt16, 2.5), 3);
    EXPECT_EQ(Written<int8_t>(kInt8, 200.0), -56);
    EXPECT_EQ(Written<int16_t>(kInt16, 40000.0), 40000 - 65536);
    EXPECT_EQ(Written<int32_t>(kInt32, 4294967296.0 + 5.0), 5);
    EXPECT_EQ(RoundTrip(kInt32, -7.0), -6.0);
}

TEST(FloatFormats, RoundToNearestSingleOrKeepTheDouble) {
    EXPECT_EQ(RoundTrip(kFloat32, 0.1), 0.10000000149011612);
    EXPECT_EQ(RoundTrip(kFloat64, 0.1), 0.1);
    EXPECT_TRUE(std::isinf(RoundTrip(kFloat32, 1e300)));
}

TEST(TruncateToLow32, KeepsTheLowBitsOfAnyFiniteValue) {
    EXPECT_EQ(TruncateToLow32(-1.9), 0xFFFFFFFFu);
    EXPECT_EQ(TruncateToLow32(1099511640122.0), 1099511640122ull & 0xFFFFFFFFu);
    // 3 x 2^70 + 5 x 2^20 lies far beyond the 64-bit range; its low 32 bits
    // are those of 5 x 2^20.
    const double huge = std::ldexp(3.0, 70) + std::ldexp(5.0, 20);
    EXPECT_EQ(TruncateToLow32(huge), 5242880u);
    EXPECT_EQ(TruncateToLow32(-huge), static_cast<uint32_t>(-5242880));
    EXPECT_EQ(TruncateToLow32(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(TruncateToLow32(std::numeric_limits<double>::infinity()), 0u);
    EXPECT_EQ(TruncateToLow32(-std::numeric_limits<double>::infinity()), 0u);
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
