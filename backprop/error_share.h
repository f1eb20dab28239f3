// How a training loop hands a source neuron its share of the error.
#pragma once

#include "core/engine.h"

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

}  // namespace koru::bp
