// 8.24 fixed-point arithmetic shared by the paradigms that compute in it.
#pragma once

#include <cstdint>

namespace koru {

inline constexpr int32_t kFixedOneBits = 0x1000000;  // 1.0

// The 8.24 product: the full 64-bit product shifted right arithmetically by
// 24 bits (the floor of the exact product in 8.24 units), low 32 bits kept.
// A product outside the 8.24 range wraps.
inline int32_t FixedMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>((int64_t{a} * b) >> 24));
}

// 32-bit two's-complement addition and subtraction that wrap without
// saturation (and without the undefined behaviour of signed overflow).
inline int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace koru
