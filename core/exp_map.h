// A function built on the exponential, applied to every element of an array
// several elements side by side, with exactly the bits of the scalar function
// applied to each element.
//
// The array is walked in chunks of up to 64 elements, a multiple of eight. A
// first pass over a chunk checks that every argument lies inside +-708 or
// below the limit where the exponential is exactly 0 (the pattern units far
// from the input, most of them with a small sigma); then the vector loop
// takes each through the shared kernel (the very operations of koru::Exp
// there), or takes 0, with nothing that branches per element, so the
// compiler can vectorise both passes in each vector clone. A chunk with an
// argument elsewhere (overflow, the subnormal results, NaN: rare) is
// computed by the scalar function itself, element by element, and so are the
// last n mod 8 elements: a vector of exponentials is worth its latency only
// when there are several of them, while successive scalar calls overlap.
#pragma once

#include <cstdint>

#include "core/exp_kernel.h"
#include "core/select_bits.h"
#include "core/vector_clones.h"

namespace koru {

// Function supplies, for an element x of type Element:
//   double Argument(Element x)            the argument of the exponential
//   Element Finish(Element x, double t, double e)
//                                          the result from x, t and e = e^t
//   Element Scalar(Element x)              the scalar function itself
// where Finish(x, t, e^t) == Scalar(x) bit for bit whenever t lies inside
// +-708 or below exp_kernel::kZeroExpLimit, e^t computed by koru::Exp (0 below
// the limit).
template <typename Element, typename Function>
KORU_INLINE_INTO_CLONES void MapThroughExp(Element* values, uint32_t n, const Function& function) {
    constexpr uint32_t kBlock = 8;
    constexpr uint32_t kChunk = 64;
    const uint32_t whole = n - n % kBlock;
    for (uint32_t start = 0; start < whole; start += kChunk) {
        const uint32_t m = whole - start < kChunk ? whole - start : kChunk;
        if (m % kBlock != 0) __builtin_unreachable();
        Element* const v = values + start;
        // The arguments are formed once (most hold a division) and kept.
        double arguments[kChunk];
        uint32_t outside = 0;
        for (uint32_t j = 0; j < m; ++j) {
            const double t = function.Argument(v[j]);
            arguments[j] = t;
            // | rather than ||: no branch, so that the loop is vectorised.
            outside |= static_cast<uint32_t>(!exp_kernel::InsideNormalRange(t)) &
                       static_cast<uint32_t>(!(t < exp_kernel::kZeroExpLimit));
        }
        if (outside == 0) {
            for (uint32_t j = 0; j < m; ++j) {
                const double t = arguments[j];
                // Below the limit the kernel runs on 0 and its result is set aside.
                const bool zero = t < exp_kernel::kZeroExpLimit;
                const double e =
                    SelectBits(zero, 0.0, exp_kernel::ExpInsideNormalRange(SelectBits(zero, 0.0, t)));
                v[j] = function.Finish(v[j], t, e);
            }
        } else {
            for (uint32_t j = 0; j < m; ++j) v[j] = function.Scalar(v[j]);
        }
    }
    for (uint32_t j = whole; j < n; ++j) {
        const Element x = values[j];
        const double t = function.Argument(x);
        values[j] = exp_kernel::InsideNormalRange(t) ? function.Finish(x, t, exp_kernel::ExpInsideNormalRange(t))
                                                     : function.Scalar(x);
    }
}

}  // namespace koru
