// A choice between two values made by masking their bits rather than by a
// branch. A loop that divides (or converts) in only one arm of a condition
// cannot be vectorised by the compiler, which may not evaluate a floating-
// point operation the program would have skipped; computing both values and
// picking one this way keeps the loop straight. The value picked is returned
// with its exact bits.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/vector_clones.h"

namespace koru {

// take ? a : b, for float or double.
template <typename T>
KORU_INLINE_INTO_CLONES T SelectBits(bool take, T a, T b) {
    using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
    static_assert(sizeof(T) == sizeof(Bits));
    const Bits mask = Bits{0} - static_cast<Bits>(take);
    Bits aBits, bBits;
    std::memcpy(&aBits, &a, sizeof a);
    std::memcpy(&bBits, &b, sizeof b);
    const Bits bits = (aBits & mask) | (bBits & ~mask);
    T result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

}  // namespace koru
