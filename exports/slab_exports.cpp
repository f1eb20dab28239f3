// Slabs: making, removing, and moving values, deltas and counts between the
// caller and a slab.
#include <cstring>

#include "core/engine.h"
#include "core/net_build.h"

using namespace koru;

namespace {

bool IsPatternUnitParadigm(uint16_t paradigm) {
    return paradigm == KORU32_PARADIGM_PNN || paradigm == KORU32_PARADIGM_GRNN;
}

bool IsNeuronOf(int16_t neuron, const ValueArray& array) {
    return neuron >= 1 && static_cast<uint32_t>(neuron) <= array.count;
}

}  // namespace

extern "C" {

int16_t KORU32_CALL MakeSlab(const int16_t* net, const int16_t* slab, const int16_t* neurons,
                             const int16_t* kind) {
    return BuildSlab(*net, *slab, *neurons, *kind);
}

int16_t KORU32_CALL KillSlab(const int16_t* net, const int16_t* slab) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (int16_t code = RemoveSlab(*found.slab)) return code;
    found.net->block->slabUsed[*slab] = 0;
    return KORU32_OK;
}

int16_t KORU32_CALL PutSlab(const int16_t* net, const int16_t* slab, const float* values) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    ValueArray& array = *found.slab->values;
    CopyValues(values, kFloat32, array.data, array.format, array.count);
    return KORU32_OK;
}

int16_t KORU32_CALL GetSlab(const int16_t* net, const int16_t* slab, float* values) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    const ValueArray& array = *found.slab->values;
    CopyValues(array.data, array.format, values, kFloat32, array.count);
    return KORU32_OK;
}

int16_t KORU32_CALL PutSlabInteger(const int16_t* net, const int16_t* slab, const int16_t* values) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    ValueArray& array = *found.slab->values;
    uint8_t* p = array.data;
    for (uint32_t i = 0; i < array.count; ++i) p = WriteElement(p, array.format, values[i] * 0.0001, 1);
    return KORU32_OK;
}

int16_t KORU32_CALL GetSlabInteger(const int16_t* net, const int16_t* slab, int16_t* values) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    const ValueArray& array = *found.slab->values;
    const uint8_t* p = array.data;
    for (uint32_t i = 0; i < array.count; ++i) {
        double value = 0.0;
        p = ReadElement(p, array.format, value, 1);
        // Truncated, not rounded; out-of-range products wrap to 16 bits.
        values[i] = static_cast<int16_t>(TruncateToLow32(value * 10000.0));
    }
    return KORU32_OK;
}

int16_t KORU32_CALL SetSlab(const int16_t* net, const int16_t* slab, const float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    FillValues(*found.slab->values, *value);
    return KORU32_OK;
}

int16_t KORU32_CALL CopySlab(const int16_t* sourceNet, const int16_t* sourceSlab, const int16_t* destNet,
                             const int16_t* destSlab) {
    SlabLookup dest, source;
    if (int16_t code = FindSlab(*destNet, *destSlab, dest)) return code;
    if (int16_t code = FindSlab(*sourceNet, *sourceSlab, source)) return code;
    const ValueArray& from = *source.slab->values;
    ValueArray& to = *dest.slab->values;
    const uint32_t n = from.count < to.count ? from.count : to.count;
    CopyValues(from.data, from.format, to.data, to.format, n);
    return KORU32_OK;
}

int16_t KORU32_CALL SlideSlab(const int16_t* net, const int16_t* slab, const float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    ValueArray& array = *found.slab->values;
    const uint32_t size = ElementSize(array.format);
    if (array.count > 1) std::memmove(array.data + size, array.data, size_t{array.count - 1} * size);
    PutElement(0, array, *value);
    return KORU32_OK;
}

int16_t KORU32_CALL GetNeuron(const int16_t* net, const int16_t* slab, const int16_t* neuron, float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (!IsNeuronOf(*neuron, *found.slab->values)) return KORU32_ERR_BAD_NEURON;
    *value = static_cast<float>(GetElement(static_cast<uint32_t>(*neuron - 1), *found.slab->values));
    return KORU32_OK;
}

int16_t KORU32_CALL PutNeuron(const int16_t* net, const int16_t* slab, const int16_t* neuron,
                              const float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (!IsNeuronOf(*neuron, *found.slab->values)) return KORU32_ERR_BAD_NEURON;
    PutElement(static_cast<uint32_t>(*neuron - 1), *found.slab->values, *value);
    return KORU32_OK;
}

int16_t KORU32_CALL Transfer(const int16_t* net, const int16_t* slab, const int16_t* code) {
    return SetSlabTransfer(*net, *slab, *code);
}

// Input slabs of backpropagation nets, LVQ slabs, and PNN or GRNN slabs of
// the other kinds keep no deltas: the delta and count exports refuse them
// with 16 rather than reach for an array that is not there.

int16_t KORU32_CALL GetDelta(const int16_t* net, const int16_t* slab, const int16_t* neuron, float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.slab->deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    if (!IsNeuronOf(*neuron, *found.slab->deltas)) return KORU32_ERR_BAD_NEURON;
    *value = static_cast<float>(GetElement(static_cast<uint32_t>(*neuron - 1), *found.slab->deltas));
    return KORU32_OK;
}

int16_t KORU32_CALL PutDelta(const int16_t* net, const int16_t* slab, const int16_t* neuron,
                             const float* value) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.slab->deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    if (!IsNeuronOf(*neuron, *found.slab->deltas)) return KORU32_ERR_BAD_NEURON;
    PutElement(static_cast<uint32_t>(*neuron - 1), *found.slab->deltas, *value);
    return KORU32_OK;
}

int16_t KORU32_CALL GetCounts(const int16_t* net, const int16_t* slab, float* counts) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (!IsPatternUnitParadigm(found.net->paradigm)) return KORU32_ERR_WRONG_PARADIGM;
    const ValueArray* deltas = found.slab->deltas;
    if (deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    counts[0] = static_cast<float>(found.net->patternCount);
    CopyValues(deltas->data, deltas->format, counts + 1, kFloat32, deltas->count);
    return KORU32_OK;
}

int16_t KORU32_CALL PutCounts(const int16_t* net, const int16_t* slab, const float* counts) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (!IsPatternUnitParadigm(found.net->paradigm)) return KORU32_ERR_WRONG_PARADIGM;
    ValueArray* deltas = found.slab->deltas;
    if (deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    found.net->patternCount = static_cast<int16_t>(TruncateToLow32(counts[0]));
    CopyValues(counts + 1, kFloat32, deltas->data, deltas->format, deltas->count);
    return KORU32_OK;
}

}  // extern "C"
