// A value array's elements in a file: each element as its own 4-byte
// little-endian word, with no conversion, in the array's element order.
#pragma once

#include "core/value_array.h"
#include "persist/open_file.h"

namespace koru {

// Writes all `count` elements of the array; false when the write fails.
bool WriteArrayElements(OpenFile& file, const ValueArray& array);

// Reads exactly `count` elements into the array, never more; false on an
// error or a short read. The elements are held in `fileFormat` (8.24 or
// float32) in the file; when that is not the array's format, each one is
// converted by the element conversion as it lands.
bool ReadArrayElements(OpenFile& file, ValueArray& array, int16_t fileFormat);

}  // namespace koru
