// The error shares of several source neurons summed side by side.
//
// Source neuron r - 1's share is a running sum across weight row r, in
// ascending destination order, each addition rounded to single precision (or
// wrapped at 32 bits) as if stored: a chain in which every addition waits
// for the one before. The chains of different source neurons are
// independent, so the rows are taken sixteen or eight at a time, each
// destination step adding one term to each of the sums: every sum keeps its own order
// and roundings, and the processor works on many chains at once instead of
// waiting on one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backprop/error_share.h"
#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

// Rows taken side by side: sixteen while they last, then eight.
inline constexpr uint32_t kSharedRowsWide = 16;
inline constexpr uint32_t kSharedRows = 8;

// shares[i] += sum over j of delta[j] x rows[i x stride + j], i < Rows,
// each addition as AddShare makes it.
template <uint32_t Rows, typename Element>
KORU_INLINE_INTO_CLONES void AddSharesOfRows(Element* __restrict shares, const Element* __restrict rows,
                                             uint32_t stride, const Element* __restrict delta, uint32_t n) {
    Element running[Rows];
    for (uint32_t i = 0; i < Rows; ++i) running[i] = shares[i];
    for (uint32_t j = 0; j < n; ++j) {
        const Element d = delta[j];
        for (uint32_t i = 0; i < Rows; ++i) running[i] = AddShare(running[i], d, rows[size_t{i} * stride + j]);
    }
    for (uint32_t i = 0; i < Rows; ++i) shares[i] = running[i];
}

// One row: shares[0] += sum over j of delta[j] x row[j].
template <typename Element>
KORU_INLINE_INTO_CLONES void AddShareOfRow(Element* __restrict share, const Element* __restrict row,
                                           const Element* __restrict delta, uint32_t n) {
    Element running = *share;
    for (uint32_t j = 0; j < n; ++j) running = AddShare(running, delta[j], row[j]);
    *share = running;
}

// Blocks of Rows source rows from row r on: each row updated by
// updateRow(row), then the block's shares added. Returns the first row left.
template <uint32_t Rows, typename Element, typename UpdateRow>
KORU_INLINE_INTO_CLONES uint32_t UpdateBlocksAndAddShares(uint32_t r, uint32_t sources, const Element* w,
                                                          uint32_t stride, Element* sourceDelta,
                                                          const Element* delta, uint32_t n, UpdateRow& updateRow) {
    for (; r + Rows <= sources + 1; r += Rows) {
        for (uint32_t i = 0; i < Rows; ++i) updateRow(r + i);
        AddSharesOfRows<Rows>(sourceDelta + (r - 1), w + size_t{r} * stride, stride, delta, n);
    }
    return r;
}

// Source rows 1 .. sources (row r scaled by source neuron r - 1) updated by
// updateRow(r) and, with Shares, each source neuron's share added as soon as
// its row is updated (the share reads the weights just updated).
template <bool Shares, typename Element, typename UpdateRow>
KORU_INLINE_INTO_CLONES void UpdateSourceRows(uint32_t sources, const Element* w, uint32_t stride,
                                              Element* sourceDelta, const Element* delta, uint32_t n,
                                              UpdateRow updateRow) {
    uint32_t r = 1;
    if constexpr (Shares) {
        r = UpdateBlocksAndAddShares<kSharedRowsWide>(r, sources, w, stride, sourceDelta, delta, n, updateRow);
        r = UpdateBlocksAndAddShares<kSharedRows>(r, sources, w, stride, sourceDelta, delta, n, updateRow);
    }
    for (; r <= sources; ++r) {
        updateRow(r);
        if constexpr (Shares) AddShareOfRow(sourceDelta + (r - 1), w + size_t{r} * stride, delta, n);
    }
}

}  // namespace koru::bp
