// Value arrays: shape, the bulk copy with its conversions, and the element
// routines.
#include <gtest/gtest.h>

#include <cstring>

#include "core/value_array.h"

namespace koru {
namespace {

TEST(NewValueArray, RecordsItsShapeAndStartsZeroed) {
    ValueArray* array = NewValueArray(kFloat32, 5, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->rows, 3u);
    EXPECT_EQ(array->cols, 5u);
    EXPECT_EQ(array->count, 15u);
    EXPECT_EQ(array->format, kFloat32);
    EXPECT_EQ(array->end - array->data, 60);
    for (uint32_t i = 0; i < array->count; ++i) EXPECT_EQ(GetElement(i, *array), 0.0);
    FreeValueArray(array);
}

TEST(NewValueArray, HoldsMoreThan65535RowsAndRefusesUnrepresentableSizes) {
    ValueArray* tall = NewValueArray(kFixed824, 2, 70000);
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(tall->count, 140000u);
    PutElement(139999, *tall, 1.5);
    EXPECT_EQ(GetElement(139999, *tall), 1.5);
    FreeValueArray(tall);
    EXPECT_EQ(NewValueArray(kFloat32, 65535, 0xFFFFFFFFu), nullptr);
}

TEST(CopyValues, ConvertsBetweenFloatAndFixedByTheElementRules) {
    const float source[2] = {0.25f, -0.25f};
    int32_t fixed[2] = {};
    CopyValues(source, kFloat32, fixed, kFixed824, 2);
    EXPECT_EQ(fixed[0], 1 << 22);
    EXPECT_EQ(fixed[1], -((1 << 22) - 1));
    float back[2] = {};
    CopyValues(fixed, kFixed824, back, kFloat32, 2);
    EXPECT_EQ(back[0], 0.25f);
    EXPECT_EQ(static_cast<double>(back[1]), -0.24999994039535522);
}

TEST(CopyValues, CopiesWordsUnchangedWithinOneFormatAndNothingForZero) {
    const int32_t source[3] = {-1, 7, 0x7FFFFFFF};
    int32_t dest[3] = {9, 9, 9};
    CopyValues(source, kFixed824, dest, kFixed824, 0);
    EXPECT_EQ(dest[0], 9);
    CopyValues(source, kFixed824, dest, kFixed824, 3);
    EXPECT_EQ(std::memcmp(source, dest, sizeof dest), 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float floats[1] = {nan};
    float copy[1] = {};
    CopyValues(floats, kFloat32, copy, kFloat32, 1);
    EXPECT_EQ(std::memcmp(floats, copy, 4), 0);  // NaN bits survive a same-format copy
}

TEST(FillValues, WritesEveryElementInTheArraysFormat) {
    ValueArray* array = NewValueArray(kFixed824, 4, 2);
    ASSERT_NE(array, nullptr);
    FillValues(*array, -1.0);
    for (uint32_t i = 0; i < array->count; ++i) EXPECT_EQ(array->Fixed()[i], -16777215);
    FreeValueArray(array);
}

}  // namespace
}  // namespace koru
