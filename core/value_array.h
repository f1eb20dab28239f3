// ValueArray: a header followed by its elements, all in one memory block and
// all in one number format (8.24 fixed point or 32-bit float in practice).
#pragma once

#include <cstdint>

#include "core/numeric_format.h"

namespace koru {

struct ValueArray {
    int8_t format;   // NumericFormat of every element
    uint16_t cols;   // elements per row, contiguous
    uint32_t rows;   // rows; 32 bits wide so that a store may hold any number of records
    uint32_t count;  // rows x cols
    uint8_t* data;   // first element, right after the header in the same block
    uint8_t* end;    // one past the last element

    float* Floats() { return reinterpret_cast<float*>(data); }
    int32_t* Fixed() { return reinterpret_cast<int32_t*>(data); }
};

// A new array of rows x cols elements in `format`, all bits zero, or null when
// the memory cannot be had or the size cannot be represented.
ValueArray* NewValueArray(int16_t format, uint16_t cols, uint32_t rows);
// Releases an array made by NewValueArray; null is ignored.
void FreeValueArray(ValueArray* array);

// Element i as a double, and its update. Neither checks i: callers have.
double GetElement(uint32_t i, const ValueArray& array);
void PutElement(uint32_t i, ValueArray& array, double value);

// Writes `value` into every element.
void FillValues(ValueArray& array, double value);

// Copies n values between a caller's float buffer and an array, or between two
// arrays, of formats 8.24 and float32 (4-byte elements on both sides): same
// format copies the words (the two sides may be the same array), otherwise
// each value is converted.
void CopyValues(const void* source, int16_t sourceFormat, void* dest, int16_t destFormat, uint32_t n);

}  // namespace koru
