// Moving one unit's weights as a column or a row, scaling to unit length, and
// refusing units outside the matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/weight_vectors.h"

namespace koru {
namespace {

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

}  // namespace
}  // namespace koru
