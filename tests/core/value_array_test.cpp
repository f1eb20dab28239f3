// Value arrays: shape, the bulk copy with its conversions, and the element routines.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "core/value_array.h"

namespace koru {
namespace {

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

}  // namespace
}  // namespace koru
