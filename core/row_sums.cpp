#include "core/row_sums.h"

#include <type_traits>

#include "core/row_sums_fused.h"
#include "core/row_sums_pairs.h"
#include "core/row_sums_unit_weights.h"
#include "core/row_sums_wide.h"
#include "core/row_terms.h"
#include "core/rows_in_memory_order.h"
#include "core/vector_clones.h"

namespace koru {

namespace {

using row_terms::AddTerm;

// A few columns: one running sum per column, all in registers, the columns'
// chains side by side in one pass over the rows.
template <typename Term, uint32_t Columns>
void AddFewColumns(float* __restrict dest, const float* __restrict source, const float* __restrict w,
                   uint32_t rows, uint32_t stride) {
    float sum[Columns];
    for (uint32_t c = 0; c < Columns; ++c) sum[c] = dest[c];
    for (uint32_t k = 0; k < rows; ++k, w += stride) {
        const double x = source[k];
        for (uint32_t c = 0; c < Columns; ++c) sum[c] = AddTerm<Term>(sum[c], x, w[c]);
    }
    for (uint32_t c = 0; c < Columns; ++c) dest[c] = sum[c];
}

// Below eight columns the scalar chains, whose steps take less time than
// those of a wider vector register, finish first; from eight columns to
// fifteen, the sums two to a register (row_sums_pairs.h), whose steps take as
// little time with half the instructions (measured: 32 rows x 10 columns and
// 1797 rows x 10 columns, the link out of the pattern units, both about 1.6
// times faster than in memory or in 512-bit registers); from two 512-bit
// registers' worth of columns on, the register blocks. Without the pairs,
// between the two the portable loop's vector copies, and over many rows
// (one row per stored pattern, a class or output per column), where the
// sums' chains are what takes the time, the 512-bit blocks or the scalar
// chains of the few-column loop: shorter in registers than through memory.
constexpr uint32_t kFewColumns = 8;
constexpr uint32_t kWideColumns = 16;
constexpr uint32_t kLongRows = 256;

// Up to 15 columns, the copies above 7 for long rows only.
template <typename Term>
void AddRowsFewColumns(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                       uint32_t stride) {
    switch (cols) {
        case 1: return AddFewColumns<Term, 1>(dest, source, weights, rows, stride);
        case 2: return AddFewColumns<Term, 2>(dest, source, weights, rows, stride);
        case 3: return AddFewColumns<Term, 3>(dest, source, weights, rows, stride);
        case 4: return AddFewColumns<Term, 4>(dest, source, weights, rows, stride);
        case 5: return AddFewColumns<Term, 5>(dest, source, weights, rows, stride);
        case 6: return AddFewColumns<Term, 6>(dest, source, weights, rows, stride);
        case 7: return AddFewColumns<Term, 7>(dest, source, weights, rows, stride);
        case 8: return AddFewColumns<Term, 8>(dest, source, weights, rows, stride);
        case 9: return AddFewColumns<Term, 9>(dest, source, weights, rows, stride);
        case 10: return AddFewColumns<Term, 10>(dest, source, weights, rows, stride);
        case 11: return AddFewColumns<Term, 11>(dest, source, weights, rows, stride);
        case 12: return AddFewColumns<Term, 12>(dest, source, weights, rows, stride);
        case 13: return AddFewColumns<Term, 13>(dest, source, weights, rows, stride);
        case 14: return AddFewColumns<Term, 14>(dest, source, weights, rows, stride);
        case 15: return AddFewColumns<Term, 15>(dest, source, weights, rows, stride);
        default: return;
    }
}

// The portable loop (rows_in_memory_order.h) with one of the terms.
template <typename Term>
KORU_INLINE_INTO_CLONES void AddPortableRows(float* dest, const float* source, const float* weights, uint32_t rows,
                                             uint32_t cols, uint32_t stride) {
    AddRowsInMemoryOrder(dest, source, weights, rows, cols, stride,
                         [](float v, float x, float w) __attribute__((always_inline)) { return AddTerm<Term>(v, x, w); });
}

KORU_VECTOR_CLONES void PortableRowsDot(float* dest, const float* source, const float* weights, uint32_t rows,
                                        uint32_t cols, uint32_t stride) {
    AddPortableRows<row_terms::Dot>(dest, source, weights, rows, cols, stride);
}
KORU_VECTOR_CLONES void PortableRowsCityBlock(float* dest, const float* source, const float* weights,
                                              uint32_t rows, uint32_t cols, uint32_t stride) {
    AddPortableRows<row_terms::CityBlock>(dest, source, weights, rows, cols, stride);
}
KORU_VECTOR_CLONES void PortableRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows,
                                            uint32_t cols, uint32_t stride) {
    AddPortableRows<row_terms::Squared>(dest, source, weights, rows, cols, stride);
}

#if defined(KORU_WIDE_ROW_SUMS)
bool useWide = wide::Supported();
#else
constexpr bool useWide = false;
#endif

using RowsFunction = void (*)(float*, const float*, const float*, uint32_t, uint32_t, uint32_t);

template <typename Term>
void AddRowsOfAnyWidth(RowsFunction portable, [[maybe_unused]] RowsFunction wideRows,
                       [[maybe_unused]] RowsFunction pairRows, float* dest, const float* source,
                       const float* weights, uint32_t rows, uint32_t cols, uint32_t stride) {
#if defined(KORU_UNIT_WEIGHT_ROW_SUMS)
    // Over many rows of 0, 1 and -1 (a classifier's pattern units) the
    // chains run in single precision; at the first other weight, as below.
    if constexpr (std::is_same_v<Term, row_terms::Dot>) {
        if (rows >= kLongRows && cols <= unit_weights::kMaxColumns &&
            unit_weights::AddRowsDot(dest, source, weights, rows, cols, stride)) {
            return;
        }
    }
#endif
#if defined(KORU_WIDE_ROW_SUMS)
    // Up to 32 columns the dot product's chains on fused steps, each checked
    // against the defined step; at a difference, as below. (Wider, the
    // checks cost more than the register blocks' chains wait.)
    if constexpr (std::is_same_v<Term, row_terms::Dot>) {
        if (useWide && cols <= fused::kMaxColumns && fused::AddRowsDot(dest, source, weights, rows, cols, stride)) {
            return;
        }
    }
#endif
    if (cols < kFewColumns) return AddRowsFewColumns<Term>(dest, source, weights, rows, cols, stride);
#if defined(KORU_PAIR_ROW_SUMS)
    static_assert(pairs::kFirstColumns == kFewColumns && pairs::kLastColumns + 1 == kWideColumns);
    if (cols < kWideColumns) return pairRows(dest, source, weights, rows, cols, stride);
#endif
#if defined(KORU_WIDE_ROW_SUMS)
    if (useWide && (cols >= kWideColumns || rows >= kLongRows)) return wideRows(dest, source, weights, rows, cols, stride);
#endif
    if (cols < kWideColumns && rows >= kLongRows) {
        return AddRowsFewColumns<Term>(dest, source, weights, rows, cols, stride);
    }
    portable(dest, source, weights, rows, cols, stride);
}

// The three terms' copies of one loop, or none where it is not built.
struct RowsCopies {
    RowsFunction dot = nullptr, cityBlock = nullptr, squared = nullptr;
};
#if defined(KORU_PAIR_ROW_SUMS)
constexpr RowsCopies kPairs{pairs::AddRowsDot, pairs::AddRowsCityBlock, pairs::AddRowsSquared};
#else
constexpr RowsCopies kPairs{};
#endif
#if defined(KORU_WIDE_ROW_SUMS)
constexpr RowsCopies kWide{wide::AddRowsDot, wide::AddRowsCityBlock, wide::AddRowsSquared};
#else
constexpr RowsCopies kWide{};
#endif

}  // namespace

void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                uint32_t stride) {
    AddRowsOfAnyWidth<row_terms::Dot>(PortableRowsDot, kWide.dot, kPairs.dot, dest, source, weights, rows, cols,
                                      stride);
}

void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                      uint32_t stride) {
    AddRowsOfAnyWidth<row_terms::CityBlock>(PortableRowsCityBlock, kWide.cityBlock, kPairs.cityBlock, dest,
                                            source, weights, rows, cols, stride);
}

void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                    uint32_t stride) {
    AddRowsOfAnyWidth<row_terms::Squared>(PortableRowsSquared, kWide.squared, kPairs.squared, dest, source,
                                          weights, rows, cols, stride);
}

bool UseWideRowSums([[maybe_unused]] bool use) {
#if defined(KORU_WIDE_ROW_SUMS)
    const bool previous = useWide;
    useWide = use && wide::Supported();
    return previous;
#else
    return false;
#endif
}

}  // namespace koru
