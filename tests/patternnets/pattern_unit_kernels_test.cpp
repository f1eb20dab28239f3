// The kernels over all pattern units (the vector loop) against PnnKernel and
// GrnnKernel unit by unit, bit for bit: values of every magnitude, zeros, NaN
// and infinities, the exponent limits and their neighbours, sigmas whose
// square underflows up to huge ones, every variant (and one the kernels do
// not know), odd unit counts; and the general regression net's denominator
// formed beside its kernels against the plain chain.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "common/float_bits.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/pattern_unit_kernels.h"
#include "patternnets/probabilistic_net.h"

namespace {

using koru_test::BitsOf;

void ExpectKernelsMatchUnits(const std::vector<float>& sums, uint16_t variant, float sigma, bool grnn) {
    const float sigmaSquared = sigma * sigma;
    const auto n = static_cast<uint32_t>(sums.size());
    std::vector<float> values = sums, counts(sums.size());
    for (size_t u = 0; u < sums.size(); ++u) counts[u] = static_cast<float>(u % 7) * 0.75f + static_cast<float>(u % 3);
    double denominator = 0.0, expected = 0.0;
    if (grnn) {
        denominator = koru::GrnnKernelsAndDenominator(values.data(), counts.data(), n, variant, sigma, sigmaSquared);
    } else {
        koru::PnnKernels(values.data(), n, variant, sigmaSquared);
    }
    for (size_t u = 0; u < sums.size(); ++u) {
        const float kernel = grnn ? koru::GrnnKernel(sums[u], variant, sigma, sigmaSquared)
                                  : koru::PnnKernel(sums[u], variant, sigmaSquared);
        ASSERT_EQ(BitsOf(values[u]), BitsOf(kernel)) << "unit " << u << " of " << n << ", value " << sums[u];
        expected = expected + static_cast<double>(counts[u]) * static_cast<double>(values[u]);
    }
    if (grnn) { ASSERT_EQ(BitsOf(denominator), BitsOf(expected)) << n << " units"; }
}

struct VariantCase { uint16_t variant; bool grnn; };
const VariantCase kVariants[] = {{0, false}, {koru::kPnnDotVariant, false}, {koru::kPnnCityBlockVariant, false},
                                 {0, true},  {koru::kGrnnCityBlockVariant, true}, {3, false}};
const float kSigmas[] = {1e-24f, 1e-3f, 0.25f, 0.5f, 1.0f, 3.0f, 1e3f, 1e20f, 0.0f};

// Values that put each kernel's exponent at its limits: for sigma s the
// distance variant's exponent is -v / (2 s^2), the dot variant's
// (v - 1) / s^2, the city-block variants' -v / s^2 or -v / s.
std::vector<float> EdgeValues(float sigma) {
    const float inf = std::numeric_limits<float>::infinity(), s2 = sigma * sigma;
    std::vector<float> edges = {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), 1.0f,
                                std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min()};
    for (float centre : {50.0f * s2, 25.0f * s2 + 1.0f, -25.0f * s2 + 1.0f, 708.0f * s2, 1416.0f * s2, 708.0f * sigma,
                         745.2f * s2, -708.0f * s2 + 1.0f}) {
        koru_test::AppendNeighbours(edges, centre, 12);
    }
    return edges;
}

TEST(PatternUnitKernels, EdgeAndRandomValuesOfEveryVariantAndSigma) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    for (const VariantCase& kind : kVariants) {
        for (float sigma : kSigmas) {
            SCOPED_TRACE(::testing::Message() << (kind.grnn ? "GRNN" : "PNN") << " variant " << kind.variant << ", sigma " << sigma);
            const std::vector<float> edges = EdgeValues(sigma);
            ExpectKernelsMatchUnits(edges, kind.variant, sigma, kind.grnn);
            for (uint32_t units : {1u, 3u, 17u, 33u, 257u, 1000u}) {
                // Every magnitude from 2^-20 to 2^20, some negative (dot sums may be).
                std::vector<float> sums(units);
                for (float& v : sums) {
                    const float value = std::ldexp(mantissa(random), static_cast<int>(random() % 40) - 20);
                    v = random() % 4 == 0 ? -value : value;
                }
                ExpectKernelsMatchUnits(sums, kind.variant, sigma, kind.grnn);
                if (HasFatalFailure()) return;
            }
        }
    }
}

}  // namespace
