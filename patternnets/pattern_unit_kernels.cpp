// Each kernel names the argument of its exponential and how the activation
// follows from it, written exactly as in PnnKernel and GrnnKernel, so that the
// vector loop of MapThroughExp gives their bits; arguments outside the
// exponential kernel's range are redone by the scalar kernel itself. Every
// quotient is computed for every unit and the special cases (a zero
// comparison value, the exponent limits) picked by their bits, so that the
// loops never branch.
#include "patternnets/pattern_unit_kernels.h"

#include "core/exp_map.h"
#include "core/select_bits.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/probabilistic_net.h"

namespace koru {

namespace {

constexpr double kLowestExponent = -25.0;
constexpr double kHighestExponent = 25.0;

struct PnnDistance {
    double s2;
    float sigmaSquared;
    double Argument(float v) const { return SelectBits(v == 0.0f, 0.0, -static_cast<double>(v) / (s2 * 2.0)); }
    static float Finish(float, double t, double e) {
        return SelectBits(t < kLowestExponent, 0.0f, static_cast<float>(e));
    }
    float Scalar(float v) const { return PnnKernel(v, 0, sigmaSquared); }
};

struct PnnDot {
    double s2;
    float sigmaSquared;
    double Argument(float v) const {
        const double numerator = static_cast<double>(v) - 1.0;
        return SelectBits(numerator == 0.0, 0.0, numerator / s2);
    }
    static float Finish(float, double t, double e) {
        return SelectBits(t > kHighestExponent, kPnnActivationCap, static_cast<float>(e));
    }
    float Scalar(float v) const { return PnnKernel(v, kPnnDotVariant, sigmaSquared); }
};

struct PnnCityBlock {
    double s2;
    float sigmaSquared;
    double Argument(float v) const { return SelectBits(v == 0.0f, 0.0, -static_cast<double>(v) / s2); }
    static float Finish(float, double, double e) { return static_cast<float>(e); }
    float Scalar(float v) const { return PnnKernel(v, kPnnCityBlockVariant, sigmaSquared); }
};

struct GrnnKernelOf {
    double divisor;
    uint16_t variant;
    float sigma, sigmaSquared;
    double Argument(float v) const { return SelectBits(v == 0.0f, 0.0, -static_cast<double>(v) / divisor); }
    static float Finish(float, double, double e) { return static_cast<float>(e); }
    float Scalar(float v) const { return GrnnKernel(v, variant, sigma, sigmaSquared); }
};

KORU_VECTOR_CLONES void PnnDistanceKernels(float* values, uint32_t n, float sigmaSquared) {
    MapThroughExp(values, n, PnnDistance{sigmaSquared, sigmaSquared});
}
KORU_VECTOR_CLONES void PnnDotKernels(float* values, uint32_t n, float sigmaSquared) {
    MapThroughExp(values, n, PnnDot{sigmaSquared, sigmaSquared});
}
KORU_VECTOR_CLONES void PnnCityBlockKernels(float* values, uint32_t n, float sigmaSquared) {
    MapThroughExp(values, n, PnnCityBlock{sigmaSquared, sigmaSquared});
}
// The kernels a chunk of units at a time, each chunk's terms of the
// denominator added as soon as its activations exist: the chain of additions
// (one long wait per unit) then runs beside the next chunk's exponentials
// instead of after all of them. The chain's order is unit order, unchanged.
constexpr uint32_t kDenominatorChunk = 64;

KORU_VECTOR_CLONES double GrnnKernelsOfWithDenominator(float* values, const float* counts, uint32_t n,
                                                       const GrnnKernelOf& kernel) {
    double denominator = 0.0;
    for (uint32_t start = 0; start < n; start += kDenominatorChunk) {
        const uint32_t end = n - start < kDenominatorChunk ? n : start + kDenominatorChunk;
        MapThroughExp(values + start, end - start, kernel);
        for (uint32_t u = start; u < end; ++u) {
            denominator = denominator + static_cast<double>(counts[u]) * static_cast<double>(values[u]);
        }
    }
    return denominator;
}

GrnnKernelOf KernelOf(uint16_t variant, float sigma, float sigmaSquared) {
    // The same divisor as GrnnKernel's, formed in double precision.
    const double divisor =
        variant == kGrnnCityBlockVariant ? static_cast<double>(sigma) : static_cast<double>(sigmaSquared) * 2.0;
    return GrnnKernelOf{divisor, variant, sigma, sigmaSquared};
}

}  // namespace

void PnnKernels(float* values, uint32_t n, uint16_t variant, float sigmaSquared) {
    switch (variant) {
        case 0: PnnDistanceKernels(values, n, sigmaSquared); break;
        case kPnnDotVariant: PnnDotKernels(values, n, sigmaSquared); break;
        case kPnnCityBlockVariant: PnnCityBlockKernels(values, n, sigmaSquared); break;
        default: break;  // the values stand as they are
    }
}

double GrnnKernelsAndDenominator(float* values, const float* counts, uint32_t n, uint16_t variant, float sigma,
                                 float sigmaSquared) {
    return GrnnKernelsOfWithDenominator(values, counts, n, KernelOf(variant, sigma, sigmaSquared));
}

}  // namespace koru
