// The transfer codes of backpropagation slabs and the one-time dispatch on
// them that every slab loop uses.
#pragma once

#include <type_traits>

#include "koru32.h"

namespace koru::bp {

// Codes 3, 4 and 7 need the neuron's input for their derivative, so the
// forward pass keeps it in the slab's `sums`; the other codes leave `sums`
// alone.
constexpr bool KeepsSum(int code) {
    return code == KORU32_TRANSFER_GAUSSIAN || code == KORU32_TRANSFER_SINE ||
           code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT;
}

template <int Code>
using TransferCode = std::integral_constant<int, Code>;

// Calls body(TransferCode<code>{}) for a code 0..7, so that the loop inside
// the body is compiled once per code and decides nothing per neuron. Any
// other code (the field is read as signed) means "no transfer function": the
// body is not called and the result is false.
template <typename Body>
inline bool WithTransferCode(int code, Body&& body) {
    switch (code) {
        case 0: body(TransferCode<0>{}); return true;
        case 1: body(TransferCode<1>{}); return true;
        case 2: body(TransferCode<2>{}); return true;
        case 3: body(TransferCode<3>{}); return true;
        case 4: body(TransferCode<4>{}); return true;
        case 5: body(TransferCode<5>{}); return true;
        case 6: body(TransferCode<6>{}); return true;
        case 7: body(TransferCode<7>{}); return true;
        default: return false;
    }
}

}  // namespace koru::bp
