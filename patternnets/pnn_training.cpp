// Training of a probabilistic net: presenting a class vector (which assigns a
// pattern unit and keeps the class counts) and storing a unit's pattern and
// class vector.
#include <algorithm>
#include <cstring>

#include "core/weight_vectors.h"
#include "patternnets/pattern_units.h"
#include "patternnets/probabilistic_net.h"

namespace koru {

namespace {

// Every non-zero element of the output values moves its class count by `step`.
void CountClasses(const SlabRecord& slab, float* counts, float step) {
    const float* values = slab.values->Floats();
    const uint32_t classes = std::min(slab.values->count, slab.deltas->count);
    for (uint32_t j = 0; j < classes; ++j) {
        if (values[j] != 0.0f) counts[j] = counts[j] + step;
    }
}

}  // namespace

int16_t PnnEvaluateSlab(NetEntry& net, SlabRecord& slab, const float* targets, int16_t pattern) {
    float* const counts = CountsOf(slab);
    if (counts == nullptr) return KORU32_ERR_WRONG_PARADIGM;

    uint16_t unit = 0;
    if (pattern == 0) {
        if (int16_t code = TakeNewUnit(net, slab, unit)) return code;
    } else {
        if (int16_t code = PresentedUnit(net, pattern, unit)) return code;
        for (uint16_t i = 0; i < slab.inCount; ++i) {
            const LinkRecord& link = *slab.inLinks[i];
            if (IsActive(link) && unit > link.weights->rows) return KORU32_ERR_BAD_PATTERN;
        }
        // Withdraw the unit's stored class vector: read it back into the output
        // values and uncount it. With no active link there is no stored vector,
        // and whatever the values held must not be uncounted.
        bool withdrawn = false;
        for (uint16_t i = 0; i < slab.inCount; ++i) {
            const LinkRecord& link = *slab.inLinks[i];
            if (!IsActive(link)) continue;
            GetRow(*slab.values, *link.weights, unit);
            withdrawn = true;
        }
        if (withdrawn) CountClasses(slab, counts, -1.0f);
    }
    // The caller's four bytes per class, unchanged.
    std::memcpy(slab.values->data, targets, size_t{slab.values->count} * sizeof(float));
    CountClasses(slab, counts, 1.0f);
    return KORU32_OK;
}

int16_t PnnTrainSlab(NetEntry& net, SlabRecord& slab, int16_t pattern) {
    uint16_t unit = 0;
    if (int16_t code = TrainedUnit(net, pattern, unit)) return code;
    if (!FitsTrainedLinks(slab, unit)) return KORU32_ERR_BAD_PATTERN;
    for (uint16_t i = 0; i < slab.outCount; ++i) {
        LinkRecord& link = *slab.outLinks[i];
        if (!IsTrained(link)) continue;
        if (slab.kind == KORU32_SLAB_INPUT) {
            PutColumn(*link.weights, *slab.values, unit);
        } else {
            PutRow(*link.weights, *link.dest->values, unit);
        }
    }
    return KORU32_OK;
}

}  // namespace koru
