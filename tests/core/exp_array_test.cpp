// The array form of the exponential against koru::Exp element by element,
// bit for bit, in arrays of odd lengths (every vector width, chunk and
// remainder): the edges of the vector loop's range (+-708) and of the scalar
// function's overflow and subnormal ranges, NaN and infinities, each alone
// among ordinary arguments, and random arguments of every magnitude.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "common/float_bits.h"
#include "core/exp_map.h"
#include "core/portable_math.h"

namespace {

using koru_test::BitsOf;
using koru_test::DoubleFromBits;

// The exponential itself through the array loop the transfer functions and
// the pattern-unit kernels use, compiled in the same vector copies.
struct PlainExp {
    static double Argument(double x) { return x; }
    static double Finish(double, double, double e) { return e; }
    static double Scalar(double x) { return koru::Exp(x); }
};
KORU_VECTOR_CLONES void ExpOfArray(double* values, uint32_t n) { koru::MapThroughExp(values, n, PlainExp{}); }

void ExpectSameBits(const std::vector<double>& arguments) {
    std::vector<double> values = arguments;
    ExpOfArray(values.data(), static_cast<uint32_t>(values.size()));
    for (size_t i = 0; i < arguments.size(); ++i) {
        ASSERT_EQ(BitsOf(values[i]), BitsOf(koru::Exp(arguments[i]))) << i << " of " << arguments.size() << ": " << std::hexfloat << arguments[i];
    }
}

TEST(ExpOfArray, EdgesAmongOrdinaryArgumentsAndRandomArgumentsOfEveryMagnitude) {
    const double inf = std::numeric_limits<double>::infinity(), max = std::numeric_limits<double>::max();
    std::vector<double> edges = {inf, -inf, std::nan(""), -std::nan(""), DoubleFromBits(0x7ff0000000000001ull), max, -max, -0.0, 1e300, -1e300};
    for (double c : {708.0, -708.0, 709.782712893384, 709.79, -709.089565712824, -745.1332191019411, -745.2,
                     -744.44007192138, 0.0, 1.0, -1.0, 0x1p-1074, -0x1p-1074, 0x1p-1022, 50.0, -50.0, 25.0, -25.0}) {
        koru_test::AppendNeighbours(edges, c, 40);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameBits(edges));
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> ordinary(-30.0, 30.0), wide(-800.0, 800.0);
    for (int round = 0; round < 40; ++round) {
        for (uint32_t length : {1u, 3u, 17u, 33u, 63u, 64u, 65u, 257u, 4099u}) {
            // A chunk with one exceptional element must redo that one alone.
            std::vector<double> arguments(length), any(length);
            for (double& x : arguments) x = ordinary(random);
            arguments[random() % length] = edges[random() % edges.size()];
            for (double& x : any) x = round % 2 ? wide(random) : DoubleFromBits(random());
            ASSERT_NO_FATAL_FAILURE(ExpectSameBits(arguments));
            ASSERT_NO_FATAL_FAILURE(ExpectSameBits(any));
        }
    }
}

}  // namespace
