// The rectangular grid on which the units of a competitive slab lie, and the
// square neighbourhood of a winning unit on it.
#pragma once

#include <cstdint>

namespace koru {

// The units of the neighbourhood: grid rows firstRow..lastRow and columns
// firstColumn..lastColumn, both ends included, unit = row x columns + column.
// `empty` is set when no unit of the grid lies in it.
struct Neighbourhood {
    uint32_t columns;  // grid columns actually used (the width, or all units in one row)
    uint32_t firstRow;
    uint32_t lastRow;
    uint32_t firstColumn;
    uint32_t lastColumn;
    bool empty;
};

// The units of a grid of `units` units (1..32767) whose Chebyshev distance
// from `winner` is at most `radius` (0..32767). A width that is not positive
// or does not divide `units` lays all units out in one row. A winner beyond
// the grid is not moved onto it: its neighbourhood is cut to the grid like any
// other, and may be empty.
Neighbourhood FindNeighbourhood(uint32_t units, int16_t width, uint16_t winner, int16_t radius);

}  // namespace koru
