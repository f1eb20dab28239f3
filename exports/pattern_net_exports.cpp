// Probabilistic and general regression nets: propagation, presentation of
// targets and storage of pattern units.
#include <cmath>

#include "core/engine.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/probabilistic_net.h"

using namespace koru;

namespace {

// 16 unless the net looked up is of `paradigm`. MakeNet gives these nets
// float32 arrays whatever the math mode; a net of theirs in any other format
// would be misread, so it is refused with the same code.
int16_t CheckParadigm(const NetEntry& net, uint16_t paradigm) {
    if (net.paradigm != paradigm || net.format != kFloat32) return KORU32_ERR_WRONG_PARADIGM;
    return KORU32_OK;
}

// The checks that both propagations run after the paradigm: 17 before the
// smoothing factor is looked at, then 32 for one that is not a finite number
// above zero (NaN and infinity included: an infinite factor flattens every
// kernel to 1, or to NaN for an infinite distance).
int16_t CheckPropagation(const SlabRecord& slab, float smoothing) {
    if (slab.inCount == 0) return KORU32_ERR_NO_INCOMING_LINKS;
    if (!(smoothing > 0.0f) || std::isinf(smoothing)) return KORU32_ERR_BAD_SMOOTHING;
    return KORU32_OK;
}

}  // namespace

extern "C" {

int16_t KORU32_CALL PnnPropagate(const int16_t* net, const int16_t* slab, const float* smoothing) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_PNN)) return code;
    if (int16_t code = CheckPropagation(*found.slab, *smoothing)) return code;
    return PnnPropagateSlab(*found.net, *found.slab, *smoothing);
}

int16_t KORU32_CALL PnnEvaluate(const int16_t* net, const int16_t* slab, const float* targets,
                                const int16_t* pattern) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.slab->kind != KORU32_SLAB_OUTPUT) return KORU32_ERR_NOT_OUTPUT_SLAB;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_PNN)) return code;
    return PnnEvaluateSlab(*found.net, *found.slab, targets, *pattern);
}

int16_t KORU32_CALL PnnTrain(const int16_t* net, const int16_t* slab, const int16_t* pattern) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_PNN)) return code;
    return PnnTrainSlab(*found.net, *found.slab, *pattern);
}

int16_t KORU32_CALL GrnnPropagate(const int16_t* net, const int16_t* slab, const float* smoothing) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_GRNN)) return code;
    if (int16_t code = CheckPropagation(*found.slab, *smoothing)) return code;
    return GrnnPropagateSlab(*found.net, *found.slab, *smoothing);
}

int16_t KORU32_CALL GrnnEvaluate(const int16_t* net, const int16_t* slab, const float* targets,
                                 const int16_t* pattern) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.slab->kind != KORU32_SLAB_OUTPUT) return KORU32_ERR_NOT_OUTPUT_SLAB;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_GRNN)) return code;
    return GrnnEvaluateSlab(*found.net, *found.slab, targets, *pattern);
}

int16_t KORU32_CALL GrnnTrain(const int16_t* net, const int16_t* slab, const int16_t* pattern) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (int16_t code = CheckParadigm(*found.net, KORU32_PARADIGM_GRNN)) return code;
    return GrnnTrainSlab(*found.net, *found.slab, *pattern);
}

}  // extern "C"
