// The portable shape of a row sum: the weights walked in memory order, row
// after row, across all destination sums at once (held in memory).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/vector_clones.h"

namespace koru {

// For k = 0 .. rows - 1 and every j < cols: dest[j] = add(dest[j],
// source[k], weights[k * stride + j]). Four rows go in one pass over the
// destinations, which saves loads and stores and changes nothing of each
// destination's order.
template <typename Element, typename AddTerm>
KORU_INLINE_INTO_CLONES void AddRowsInMemoryOrder(Element* __restrict dest, const Element* __restrict source,
                                                  const Element* __restrict weights, uint32_t rows, uint32_t cols,
                                                  uint32_t stride, AddTerm add) {
    uint32_t k = 0;
    for (; k + 4 <= rows; k += 4) {
        const Element x0 = source[k], x1 = source[k + 1], x2 = source[k + 2], x3 = source[k + 3];
        const Element* w0 = weights + size_t{k} * stride;
        const Element* w1 = w0 + stride;
        const Element* w2 = w1 + stride;
        const Element* w3 = w2 + stride;
        for (uint32_t j = 0; j < cols; ++j) {
            Element v = dest[j];
            v = add(v, x0, w0[j]);
            v = add(v, x1, w1[j]);
            v = add(v, x2, w2[j]);
            v = add(v, x3, w3[j]);
            dest[j] = v;
        }
    }
    for (; k < rows; ++k) {
        const Element x = source[k];
        const Element* w = weights + size_t{k} * stride;
        for (uint32_t j = 0; j < cols; ++j) dest[j] = add(dest[j], x, w[j]);
    }
}

}  // namespace koru
