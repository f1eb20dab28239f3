#include "patternnets/pattern_unit_sums.h"

#include <algorithm>
#include <cmath>

#include "core/vector_clones.h"

namespace koru {

namespace {

struct Ranges {
    uint32_t dest;    // destination neurons computed: 0 .. dest - 1
    uint32_t source;  // source neurons read: 0 .. source - 1
};

// The ranges of one accumulation, held within the two slabs' values and the
// weight matrix (rows: source neurons, cols: destination neurons). A unit
// count below zero counts as none, and one beyond the slabs (patternCount set
// past the capacity by PutCounts, or a link between slabs of other sizes than
// its matrix) is cut to what the arrays hold: nothing outside them is read or
// written.
Ranges RangesOf(const LinkRecord& link, int32_t units) {
    const ValueArray& weights = *link.weights;
    const uint32_t inUse = units < 0 ? 0u : static_cast<uint32_t>(units);
    Ranges ranges{std::min<uint32_t>(link.dest->values->count, weights.cols),
                  std::min(link.source->values->count, weights.rows)};
    if (link.source->kind == KORU32_SLAB_HIDDEN) {
        ranges.source = std::min(ranges.source, inUse);
    } else {
        ranges.dest = std::min(ranges.dest, inUse);
    }
    return ranges;
}

// These nets hold every array in float32 (their nets are made so whatever the
// math mode); an array in another format would be misread, so a link that
// touches one adds nothing.
bool AllFloat32(const LinkRecord& link) {
    return link.weights->format == kFloat32 && link.dest->values->format == kFloat32 &&
           link.source->values->format == kFloat32;
}

// The terms, each formed in double precision from two 32-bit floats.
struct DotTerm {
    static double Of(double x, double w) { return x * w; }
};
struct CityBlockTerm {
    static double Of(double x, double w) { return std::fabs(x - w); }
};
struct SquaredTerm {
    static double Of(double x, double w) {
        const double difference = x - w;
        return difference * difference;
    }
};

template <typename Term>
float AddTerm(float value, double x, float w) {
    return static_cast<float>(static_cast<double>(value) + Term::Of(x, w));
}

// Rows 0 .. rows - 1 of the weights (row k scaled by source value k) added
// into dest[0 .. cols - 1]: the weights walked in memory order, row after
// row, across all destination neurons at once. Each destination neuron still
// receives its terms in ascending source order with one rounding to float
// after each, so its value has the same bits as when its own column is
// walked. Four rows go in one pass over the destinations, which saves
// loads and stores and changes nothing of the order.
template <typename Term>
KORU_INLINE_INTO_CLONES void AddRows(float* __restrict dest, const float* __restrict source,
                                     const float* __restrict weights, uint32_t rows, uint32_t cols,
                                     uint32_t stride) {
    uint32_t k = 0;
    for (; k + 4 <= rows; k += 4) {
        const double x0 = source[k], x1 = source[k + 1], x2 = source[k + 2], x3 = source[k + 3];
        const float* w0 = weights + size_t{k} * stride;
        const float* w1 = w0 + stride;
        const float* w2 = w1 + stride;
        const float* w3 = w2 + stride;
        for (uint32_t j = 0; j < cols; ++j) {
            float v = dest[j];
            v = AddTerm<Term>(v, x0, w0[j]);
            v = AddTerm<Term>(v, x1, w1[j]);
            v = AddTerm<Term>(v, x2, w2[j]);
            v = AddTerm<Term>(v, x3, w3[j]);
            dest[j] = v;
        }
    }
    for (; k < rows; ++k) {
        const double x = source[k];
        const float* w = weights + size_t{k} * stride;
        for (uint32_t j = 0; j < cols; ++j) dest[j] = AddTerm<Term>(dest[j], x, w[j]);
    }
}

KORU_VECTOR_CLONES void AddRowsDot(float* __restrict dest, const float* __restrict source,
                                   const float* __restrict weights, uint32_t rows, uint32_t cols,
                                   uint32_t stride) {
    AddRows<DotTerm>(dest, source, weights, rows, cols, stride);
}
KORU_VECTOR_CLONES void AddRowsCityBlock(float* __restrict dest, const float* __restrict source,
                                         const float* __restrict weights, uint32_t rows, uint32_t cols,
                                         uint32_t stride) {
    AddRows<CityBlockTerm>(dest, source, weights, rows, cols, stride);
}
KORU_VECTOR_CLONES void AddRowsSquared(float* __restrict dest, const float* __restrict source,
                                       const float* __restrict weights, uint32_t rows, uint32_t cols,
                                       uint32_t stride) {
    AddRows<SquaredTerm>(dest, source, weights, rows, cols, stride);
}

using AddRowsFunction = void (*)(float*, const float*, const float*, uint32_t, uint32_t, uint32_t);

template <typename Term>
void Accumulate(LinkRecord& link, int32_t units, AddRowsFunction addRows) {
    if (!AllFloat32(link)) return;
    const Ranges ranges = RangesOf(link, units);
    if (ranges.dest == 0 || ranges.source == 0) return;

    const uint32_t stride = link.weights->cols;
    float* const dest = link.dest->values->Floats();
    const float* const source = link.source->values->Floats();
    const float* const weights = link.weights->Floats();

    if (link.source != link.dest) {
        addRows(dest, source, weights, ranges.source, ranges.dest, stride);
        return;
    }
    // A link from a slab to itself reads values that it is writing: the
    // column-by-column order decides which of them a term sees.
    for (uint32_t j = 0; j < ranges.dest; ++j) {
        const float* w = weights + j;
        for (uint32_t k = 0; k < ranges.source; ++k, w += stride) dest[j] = AddTerm<Term>(dest[j], source[k], *w);
    }
}

}  // namespace

void SumDot(LinkRecord& link, int32_t units) { Accumulate<DotTerm>(link, units, AddRowsDot); }

void SumCityBlock(LinkRecord& link, int32_t units) { Accumulate<CityBlockTerm>(link, units, AddRowsCityBlock); }

void SumSquared(LinkRecord& link, int32_t units) { Accumulate<SquaredTerm>(link, units, AddRowsSquared); }

}  // namespace koru
