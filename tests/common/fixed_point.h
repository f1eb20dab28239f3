// The 8.24 element a real value becomes when written: scaled by 2^24 in
// double precision, one half added, truncated toward zero, and only the low
// 32 bits kept (values of 128 and more wrap). The reference the tests of
// every folder compare the engine's conversions with.
#pragma once

#include <cmath>
#include <cstdint>

namespace koru_test {

inline int32_t FixedFromReal(double value) {
    return static_cast<int32_t>(static_cast<int64_t>(std::trunc(value * 16777216.0 + 0.5)));
}

}  // namespace koru_test
