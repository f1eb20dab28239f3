// The 8.24 lookup tables of the fixed-point transfer functions and their
// interpolated read.
//
// Each table holds 512 samples of its function at x = (i - 256) / 32, that is
// -8.0 <= x <= 7.96875 in steps of 1/32 with entry 256 at x = 0.
#pragma once

#include <cstdint>

namespace koru {

inline constexpr int kTableSize = 512;

extern const int32_t LogisticTable[kTableSize];           // 1 / (1 + e^-x)
extern const int32_t TanhTable[kTableSize];               // tanh x
extern const int32_t Tanh15Table[kTableSize];             // tanh 1.5x
extern const int32_t SymmetricLogisticTable[kTableSize];  // 2 / (1 + e^-x) - 1
extern const int32_t SineTable[kTableSize];               // sin x
extern const int32_t CosineTable[kTableSize];             // cos x
extern const int32_t GaussianTable[kTableSize];           // e^(-x^2)

// Reads table T at the 8.24 value x. One table step is 2^19 units (1/32), so
// x >> 19 (arithmetic) picks the node left of x and the next 7 bits below it
// give x's place inside the step. Below the table the first entry is
// returned, from the last node on the last entry, both without interpolation;
// otherwise the two neighbouring entries are interpolated linearly, the
// product taken in 32 bits and shifted arithmetically.
inline int32_t TableLookup(const int32_t* table, int32_t x) {
    const int32_t index = (x >> 19) + 256;
    const int32_t fraction = (x >> 12) & 127;
    if (index < 0) return table[0];
    if (index >= kTableSize - 1) return table[kTableSize - 1];
    const int32_t left = table[index];
    // Neighbouring entries differ by far less than 2^24, so neither the
    // difference nor its product with a 7-bit fraction can overflow.
    return left + (((table[index + 1] - left) * fraction) >> 7);
}

}  // namespace koru
