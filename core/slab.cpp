// Slab set-up and removal.
#include "core/engine.h"

namespace koru {

namespace {

// Which slabs keep a deltas array: backpropagation hidden and output slabs
// (deltas), PNN output slabs (class counts) and GRNN hidden slabs (unit counts).
bool HasDeltas(uint16_t paradigm, uint8_t kind) {
    return (paradigm == KORU32_PARADIGM_BACKPROP && kind != KORU32_SLAB_INPUT) ||
           (paradigm == KORU32_PARADIGM_PNN && kind == KORU32_SLAB_OUTPUT) ||
           (paradigm == KORU32_PARADIGM_GRNN && kind == KORU32_SLAB_HIDDEN);
}

}  // namespace

int16_t SetUpSlab(SlabRecord& slab, uint32_t neurons, uint8_t kind, uint16_t paradigm, uint16_t format) {
    const auto count = static_cast<uint16_t>(neurons);
    ValueArray* values = NewValueArray(static_cast<int16_t>(format), count, 1);
    if (values == nullptr) return KORU32_ERR_NO_MEMORY;

    ValueArray* sums = nullptr;
    if (paradigm == KORU32_PARADIGM_BACKPROP) {
        sums = NewValueArray(static_cast<int16_t>(format), count, 1);
        if (sums == nullptr) {
            FreeValueArray(values);
            return KORU32_ERR_NO_MEMORY;
        }
    }
    ValueArray* deltas = nullptr;
    if (HasDeltas(paradigm, kind)) {
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
