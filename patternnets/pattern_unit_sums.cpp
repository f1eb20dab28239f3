#include "patternnets/pattern_unit_sums.h"

#include <algorithm>
#include <cmath>

#include "core/row_sums.h"
#include "core/row_terms.h"
#include "patternnets/pattern_units.h"

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
        for (uint32_t k = 0; k < ranges.source; ++k, w += stride) dest[j] = row_terms::AddTerm<Term>(dest[j], source[k], *w);
    }
}

}  // namespace

void SumDot(LinkRecord& link, int32_t units) { Accumulate<row_terms::Dot>(link, units, AddRowsDot); }

void SumCityBlock(LinkRecord& link, int32_t units) { Accumulate<row_terms::CityBlock>(link, units, AddRowsCityBlock); }

void SumSquared(LinkRecord& link, int32_t units) { Accumulate<row_terms::Squared>(link, units, AddRowsSquared); }

bool SumActiveLinks(SlabRecord& slab, LinkSum sum, int32_t units) {
    bool summed = false;
    for (uint16_t i = 0; i < slab.inCount; ++i) {
        LinkRecord& link = *slab.inLinks[i];
        if (!IsActive(link)) continue;
        sum(link, units);
        summed = true;
    }
    return summed;
}

}  // namespace koru
