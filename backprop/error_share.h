// How a training loop hands a source neuron its share of the error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "backprop/link_shape.h"
#include "core/engine.h"
#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

// kNone: the source is an input slab and keeps no deltas.
// kRunning: the share of source neuron r - 1 is summed across row r in a
//   running value and stored at the row's end; each addition is rounded (or
//   wrapped) exactly as if it were stored, so this is the defined order.
// kInPlace: a link from a slab to itself, whose destination deltas are the
//   very deltas being summed: each addition goes straight to the array, so
//   that the deltas read later in the row are those the defined order sees.
enum class ErrorShare : uint8_t { kNone, kRunning, kInPlace };

inline ErrorShare ErrorShareOf(const LinkRecord& link, bool noBackprop) {
    if (noBackprop) return ErrorShare::kNone;
    return link.source == link.dest ? ErrorShare::kInPlace : ErrorShare::kRunning;
}

// Calls body(std::integral_constant<ErrorShare, share>{}) so that each form
// of the loop is compiled on its own.
template <typename Body>
inline void WithErrorShare(ErrorShare share, Body&& body) {
    switch (share) {
        case ErrorShare::kNone: body(std::integral_constant<ErrorShare, ErrorShare::kNone>{}); break;
        case ErrorShare::kRunning: body(std::integral_constant<ErrorShare, ErrorShare::kRunning>{}); break;
        case ErrorShare::kInPlace: body(std::integral_constant<ErrorShare, ErrorShare::kInPlace>{}); break;
    }
}

// One weight's share of the error added to a source neuron's sum: floats
// take delta x weight exactly in double and round the sum to single; 8.24
// adds the floored product with wrap-around.
KORU_INLINE_INTO_CLONES float AddShare(float sum, float delta, float weight) {
    return static_cast<float>(sum + static_cast<double>(delta) * weight);
}
KORU_INLINE_INTO_CLONES int32_t AddShare(int32_t sum, int32_t delta, int32_t weight) { return WrapAdd(sum, FixedMul(delta, weight)); }

// Adds the share of a weight of row r (r >= 1) in the form the loop was
// compiled for: to the row's running value, or straight into the source
// neuron's delta; nothing when no error goes back.
template <ErrorShare Share, typename Element>
inline void ShareWeight(Element& running, Element* sourceDelta, uint32_t r, Element delta, Element weight) {
    if constexpr (Share == ErrorShare::kRunning) {
        running = AddShare(running, delta, weight);
    } else if constexpr (Share == ErrorShare::kInPlace) {
        sourceDelta[r - 1] = AddShare(sourceDelta[r - 1], delta, weight);
    }
}

// A rule's loop in the defined order: weight row r = 0 (the bias row) ..
// sources, in it destination neuron j, each weight updated and then, for
// r >= 1, its share of the error (the destination delta times the weight
// just updated) handed to source neuron r - 1 in the given form.
// rowUpdate(r) returns the update of row r, called as update(row, j) for
// the weight at row + j (row = r x stride); it may hold what the whole row
// shares.
template <ErrorShare Share, typename Element, typename RowUpdate>
inline void TrainInDefinedOrder(const LinkShape& shape, const Element* weights, const Element* delta,
                                Element* sourceDelta, RowUpdate rowUpdate) {
    for (uint32_t r = 0; r <= shape.sources; ++r) {
        const size_t row = size_t{r} * shape.stride;
        const auto update = rowUpdate(r);
        const bool shares = Share != ErrorShare::kNone && r > 0;
        Element running = shares ? sourceDelta[r - 1] : Element{0};
        for (uint32_t j = 0; j < shape.destinations; ++j) {
            update(row, j);
            if (shares) ShareWeight<Share>(running, sourceDelta, r, delta[j], weights[row + j]);
        }
        if constexpr (Share == ErrorShare::kRunning) {
            if (shares) sourceDelta[r - 1] = running;
        }
    }
}

}  // namespace koru::bp
