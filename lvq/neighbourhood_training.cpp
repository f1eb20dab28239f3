// Training the winner's neighbourhood on the grid of units.
#include <algorithm>

#include "core/fixed_point.h"
#include "lvq/grid.h"
#include "lvq/lvq.h"

namespace koru {

namespace {

// w <- w + rate x (x - w), formed as ((x - w) x rate) + w. Float: in double
// precision with the rate held as a single-precision number, stored rounded
// to single precision. 8.24: the floored product with the rate in 8.24, and
// wrapping additions.
struct FloatStep {
    double rate;
    float Apply(float x, float w) const {
        const double wide = static_cast<double>(w);
        return static_cast<float>((static_cast<double>(x) - wide) * rate + wide);
    }
};
struct FixedStep {
    int32_t rate;
    int32_t Apply(int32_t x, int32_t w) const { return WrapAdd(FixedMul(WrapSub(x, w), rate), w); }
};

// Moves every unit of the neighbourhood. Each unit's weights change
// independently of the others, so the loops run source neuron by source
// neuron and, within one grid row of the neighbourhood, along the run of
// adjacent units: the weights are then walked contiguously, row after row of
// the matrix with its fixed stride.
template <typename Element, typename Step>
void MoveUnits(const Element* x, Element* weights, uint32_t sources, uint32_t stride, const Neighbourhood& area,
               Step step) {
    const uint32_t runLength = area.lastColumn - area.firstColumn + 1;
    Element* sourceRow = weights;
    for (uint32_t i = 0; i < sources; ++i, sourceRow += stride) {
        const Element xi = x[i];
        for (uint32_t row = area.firstRow; row <= area.lastRow; ++row) {
            Element* w = sourceRow + row * area.columns + area.firstColumn;
            for (uint32_t n = 0; n < runLength; ++n, ++w) *w = step.Apply(xi, *w);
        }
    }
}

template <typename Element, typename Step>
void TrainLinks(SlabRecord& input, int16_t radius, int16_t width, Element* (ValueArray::*elements)(), Step step) {
    for (uint16_t k = 0; k < input.outCount; ++k) {
        LinkRecord& link = *input.outLinks[k];
        if (link.status != KORU32_LINK_TRAINED) continue;
        ValueArray& weights = *link.weights;
        ValueArray& pattern = *input.values;
        const uint32_t units = std::min<uint32_t>(weights.cols, link.dest->values->count);
        const uint32_t sources = std::min<uint32_t>(weights.rows, pattern.count);
        const Neighbourhood area = FindNeighbourhood(units, width, link.dest->winner, radius);
        // A width replaced by a link's unit count stays replaced for the
        // links that follow in the same call, as callers of this engine have
        // always seen it.
        if (area.columns != 0) width = static_cast<int16_t>(area.columns);
        if (area.empty) continue;
        MoveUnits((pattern.*elements)(), (weights.*elements)(), sources, weights.cols, area, step);
    }
}

}  // namespace

void TrainNeighbourhoods(SlabRecord& input, float rate, int16_t radius, int16_t width, uint16_t format) {
    if (format == kFloat32) {
        TrainLinks(input, radius, width, &ValueArray::Floats, FloatStep{static_cast<double>(rate)});
    } else {
        TrainLinks(input, radius, width, &ValueArray::Fixed, FixedStep{ToFixed(static_cast<double>(rate))});
    }
}

}  // namespace koru
