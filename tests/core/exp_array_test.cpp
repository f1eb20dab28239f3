// The array form of the exponential against koru::Exp element by element,
// bit for bit: millions of random arguments of every magnitude, the edges of
// the vector loop's range (+-708) and of the scalar function's overflow and
// subnormal ranges, NaN and infinities, in arrays of odd lengths so that
// every vector width, chunk boundary and remainder is met.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "common/float_bits.h"
#include "core/exp_map.h"
#include "core/portable_math.h"

namespace {

// The exponential itself through the array loop that the transfer functions
// and the pattern-unit kernels use, compiled in the same vector copies.
struct PlainExp {
    static double Argument(double x) { return x; }
    static double Finish(double, double, double e) { return e; }
    static double Scalar(double x) { return koru::Exp(x); }
};

KORU_VECTOR_CLONES void ExpOfArray(double* values, uint32_t n) { koru::MapThroughExp(values, n, PlainExp{}); }

#ifdef NDEBUG
constexpr int kRounds = 150;  // 2.6 million arguments
#else
constexpr int kRounds = 10;
#endif

using koru_test::AppendNeighbours;
using koru_test::BitsOf;
constexpr auto FromBits = koru_test::DoubleFromBits;

// Runs ExpOfArray over `arguments` and compares every element's bits with
// Exp of it.
void ExpectSameBits(const std::vector<double>& arguments, const char* what) {
    std::vector<double> values = arguments;
    ExpOfArray(values.data(), static_cast<uint32_t>(values.size()));
    size_t mismatches = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::uint64_t expected = BitsOf(koru::Exp(arguments[i]));
        if (BitsOf(values[i]) != expected) {
            if (mismatches == 0) {
                ADD_FAILURE() << what << ": element " << i << " of " << arguments.size() << ", Exp("
                              << std::hexfloat << arguments[i] << ") = " << FromBits(expected) << ", array form "
                              << values[i] << std::defaultfloat;
            }
            ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0u) << what;
}

// The arguments around which the result changes character: the vector
// loop's limit, the overflow threshold, the scalar function's own cut-offs,
// the start of the subnormal results and the last nonzero one.
std::vector<double> EdgeArguments() {
    const double inf = std::numeric_limits<double>::infinity();
    const double centres[] = {708.0,     -708.0,   709.782712893384, 709.79,   -709.089565712824,
                              -745.1332191019411, -745.2, -744.44007192138, 0.0, 1.0,
                              -1.0,      0x1p-1074, -0x1p-1074, 0x1p-1022, 50.0, -50.0, 25.0, -25.0};
    std::vector<double> edges = {inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                                 -std::numeric_limits<double>::quiet_NaN(), FromBits(0x7ff0000000000001ull),
                                 std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), -0.0,
                                 1e300, -1e300, 1000.0, -1000.0};
    for (double c : centres) AppendNeighbours(edges, c, 40);
    return edges;
}

TEST(ExpOfArray, EdgeArgumentsAloneAndAmongOrdinaryOnes) {
    const std::vector<double> edges = EdgeArguments();
    ExpectSameBits(edges, "edges");
    // Each edge at every position of arrays of odd lengths, the rest of the
    // array ordinary arguments: a chunk with one exceptional element must
    // redo that one alone.
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> ordinary(-30.0, 30.0);
    for (uint32_t length : {1u, 3u, 17u, 33u, 63u, 64u, 65u, 257u}) {
        for (size_t e = 0; e < edges.size(); e += 7) {
            std::vector<double> arguments(length);
            for (double& x : arguments) x = ordinary(random);
            arguments[random() % length] = edges[e];
            ExpectSameBits(arguments, "one edge among ordinary arguments");
            if (HasFailure()) return;
        }
    }
}

TEST(ExpOfArray, MillionsOfRandomArguments) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> wide(-800.0, 800.0);
    std::uniform_real_distribution<double> inside(-708.0, 708.0);
    std::uniform_real_distribution<double> small(-1.0, 1.0);
    for (int round = 0; round < kRounds; ++round) {
        for (uint32_t length : {1u, 3u, 17u, 33u, 257u, 4099u}) {
            std::vector<double> arguments(length);
            for (int kind = 0; kind < 4; ++kind) {
                for (double& x : arguments) {
                    switch (kind) {
                        case 0: x = wide(random); break;
                        case 1: x = inside(random); break;
                        case 2: x = small(random) * std::ldexp(1.0, -static_cast<int>(random() % 60)); break;
                        default: x = FromBits(random()); break;  // every exponent, NaNs and infinities
                    }
                }
                ExpectSameBits(arguments, "random arguments");
                if (HasFailure()) return;
            }
        }
    }
}

}  // namespace
