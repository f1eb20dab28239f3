#include "core/weight_vectors.h"

#include <algorithm>
#include <cmath>

namespace koru {

namespace {

// Moves n values from one walk to another, each with its own stride.
void MoveValues(const ValueArray& from, const uint8_t* source, uint32_t sourceStride, ValueArray& to,
                uint8_t* dest, uint32_t destStride, uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) {
        double value = 0.0;
        source = ReadElement(source, from.format, value, sourceStride);
        dest = WriteElement(dest, to.format, value, destStride);
    }
}

uint8_t* ElementAddress(const ValueArray& array, uint32_t index) {
    return array.data + uint64_t{index} * ElementSize(array.format);
}

}  // namespace

bool GetColumn(ValueArray& vector, const ValueArray& weights, uint16_t unit) {
    if (unit < 1 || unit > weights.cols) return false;
    const uint32_t n = std::min(weights.rows, vector.count);
    MoveValues(weights, ElementAddress(weights, unit - 1u), weights.cols, vector, vector.data, 1, n);
    return true;
}

bool PutColumn(ValueArray& weights, const ValueArray& vector, uint16_t unit) {
    if (unit < 1 || unit > weights.cols) return false;
    const uint32_t n = std::min(weights.rows, vector.count);
    MoveValues(vector, vector.data, 1, weights, ElementAddress(weights, unit - 1u), weights.cols, n);
    return true;
}

bool GetRow(ValueArray& vector, const ValueArray& weights, uint16_t unit) {
    if (unit < 1 || unit > weights.rows) return false;
    const uint32_t n = std::min<uint32_t>(vector.count, weights.cols);
    MoveValues(weights, ElementAddress(weights, (unit - 1u) * uint32_t{weights.cols}), 1, vector,
               vector.data, 1, n);
    return true;
}

bool PutRow(ValueArray& weights, const ValueArray& vector, uint16_t unit) {
    if (unit < 1 || unit > weights.rows) return false;
    const uint32_t n = std::min<uint32_t>(vector.count, weights.cols);
    MoveValues(vector, vector.data, 1, weights, ElementAddress(weights, (unit - 1u) * uint32_t{weights.cols}),
               1, n);
    return true;
}

void ScaleToUnit(ValueArray& vector) {
    double sumOfSquares = 0.0;
    const uint8_t* p = vector.data;
    for (uint32_t k = 0; k < vector.count; ++k) {
        double value = 0.0;
        p = ReadElement(p, vector.format, value, 1);
        sumOfSquares += value * value;
    }
    const double length = std::sqrt(sumOfSquares);
    if (length == 0.0) {
        FillValues(vector, 0.0);
        return;
    }
    uint8_t* q = vector.data;
    for (uint32_t k = 0; k < vector.count; ++k) {
        double value = 0.0;
        ReadElement(q, vector.format, value, 1);
        q = WriteElement(q, vector.format, value / length, 1);
    }
}

void NormalizeColumns(ValueArray& weights, ValueArray& work) {
    for (uint32_t unit = 1; unit <= weights.cols; ++unit) {
        GetColumn(work, weights, static_cast<uint16_t>(unit));
        ScaleToUnit(work);
        PutColumn(weights, work, static_cast<uint16_t>(unit));
    }
}

}  // namespace koru
