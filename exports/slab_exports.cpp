// Slabs: making, removing, and moving values, deltas and counts between the
// caller and a slab.
#include <cstring>

#include "core/engine.h"

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
    if (!IsValidNetNumber(*net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (*slab < 0 || *slab >= kSlabsPerNet) return KORU32_ERR_BAD_SLAB_NUMBER;
    NetEntry& entry = netTable[*net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (*kind < KORU32_SLAB_INPUT || *kind > KORU32_SLAB_OUTPUT) return KORU32_ERR_BAD_SLAB_KIND;
    if (*neurons < 1) return KORU32_ERR_BAD_SIZE;
    if (entry.block->slabUsed[*slab] != 0) return KORU32_ERR_SLAB_EXISTS;
    state.currentParadigm = entry.paradigm;
    state.currentVariant = entry.variant;
    // The arrays take the net's own format, which every paradigm routine
    // assumes, even if SetMath has changed the mode since the net was made.
    const int16_t code = SetUpSlab(entry.block->slabs[*slab], static_cast<uint32_t>(*neurons),
                                   static_cast<uint8_t>(*kind), entry.paradigm, entry.format);
    if (code != KORU32_OK) return code;
    entry.block->slabUsed[*slab] = 1;
    return KORU32_OK;
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
    SlabLookup found;
    if (int16_t result = FindSlab(*net, *slab, found)) return result;
    if (state.currentParadigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    if (*code < 0 || *code > 7) return KORU32_ERR_BAD_CODE;
    found.slab->transfer = static_cast<int8_t>(*code);
    return KORU32_OK;
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
    if (!IsPatternUnitParadigm(state.currentParadigm)) return KORU32_ERR_WRONG_PARADIGM;
    const ValueArray* deltas = found.slab->deltas;
    if (deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    counts[0] = static_cast<float>(found.net->patternCount);
    CopyValues(deltas->data, deltas->format, counts + 1, kFloat32, deltas->count);
    return KORU32_OK;
}

int16_t KORU32_CALL PutCounts(const int16_t* net, const int16_t* slab, const float* counts) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (!IsPatternUnitParadigm(state.currentParadigm)) return KORU32_ERR_WRONG_PARADIGM;
    ValueArray* deltas = found.slab->deltas;
    if (deltas == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    found.net->patternCount = static_cast<int16_t>(TruncateToLow32(counts[0]));
    CopyValues(counts + 1, kFloat32, deltas->data, deltas->format, deltas->count);
    return KORU32_OK;
}

}  // extern "C"
