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

using koru_test::BitsOf;
constexpr auto FromBits = koru_test::DoubleFromBits;

void ExpectSameBits(const std::vector<double>& arguments) {
    std::vector<double> values = arguments;
    ExpOfArray(values.data(), static_cast<uint32_t>(values.size()));
    for (size_t i = 0; i < arguments.size(); ++i) {
        ASSERT_EQ(BitsOf(values[i]), BitsOf(koru::Exp(arguments[i])))
            << "element " << i << " of " << arguments.size() << ", argument " << std::hexfloat << arguments[i];
    }
}

TEST(ExpOfArray, EdgeArgumentsAloneAndAmongOrdinaryOnes) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> edges = {inf, -inf, nan, -nan, FromBits(0x7ff0000000000001ull), std::numeric_limits<double>::max(),
                                 -std::numeric_limits<double>::max(), -0.0, 1e300, -1e300, 1000.0, -1000.0};
    // The vector loop's limit, the overflow threshold, the scalar cut-offs,
    // the start of the subnormal results and the last nonzero one.
    for (double c : {708.0, -708.0, 709.782712893384, 709.79, -709.089565712824, -745.1332191019411, -745.2,
                     -744.44007192138, 0.0, 1.0, -1.0, 0x1p-1074, -0x1p-1074, 0x1p-1022, 50.0, -50.0, 25.0, -25.0}) {
        koru_test::AppendNeighbours(edges, c, 40);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameBits(edges));
    // Each edge among ordinary arguments: a chunk with one exceptional
    // element must redo that one alone.
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> ordinary(-30.0, 30.0);
    for (uint32_t length : {1u, 3u, 17u, 33u, 63u, 64u, 65u, 257u}) {
        for (size_t e = 0; e < edges.size(); e += 7) {
            std::vector<double> arguments(length);
            for (double& x : arguments) x = ordinary(random);
            arguments[random() % length] = edges[e];
            ASSERT_NO_FATAL_FAILURE(ExpectSameBits(arguments));
        }
    }
}

TEST(ExpOfArray, MillionsOfRandomArguments) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> wide(-800.0, 800.0), inside(-708.0, 708.0), small(-1.0, 1.0);
    for (int round = 0; round < kRounds; ++round) {
        for (uint32_t length : {1u, 3u, 17u, 33u, 257u, 4099u}) {
            std::vector<double> arguments(length);
            for (int kind = 0; kind < 4; ++kind) {
                for (double& x : arguments) {
                    x = kind == 0 ? wide(random) : kind == 1 ? inside(random)
                        : kind == 2 ? small(random) * std::ldexp(1.0, -static_cast<int>(random() % 60))
                                    : FromBits(random());  // every exponent, NaNs and infinities
                }
                ASSERT_NO_FATAL_FAILURE(ExpectSameBits(arguments));
            }
        }
    }
}

}  // namespace
