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

TEST(ColumnsAndRows, MoveOnlyTheNamedUnitAcrossFormats) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 4, 3, 100.0);  // 3 rows x 4 columns
    ValueArray* vector = arrays.Make(kFixed824, 3, 1, 1.0);    // 1, 2, 3 in 8.24
    const std::vector<double> before = Elements(*weights);
    ASSERT_TRUE(PutColumn(*weights, *vector, 3));
    std::vector<double> expected = before;
    expected[2] = 1.0, expected[6] = 2.0, expected[10] = 3.0;
    EXPECT_EQ(Elements(*weights), expected);

    ValueArray* back = arrays.Make(kFloat32, 3, 1);
    ASSERT_TRUE(GetColumn(*back, *weights, 3));
    EXPECT_EQ(Elements(*back), (std::vector<double>{1.0, 2.0, 3.0}));

    ASSERT_TRUE(GetRow(*back, *weights, 2));  // row 1: elements 4..7, only 3 fit
    EXPECT_EQ(Elements(*back), (std::vector<double>{104.0, 105.0, 2.0}));
}

TEST(ColumnsAndRows, StopAtTheShorterOfVectorAndMatrix) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 2, 2);
    ValueArray* longVector = arrays.Make(kFloat32, 5, 1, 7.0);
    ASSERT_TRUE(PutColumn(*weights, *longVector, 1));
    EXPECT_EQ(Elements(*weights), (std::vector<double>{7.0, 1.0, 8.0, 3.0}));
    ValueArray* shortVector = arrays.Make(kFloat32, 1, 1, -1.0);
    ASSERT_TRUE(PutRow(*weights, *shortVector, 2));
    EXPECT_EQ(Elements(*weights), (std::vector<double>{7.0, 1.0, -1.0, 3.0}));
}

TEST(ColumnsAndRows, RefuseUnitsOutsideTheMatrixAndTouchNothing) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 3, 2, 1.0);
    ValueArray* vector = arrays.Make(kFloat32, 4, 1, 50.0);
    const std::vector<double> weightsBefore = Elements(*weights);
    const std::vector<double> vectorBefore = Elements(*vector);
    EXPECT_FALSE(PutColumn(*weights, *vector, 0));
    EXPECT_FALSE(PutColumn(*weights, *vector, 4));
    EXPECT_FALSE(PutRow(*weights, *vector, 0));
    EXPECT_FALSE(PutRow(*weights, *vector, 3));
    EXPECT_FALSE(GetColumn(*vector, *weights, 65535));
    EXPECT_FALSE(GetRow(*vector, *weights, 3));
    EXPECT_EQ(Elements(*weights), weightsBefore);
    EXPECT_EQ(Elements(*vector), vectorBefore);
}

TEST(ScaleToUnit, GivesLengthOneOrLeavesZeroVectorsZero) {
    Arrays arrays;
    ValueArray* v = arrays.Make(kFloat32, 2, 1);
    PutElement(0, *v, 3.0);
    PutElement(1, *v, 4.0);
    ScaleToUnit(*v);
    EXPECT_EQ(v->Floats()[0], 0.6f);
    EXPECT_EQ(v->Floats()[1], 0.8f);
    ValueArray* zero = arrays.Make(kFixed824, 2, 1);
    FillValues(*zero, 0.0);
    ScaleToUnit(*zero);
    EXPECT_EQ(Elements(*zero), (std::vector<double>{0.0, 0.0}));
}

TEST(NormalizeColumns, ScalesEveryColumnAndLeavesTheLastInTheWorkVector) {
    Arrays arrays;
    ValueArray* weights = arrays.Make(kFloat32, 3, 4, -5.0);  // 4 rows x 3 columns
    PutElement(1, *weights, 0.0), PutElement(4, *weights, 0.0), PutElement(7, *weights, 0.0),
        PutElement(10, *weights, 0.0);  // column 2 all zero
    ValueArray* work = arrays.Make(kFloat32, 4, 1);
    NormalizeColumns(*weights, *work);
    for (uint16_t unit = 1; unit <= 3; ++unit) {
        double length = 0.0;
        for (uint32_t row = 0; row < 4; ++row) length += std::pow(GetElement(row * 3 + unit - 1, *weights), 2);
        if (unit == 2) {
            EXPECT_EQ(length, 0.0);
        } else {
            EXPECT_NEAR(std::sqrt(length), 1.0, 1e-7) << unit;
        }
    }
    for (uint32_t row = 0; row < 4; ++row) EXPECT_EQ(GetElement(row, *work), GetElement(row * 3 + 2, *weights));
}

}  // namespace
}  // namespace koru
