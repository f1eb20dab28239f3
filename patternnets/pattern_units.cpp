#include "patternnets/pattern_units.h"

namespace koru {

float* CountsOf(SlabRecord& slab) {
    if (slab.deltas == nullptr || slab.deltas->format != kFloat32) return nullptr;
    return slab.deltas->Floats();
}

int16_t TakeNewUnit(NetEntry& net, const SlabRecord& output, uint16_t& unit) {
    if (output.inCount == 0) return KORU32_ERR_NO_INCOMING_LINKS;
    const uint32_t capacity = static_cast<uint16_t>(output.inLinks[0]->source->NeuronCount());
    const int32_t inUse = UnitsInUse(net);
    if (capacity <= static_cast<uint32_t>(inUse)) return KORU32_ERR_BAD_PATTERN;
    net.patternCount = static_cast<int16_t>(inUse + 1);
    unit = static_cast<uint16_t>(net.patternCount);
    return KORU32_OK;
}

int16_t PresentedUnit(const NetEntry& net, int16_t pattern, uint16_t& unit) {
    if (pattern < 1 || pattern > net.patternCount) return KORU32_ERR_BAD_PATTERN;
    unit = static_cast<uint16_t>(pattern);
    return KORU32_OK;
}

int16_t TrainedUnit(const NetEntry& net, int16_t pattern, uint16_t& unit) {
    if (pattern == 0) {
        if (net.patternCount < 1) return KORU32_ERR_BAD_PATTERN;
        unit = static_cast<uint16_t>(net.patternCount);
        return KORU32_OK;
    }
    return PresentedUnit(net, pattern, unit);
}

bool FitsTrainedLinks(const SlabRecord& slab, uint16_t unit) {
    for (uint16_t i = 0; i < slab.outCount; ++i) {
        const LinkRecord& link = *slab.outLinks[i];
        if (!IsTrained(link)) continue;
        const uint32_t units = slab.kind == KORU32_SLAB_INPUT ? link.weights->cols : link.weights->rows;
        if (unit > units) return false;
    }
    return true;
}

}  // namespace koru
