// Propagation of a probabilistic net: the pattern slab's kernel activations
// and the output slab's class scores.
#include <algorithm>

#include "core/portable_math.h"
#include "patternnets/pattern_unit_kernels.h"
#include "patternnets/pattern_unit_sums.h"
#include "patternnets/pattern_units.h"
#include "patternnets/probabilistic_net.h"

namespace koru {

namespace {

// Exponents below this give no activation in the distance variant.
constexpr double kLowestExponent = -25.0;
// Exponents above this give the cap in the dot-product variant.
constexpr double kHighestExponent = 25.0;

}  // namespace

float PnnKernel(float v, uint16_t variant, float sigmaSquared) {
    // The exponent is formed in double precision from the two floats. A zero
    // numerator gives exponent 0 even when s2 has underflowed to zero (a
    // sigma below about 1e-23), where 0 / 0 would turn an exact match into NaN.
    const double s2 = sigmaSquared;
    switch (variant) {
        case kPnnCityBlockVariant: {
            const double t = v == 0.0f ? 0.0 : -static_cast<double>(v) / s2;
            return static_cast<float>(Exp(t));
        }
        case kPnnDotVariant: {
            const double numerator = static_cast<double>(v) - 1.0;
            const double t = numerator == 0.0 ? 0.0 : numerator / s2;
            if (t > kHighestExponent) return kPnnActivationCap;
            return static_cast<float>(Exp(t));
        }
        case 0: {
            const double t = v == 0.0f ? 0.0 : -static_cast<double>(v) / (s2 * 2.0);
            if (t < kLowestExponent) return 0.0f;
            return static_cast<float>(Exp(t));
        }
        default:
            return v;
    }
}

int16_t PnnPropagateSlab(NetEntry& net, SlabRecord& slab, float sigma) {
    const bool output = slab.kind == KORU32_SLAB_OUTPUT;
    float* const counts = CountsOf(slab);
    if (output && counts == nullptr) return KORU32_ERR_WRONG_PARADIGM;

    const float sigmaSquared = sigma * sigma;
    const int32_t units = UnitsInUse(net);
    float* const values = slab.values->Floats();
    const uint32_t neurons = slab.values->count;
    std::fill(values, values + neurons, 0.0f);

    const LinkSum sum = output || net.variant == kPnnDotVariant ? SumDot
                        : net.variant == kPnnCityBlockVariant   ? SumCityBlock
                                                                : SumSquared;
    if (!SumActiveLinks(slab, sum, units)) return KORU32_OK;

    if (output) {
        // A class without pattern units scores 0 rather than dividing by zero.
        const uint32_t classes = std::min(neurons, slab.deltas->count);
        for (uint32_t j = 0; j < classes; ++j) values[j] = counts[j] == 0.0f ? 0.0f : values[j] / counts[j];
        return KORU32_OK;
    }
    const uint32_t active = std::min(static_cast<uint32_t>(units), neurons);
    PnnKernels(values, active, net.variant, sigmaSquared);
    return KORU32_OK;
}

}  // namespace koru
