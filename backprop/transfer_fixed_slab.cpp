// The table read of TableLookup without a branch: the node index is clamped
// so that both neighbours are always inside the table (the reads become
// gathers in the vector clones), the interpolation is computed for every
// neuron, and the two ends are then picked by selection. Inside the table the
// operations are TableLookup's own; outside it the interpolated value is
// dropped, and neighbouring entries differ so little that even a dropped
// product cannot overflow.
#include "backprop/transfer_fixed_slab.h"

#include "backprop/transfer_tables.h"
#include "core/vector_clones.h"

namespace koru::bp {

KORU_VECTOR_CLONES void TableOfSlab(int32_t* __restrict values, uint32_t n, const int32_t* __restrict table) {
    const int32_t first = table[0];
    const int32_t last = table[kTableSize - 1];
    for (uint32_t j = 0; j < n; ++j) {
        const int32_t x = values[j];
        const int32_t index = (x >> 19) + 256;
        const int32_t fraction = (x >> 12) & 127;
        const int32_t node = index < 0 ? 0 : index > kTableSize - 2 ? kTableSize - 2 : index;
        const int32_t left = table[node];
        const int32_t inside = left + (((table[node + 1] - left) * fraction) >> 7);
        values[j] = index < 0 ? first : index >= kTableSize - 1 ? last : inside;
    }
}

}  // namespace koru::bp
