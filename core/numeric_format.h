// The eight number formats of the engine's elements and their conversions to
// and from double precision.
//
// Writing scales the value, adds one half and truncates toward zero, keeping
// only the low bits of the integer: there is no saturation, so 200.0 in 8.24
// reads back as -56.0, and negative values move toward zero.
#pragma once

#include <cstdint>

namespace koru {

enum NumericFormat : int16_t {
    kFixed824 = 0,  // signed 32-bit, value x 2^24
    kFixed412 = 1,  // signed 16-bit, value x 2^12
    kFixed35 = 2,   // signed 8-bit, value x 2^5
    kFloat32 = 3,   // IEEE single
    kFloat64 = 4,   // IEEE double
    kInt8 = 5,
    kInt16 = 6,
    kInt32 = 7,
};

inline constexpr double kFixedOne = 16777216.0;  // 1.0 in 8.24

// Element size in bytes; code 8 also gives 4, any other unknown code 0.
uint32_t ElementSize(int16_t format);

// TruncateToLow32 for values outside the 64-bit range (rare, out of line).
uint32_t TruncateBeyond64Bits(double value);

// Truncates toward zero and keeps the low 32 bits of the integer. Values
// beyond the 64-bit range wrap exactly as well; NaN and infinities give 0.
inline uint32_t TruncateToLow32(double value) {
    // Inside the 64-bit range the conversion itself truncates toward zero.
    if (value > -9223372036854775808.0 && value < 9223372036854775808.0) {
        return static_cast<uint32_t>(static_cast<int64_t>(value));
    }
    return TruncateBeyond64Bits(value);
}

// value x 2^24 + 0.5: the 8.24 element of a value is this truncated toward
// zero, its low 32 bits kept.
inline double ScaledForFixed(double value) { return value * kFixedOne + 0.5; }

// trunc(value x 2^24 + 0.5), low 32 bits: the 8.24 element of a value.
inline int32_t ToFixed(double value) { return static_cast<int32_t>(TruncateToLow32(ScaledForFixed(value))); }

// The value of an 8.24 element.
inline double FromFixed(int32_t element) { return element * (1.0 / kFixedOne); }

// Reads the element at p in `format` into out and returns p advanced by
// `stride` elements. An unknown format reads nothing and returns p.
const uint8_t* ReadElement(const uint8_t* p, int16_t format, double& out, uint32_t stride);

// Writes `value` at p in `format` and returns p advanced by `stride`
// elements. An unknown format writes nothing and returns p.
uint8_t* WriteElement(uint8_t* p, int16_t format, double value, uint32_t stride);

}  // namespace koru
