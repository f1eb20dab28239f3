// The neighbourhood of a winning unit on the grid of units.
#include "lvq/grid.h"

#include <algorithm>

namespace koru {

Neighbourhood FindNeighbourhood(uint32_t units, int16_t width, uint16_t winner, int16_t radius) {
    Neighbourhood area{};
    if (units == 0 || radius < 0) {
        area.empty = true;
        return area;
    }
    // A width that does not tile the units gives one row holding them all.
    const bool tiles = width > 0 && units % static_cast<uint32_t>(width) == 0;
    const uint32_t columns = tiles ? static_cast<uint32_t>(width) : units;
    const uint32_t rows = units / columns;
    area.columns = columns;

    // All bounds in 64 bits: the winner (up to 65535) plus or minus a radius
    // (up to 32767) can leave the 16-bit range in either direction.
    const int64_t winnerRow = winner / columns;
    const int64_t winnerColumn = winner % columns;
    const int64_t reach = radius;
    const int64_t firstRow = std::max<int64_t>(winnerRow - reach, 0);
    const int64_t lastRow = std::min<int64_t>(winnerRow + reach, int64_t{rows} - 1);
    const int64_t firstColumn = std::max<int64_t>(winnerColumn - reach, 0);
    const int64_t lastColumn = std::min<int64_t>(winnerColumn + reach, int64_t{columns} - 1);
    area.empty = firstRow > lastRow || firstColumn > lastColumn;
    if (area.empty) return area;
    area.firstRow = static_cast<uint32_t>(firstRow);
    area.lastRow = static_cast<uint32_t>(lastRow);
    area.firstColumn = static_cast<uint32_t>(firstColumn);
    area.lastColumn = static_cast<uint32_t>(lastColumn);
    return area;
}

}  // namespace koru
