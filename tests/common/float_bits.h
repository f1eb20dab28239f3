// Bit patterns of floating-point values, and the runs of neighbouring values
// around an edge, for the tests that hold a vector loop to its scalar form
// bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace koru_test {

inline uint32_t BitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline uint64_t BitsOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double DoubleFromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Appends `centre` and its neighbours, `steps` values on each side counting
// the centre itself: pairs (up, down) walking outwards one representable
// value at a time, so the centre comes first and twice.
template <typename Real>
void AppendNeighbours(std::vector<Real>& values, Real centre, int steps) {
    const Real inf = std::numeric_limits<Real>::infinity();
    Real up = centre, down = centre;
    for (int k = 0; k < steps; ++k) {
        values.push_back(up);
        values.push_back(down);
        up = std::nextafter(up, inf);
        down = std::nextafter(down, -inf);
    }
}

}  // namespace koru_test
