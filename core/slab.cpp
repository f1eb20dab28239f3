// Slab set-up and removal.
#include "core/engine.h"

namespace koru {

int16_t SetUpSlab(SlabRecord& slab, uint32_t neurons, uint8_t kind, uint16_t paradigm, uint16_t format) {
    const auto count = static_cast<uint16_t>(neurons);
    ValueArray* values = NewValueArray(static_cast<int16_t>(format), count, 1);
    if (values == nullptr) return KORU32_ERR_NO_MEMORY;

    ValueArray* sums = nullptr;
    const ParadigmRow* row = FindParadigm(paradigm);
    if (row != nullptr && row->sumsInSlabs) {
        sums = NewValueArray(static_cast<int16_t>(format), count, 1);
        if (sums == nullptr) {
            FreeValueArray(values);
            return KORU32_ERR_NO_MEMORY;
        }
    }
    ValueArray* deltas = nullptr;
    if (SlabKeepsDeltas(paradigm, kind)) {
        deltas = NewValueArray(static_cast<int16_t>(format), count, 1);
        if (deltas == nullptr) {
            FreeValueArray(sums);
            FreeValueArray(values);
            return KORU32_ERR_NO_MEMORY;
        }
        FillValues(*deltas, 0.0);
    }
    FillValues(*values, 0.0);

    slab.kind = kind;
    slab.transfer = 0;  // a defined code in every paradigm
    slab.inCount = 0;
    slab.outCount = 0;
    slab.values = values;
    for (int i = 0; i < kLinksPerSlabSide; ++i) {
        slab.inLinks[i] = nullptr;
        slab.outLinks[i] = nullptr;
    }
    slab.deltas = deltas;
    slab.sums = sums;
    slab.errorSum = 0.0;
    slab.winner = 0;  // so that LVQ training before any evaluation stays on the grid
    return KORU32_OK;
}

int16_t RemoveSlab(SlabRecord& slab) {
    if (slab.inCount != 0 || slab.outCount != 0) return KORU32_ERR_SLAB_HAS_LINKS;
    FreeValueArray(slab.values);
    FreeValueArray(slab.deltas);
    FreeValueArray(slab.sums);
    slab.values = slab.deltas = slab.sums = nullptr;
    return KORU32_OK;
}

}  // namespace koru
