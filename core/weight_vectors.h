// One unit's weights as a vector: a column of a weight matrix (the weights
// into destination neuron `unit`) or a row (the weights out of source row
// `unit`). Units are numbered from 1. Values are converted between the two
// arrays' formats, so any two formats mix.
#pragma once

#include <cstdint>

#include "core/value_array.h"

namespace koru {

// Each moves min(length of the vector, length of the column or row) values.
// A unit outside the matrix (0, or beyond its columns or rows) moves nothing
// and gives false: no element outside the matrix is ever touched.
bool GetColumn(ValueArray& vector, const ValueArray& weights, uint16_t unit);
bool PutColumn(ValueArray& weights, const ValueArray& vector, uint16_t unit);
bool GetRow(ValueArray& vector, const ValueArray& weights, uint16_t unit);
bool PutRow(ValueArray& weights, const ValueArray& vector, uint16_t unit);

// Scales the vector to Euclidean length 1; a zero vector stays zero.
void ScaleToUnit(ValueArray& vector);

// Scales every column of the weights to length 1, unit by unit, using `work`
// (one element per weight row) as scratch; it ends holding the last column.
void NormalizeColumns(ValueArray& weights, ValueArray& work);

}  // namespace koru
