// The exponential's kernel, shared by the scalar koru::Exp and the loops that
// take the exponential of a whole array, so that both run exactly the same
// operations on every element and give the same bits.
//
// x = (32 m + j) ln2/32 + r with |r| <= ln2/64, so e^x = 2^m * 2^(j/32) * e^r;
// 2^(j/32) comes from a 32-entry table held as a head and a tail (together
// accurate to about 2^-106), e^r - 1 from a short polynomial. Every step is an
// IEEE double operation rounded once to nearest, or a bit operation; nothing
// branches on the argument's value, so a loop over an array of arguments can
// run several of them side by side (the table read becomes a gather).
//
// The polynomial coefficients are weighted minimax fits computed in 50-digit
// arithmetic, each coefficient rounded to double before the following ones
// were refitted; the maximum approximation error is given with them.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/vector_clones.h"

namespace koru::exp_kernel {

KORU_INLINE_INTO_CLONES std::uint64_t BitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

KORU_INLINE_INTO_CLONES double FromBits(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline constexpr std::uint64_t kSignBit = 0x8000000000000000ull;

KORU_INLINE_INTO_CLONES double Magnitude(double x) { return FromBits(BitsOf(x) & ~kSignBit); }

// 2^m for -1022 <= m <= 1023, built directly in the exponent field.
KORU_INLINE_INTO_CLONES double PowerOfTwo(int m) {
    return FromBits(static_cast<std::uint64_t>(m + 1023) << 52);
}

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51
// to the nearest integer (ties to even); the sum's low mantissa bits then hold
// that integer in two's complement.
inline constexpr double kRoundShift = 0x1.8p52;

struct RoundedInteger {
    double value;  // the integer as a double
    std::int32_t integer;
};

KORU_INLINE_INTO_CLONES RoundedInteger RoundToInteger(double z) {
    const double shifted = z + kRoundShift;
    const auto low = static_cast<std::uint32_t>(BitsOf(shifted));
    return {shifted - kRoundShift, static_cast<std::int32_t>(low)};
}

// 2^(j/32) for j = 0..31: the nearest double (head) and the nearest double
// to the remainder (tail).
inline constexpr double kExp2Head[32] = {
    0x1.0000000000000p+0, 0x1.059b0d3158574p+0, 0x1.0b5586cf9890fp+0, 0x1.11301d0125b51p+0,
    0x1.172b83c7d517bp+0, 0x1.1d4873168b9aap+0, 0x1.2387a6e756238p+0, 0x1.29e9df51fdee1p+0,
    0x1.306fe0a31b715p+0, 0x1.371a7373aa9cbp+0, 0x1.3dea64c123422p+0, 0x1.44e086061892dp+0,
    0x1.4bfdad5362a27p+0, 0x1.5342b569d4f82p+0, 0x1.5ab07dd485429p+0, 0x1.6247eb03a5585p+0,
    0x1.6a09e667f3bcdp+0, 0x1.71f75e8ec5f74p+0, 0x1.7a11473eb0187p+0, 0x1.82589994cce13p+0,
    0x1.8ace5422aa0dbp+0, 0x1.93737b0cdc5e5p+0, 0x1.9c49182a3f090p+0, 0x1.a5503b23e255dp+0,
    0x1.ae89f995ad3adp+0, 0x1.b7f76f2fb5e47p+0, 0x1.c199bdd85529cp+0, 0x1.cb720dcef9069p+0,
    0x1.d5818dcfba487p+0, 0x1.dfc97337b9b5fp+0, 0x1.ea4afa2a490dap+0, 0x1.f50765b6e4540p+0,
};
inline constexpr double kExp2Tail[32] = {
    0x0.0p+0,                0x1.d73e2a475b465p-55,  0x1.8a62e4adc610bp-54,  -0x1.6c51039449b3ap-54,
    -0x1.19041b9d78a76p-55, 0x1.e016e00a2643cp-54,  0x1.9b07eb6c70573p-54,  0x1.612e8afad1255p-55,
    0x1.6f46ad23182e4p-55,  -0x1.63aeabf42eae2p-54, 0x1.ada0911f09ebcp-55,  0x1.89b7a04ef80d0p-59,
    0x1.d4397afec42e2p-56,  -0x1.07abe1db13cadp-55, 0x1.6324c054647adp-54,  -0x1.383c17e40b497p-54,
    -0x1.bdd3413b26456p-54, -0x1.16e4786887a99p-55, -0x1.41577ee04992fp-55, -0x1.d4c1dd41532d8p-54,
    0x1.6e9f156864b27p-54,  -0x1.75fc781b57ebcp-57, 0x1.c7c46b071f2bep-56,  -0x1.d2f6edb8d41e1p-54,
    0x1.7a1cd345dcc81p-54,  -0x1.5584f7e54ac3bp-56, 0x1.11065895048ddp-55,  0x1.503cbd1e949dbp-56,
    0x1.2ed02d75b3707p-55,  -0x1.1a5cd4f184b5cp-54, -0x1.e9c23179c2893p-54, 0x1.9d3e12dd8a18bp-54,
};

inline constexpr double kThirtyTwoOverLn2 = 0x1.71547652b82fep+5;
// ln2/32 in two parts: the head has 36 significant bits, so n times the head
// is exact for |n| < 2^17 (every n met here), and x - n * head is exact
// because it cancels; the tail carries the next 53 bits.
inline constexpr double kLn2By32Head = 0x1.62e42fefa0000p-6;
inline constexpr double kLn2By32Tail = 0x1.cf79abc9e3b3ap-45;

// e^r - 1 = r + r^2 P(r) on |r| <= ln2/64; error below 2^-63 relative to e^r.
inline constexpr double kExpP0 = 0x1.0000000000000p-1;
inline constexpr double kExpP1 = 0x1.5555555548f79p-3;
inline constexpr double kExpP2 = 0x1.555555554d47ap-5;
inline constexpr double kExpP3 = 0x1.11115b7b4a8a1p-7;
inline constexpr double kExpP4 = 0x1.6c17148d7b94ep-10;

// e^x = 2^scale * (head + tail), head from the table, |tail| < 0.012 * head,
// and head + tail within about 2^-60 of the exact value relative to it.
// Valid for |x| < 1000 (so that n fits the exact products above); any other
// argument gives some result without touching memory outside the table.
struct ExpParts {
    double head;
    double tail;
    int scale;
};

KORU_INLINE_INTO_CLONES ExpParts ExpKernel(double x) {
    const RoundedInteger n = RoundToInteger(x * kThirtyTwoOverLn2);
    // The first subtraction is exact; the second rounds once, a relative
    // error of 2^-53 of r that reaches the result as 0.011 of an ulp.
    const double r = (x - n.value * kLn2By32Head) - n.value * kLn2By32Tail;
    const double expm1R =
        r + r * r * (kExpP0 + r * (kExpP1 + r * (kExpP2 + r * (kExpP3 + r * kExpP4))));
    const int j = n.integer & 31;
    return {kExp2Head[j], kExp2Tail[j] + kExp2Head[j] * expm1R, n.integer >> 5};
}

// Inside +-708 the result is a normal double and 2^m one factor.
inline constexpr double kNormalExpLimit = 708.0;

KORU_INLINE_INTO_CLONES bool InsideNormalRange(double x) { return Magnitude(x) <= kNormalExpLimit; }

// Below this argument e^x is under 2^-1075 and rounds to exactly 0.
inline constexpr double kZeroExpLimit = -745.2;

// e^x for InsideNormalRange(x): head + tail rounds once (error 0.5 ulp plus
// about 0.03 ulp from the tail), the power of two scales exactly.
KORU_INLINE_INTO_CLONES double ExpInsideNormalRange(double x) {
    const ExpParts e = ExpKernel(x);
    return (e.head + e.tail) * PowerOfTwo(e.scale);
}

}  // namespace koru::exp_kernel
