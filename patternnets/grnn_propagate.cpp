// Propagation of a general regression net: the pattern slab's activations and
// denominator, and the output slab's estimates.
#include <algorithm>

#include "core/portable_math.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/pattern_unit_kernels.h"
#include "patternnets/pattern_unit_sums.h"
#include "patternnets/pattern_units.h"

namespace koru {

float GrnnKernel(float v, uint16_t variant, float sigma, float sigmaSquared) {
    // Neither kernel limits its exponent. The exponent is formed in double
    // precision; a zero distance gives exponent 0 even when the divisor has
    // underflowed to zero, where 0 / 0 would turn an exact match into NaN.
    if (v == 0.0f) return static_cast<float>(Exp(0.0));
    const double divisor =
        variant == kGrnnCityBlockVariant ? static_cast<double>(sigma) : static_cast<double>(sigmaSquared) * 2.0;
    return static_cast<float>(Exp(-static_cast<double>(v) / divisor));
}

namespace {

// The pattern slab: kernels on the units in use, then the denominator
// sum(c_u * k_u), each product exact in double and the sum kept in double
// after every term.
void FinishPatternSlab(SlabRecord& slab, const float* counts, uint16_t variant, int32_t units, float sigma,
                       float sigmaSquared) {
    float* const values = slab.values->Floats();
    const uint32_t active = std::min({static_cast<uint32_t>(units), slab.values->count, slab.deltas->count});
    slab.errorSum = GrnnKernelsAndDenominator(values, counts, active, variant, sigma, sigmaSquared);
}

// The output slab: divide by the denominator of the first link's source slab.
int16_t FinishOutputSlab(SlabRecord& slab) {
    const double denominator = slab.inLinks[0]->source->errorSum;
    float* const values = slab.values->Floats();
    const uint32_t outputs = slab.values->count;
    if (denominator == 0.0) {
        std::fill(values, values + outputs, 0.0f);
        return KORU32_ERR_ZERO_DENOMINATOR;
    }
    for (uint32_t j = 0; j < outputs; ++j) values[j] = static_cast<float>(values[j] / denominator);
    return KORU32_OK;
}

}  // namespace

int16_t GrnnPropagateSlab(NetEntry& net, SlabRecord& slab, float sigma) {
    const bool output = slab.kind == KORU32_SLAB_OUTPUT;
    const float* const counts = CountsOf(slab);
    if (!output && counts == nullptr) return KORU32_ERR_WRONG_PARADIGM;

    const float sigmaSquared = sigma * sigma;
    const int32_t units = UnitsInUse(net);
    float* const values = slab.values->Floats();
    std::fill(values, values + slab.values->count, 0.0f);

    const LinkSum sum = output ? SumDot : net.variant == kGrnnCityBlockVariant ? SumCityBlock : SumSquared;
    if (!SumActiveLinks(slab, sum, units)) return KORU32_OK;
    if (output) return FinishOutputSlab(slab);
    FinishPatternSlab(slab, counts, net.variant, units, sigma, sigmaSquared);
    return KORU32_OK;
}

}  // namespace koru
