// The dimensions a backpropagation loop walks over one link.
#pragma once

#include "core/engine.h"

namespace koru::bp {

struct LinkShape {
    uint32_t sources;       // source neurons: the weight rows after the bias row
    uint32_t destinations;  // destination neurons: the columns walked
    uint32_t stride;        // elements per weight row
};

// The two slabs' neuron counts, which match the weight matrix of every link
// the library makes; bounding them by the matrix's own shape as well means a
// record that disagreed could never lead a loop outside an array.
inline LinkShape ShapeOf(const LinkRecord& link) {
    const ValueArray& weights = *link.weights;
    const uint32_t rows = weights.rows > 0 ? weights.rows - 1 : 0;
    const uint32_t sources = link.source->values->count;
    const uint32_t dests = link.dest->values->count;
    return {sources < rows ? sources : rows, dests < weights.cols ? dests : weights.cols, weights.cols};
}

}  // namespace koru::bp
