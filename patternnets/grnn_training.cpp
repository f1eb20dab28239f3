// Training of a general regression net: presenting a target vector (which
// assigns a pattern unit) and storing a unit's pattern, targets and count.
#include <cstring>

#include "core/weight_vectors.h"
#include "patternnets/general_regression_net.h"
#include "patternnets/pattern_units.h"

namespace koru {

namespace {

// Whether every active incoming link of an output slab comes from a slab that
// keeps a count for `unit`: 16 when one keeps no counts, 31 when its counts
// end before the unit.
int16_t CheckSourceCounts(SlabRecord& output, uint16_t unit) {
    for (uint16_t i = 0; i < output.inCount; ++i) {
        LinkRecord& link = *output.inLinks[i];
        if (!IsActive(link)) continue;
        if (CountsOf(*link.source) == nullptr) return KORU32_ERR_WRONG_PARADIGM;
        if (unit > link.source->deltas->count) return KORU32_ERR_BAD_PATTERN;
    }
    return KORU32_OK;
}

bool HasTrainedOutLink(const SlabRecord& slab) {
    for (uint16_t i = 0; i < slab.outCount; ++i) {
        if (IsTrained(*slab.outLinks[i])) return true;
    }
    return false;
}

}  // namespace

int16_t GrnnEvaluateSlab(NetEntry& net, SlabRecord& slab, const float* targets, int16_t pattern) {
    uint16_t unit = 0;
    if (pattern == 0) {
        if (int16_t code = TakeNewUnit(net, slab, unit)) return code;
    } else {
        if (int16_t code = PresentedUnit(net, pattern, unit)) return code;
        if (int16_t code = CheckSourceCounts(slab, unit)) return code;
        // Only the count is lowered; the row stays, and the training that
        // follows overwrites it and raises the count again.
        for (uint16_t i = 0; i < slab.inCount; ++i) {
            LinkRecord& link = *slab.inLinks[i];
            if (!IsActive(link)) continue;
            float& count = CountsOf(*link.source)[unit - 1];
            count = count - 1.0f;
        }
    }
    // The caller's four bytes per output, unchanged.
    std::memcpy(slab.values->data, targets, size_t{slab.values->count} * sizeof(float));
    return KORU32_OK;
}

int16_t GrnnTrainSlab(NetEntry& net, SlabRecord& slab, int16_t pattern) {
    uint16_t unit = 0;
    if (int16_t code = TrainedUnit(net, pattern, unit)) return code;
    const bool storesTargets = slab.kind != KORU32_SLAB_INPUT;
    float* const counts = CountsOf(slab);
    if (storesTargets && HasTrainedOutLink(slab)) {
        if (counts == nullptr) return KORU32_ERR_WRONG_PARADIGM;
        if (unit > slab.deltas->count) return KORU32_ERR_BAD_PATTERN;
    }
    if (!FitsTrainedLinks(slab, unit)) return KORU32_ERR_BAD_PATTERN;

    for (uint16_t i = 0; i < slab.outCount; ++i) {
        LinkRecord& link = *slab.outLinks[i];
        if (!IsTrained(link)) continue;
        if (!storesTargets) {
            PutColumn(*link.weights, *slab.values, unit);
            continue;
        }
        PutRow(*link.weights, *link.dest->values, unit);
        counts[unit - 1] = counts[unit - 1] + 1.0f;
    }
    return KORU32_OK;
}

}  // namespace koru
