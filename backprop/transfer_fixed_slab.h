// The 8.24 transfer functions that are a plain table read (codes 0, 2, 5 and
// 6), applied to a whole slab several neurons side by side: bit for bit
// TableLookup of every neuron.
#pragma once

#include <cstdint>

namespace koru::bp {

// values[j] = TableLookup(table, values[j]) for j < n.
void TableOfSlab(int32_t* values, uint32_t n, const int32_t* table);

}  // namespace koru::bp
