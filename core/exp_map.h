// A function built on the exponential, applied to every element of an array
// several elements side by side, with exactly the bits of the scalar function
// applied to each element.
//
// The vector loop takes every argument inside +-708 through the shared kernel
// (the very operations of koru::Exp there) and has nothing that branches per
// element, so the compiler can vectorise it in each vector clone. An element
// whose argument lies outside (overflow, the subnormal results, infinities,
// NaN) is rare: the loop notes that one occurred and such elements are
// redone afterwards by the scalar function itself. The array is walked in
// chunks small enough for the inputs to be kept on the stack meanwhile.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/exp_kernel.h"
#include "core/vector_clones.h"

namespace koru {

// Function supplies, for an element x of type Element:
//   double Argument(Element x)            the argument of the exponential
//   Element Finish(Element x, double t, double e)
//                                          the result from x, t and e = e^t
//   Element Scalar(Element x)              the scalar function itself
// where Finish(x, t, e^t) == Scalar(x) bit for bit whenever t lies inside
// +-708, e^t computed by koru::Exp.
// One chunk: v[j] from input[j], j < m; returns whether an argument fell
// outside +-708. (The pointers are distinct arrays, which lets the compiler
// read the kernel's table by gathers.)
template <typename Element, typename Function>
KORU_INLINE_INTO_CLONES bool MapChunkThroughExp(Element* __restrict v, const Element* __restrict input, uint32_t m,
                                                const Function& function) {
    uint32_t outside = 0;
    for (uint32_t j = 0; j < m; ++j) {
        const Element x = input[j];
        const double t = function.Argument(x);
        outside |= static_cast<uint32_t>(!exp_kernel::InsideNormalRange(t));
        // An argument outside goes through the kernel all the same (it reads
        // nothing outside its table whatever the argument) and is redone.
        v[j] = function.Finish(x, t, exp_kernel::ExpInsideNormalRange(t));
    }
    return outside != 0;
}

template <typename Element, typename Function>
KORU_INLINE_INTO_CLONES void MapThroughExp(Element* values, uint32_t n, const Function& function) {
    constexpr uint32_t kChunk = 64;
    for (uint32_t start = 0; start < n; start += kChunk) {
        const uint32_t m = n - start < kChunk ? n - start : kChunk;
        Element* const v = values + start;
        Element input[kChunk];
        std::memcpy(input, v, m * sizeof(Element));
        if (MapChunkThroughExp(v, input, m, function)) {
            for (uint32_t j = 0; j < m; ++j) {
                if (!exp_kernel::InsideNormalRange(function.Argument(input[j]))) v[j] = function.Scalar(input[j]);
            }
        }
    }
}

}  // namespace koru
