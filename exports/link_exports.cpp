// Links: making, re-initialising and removing them, and moving weights and
// weight changes between the caller and a link.
#include <cmath>

#include "core/engine.h"
#include "core/net_build.h"
#include "core/weight_vectors.h"

using namespace koru;

namespace {

// Index of the element from source neuron `source` to destination neuron
// `dest` in `array`, whose rows start at source neuron `firstSource`; 19 or 20
// when either lies outside the array.
int16_t ElementIndex(const ValueArray& array, int16_t source, int16_t dest, int firstSource, uint32_t& index) {
    if (dest < 1 || dest > array.cols) return KORU32_ERR_BAD_DEST_NEURON;
    const int row = source - firstSource;
    if (row < 0 || static_cast<uint32_t>(row) >= array.rows) return KORU32_ERR_BAD_SOURCE_NEURON;
    index = static_cast<uint32_t>(row) * array.cols + static_cast<uint32_t>(dest - 1);
    return KORU32_OK;
}

// Rows start at the bias (source neuron 0) in the paradigms whose links carry
// one (backpropagation); at neuron 1 in the others.
int FirstWeightSource(const NetEntry& net) { return FindParadigm(net.paradigm)->biasRow ? 0 : 1; }

// The changes array of a backpropagation link, or 16 when the net is of
// another paradigm or the link keeps none.
int16_t ChangesOf(const LinkLookup& found, ValueArray*& changes) {
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP || found.link->changes == nullptr) {
        return KORU32_ERR_WRONG_PARADIGM;
    }
    changes = found.link->changes;
    return KORU32_OK;
}

}  // namespace

extern "C" {

int16_t KORU32_CALL MakeLink(const int16_t* net, const int16_t* link, const float* range,
                             const int16_t* source, const int16_t* dest) {
    return BuildLink(*net, *link, *range, *source, *dest, state.weightRange);
}

int16_t KORU32_CALL InitLink(const int16_t* net, const int16_t* link, const float* range) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    if (!std::isfinite(*range)) return KORU32_ERR_NOT_FINITE;  // as MakeLink
    LinkRecord& record = *found.link;
    state.weightRange = std::fabs(*range * 2.0);
    if (record.changes != nullptr) FillValues(*record.changes, 0.0);
    RandomizeValues(*record.weights, state.weightRange);
    if (NetTypeOf(found.net->netType).unitLengthColumns) NormalizeColumns(*record.weights, *record.source->values);
    return KORU32_OK;
}

int16_t KORU32_CALL KillLink(const int16_t* net, const int16_t* link) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    RemoveLink(*found.link);
    found.net->block->linkUsed[*link] = 0;
    return KORU32_OK;
}

int16_t KORU32_CALL GetLink(const int16_t* net, const int16_t* link, float* weights) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    const ValueArray& array = *found.link->weights;
    CopyValues(array.data, array.format, weights, kFloat32, array.count);
    return KORU32_OK;
}

int16_t KORU32_CALL PutLink(const int16_t* net, const int16_t* link, const float* weights) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    ValueArray& array = *found.link->weights;
    CopyValues(weights, kFloat32, array.data, array.format, array.count);
    return KORU32_OK;
}

int16_t KORU32_CALL GetWeight(const int16_t* net, const int16_t* link, const int16_t* source,
                              const int16_t* dest, float* value) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    uint32_t index = 0;
    const ValueArray& array = *found.link->weights;
    if (int16_t code = ElementIndex(array, *source, *dest, FirstWeightSource(*found.net), index)) return code;
    *value = static_cast<float>(GetElement(index, array));
    return KORU32_OK;
}

int16_t KORU32_CALL PutWeight(const int16_t* net, const int16_t* link, const int16_t* source,
                              const int16_t* dest, const float* value) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    uint32_t index = 0;
    ValueArray& array = *found.link->weights;
    if (int16_t code = ElementIndex(array, *source, *dest, FirstWeightSource(*found.net), index)) return code;
    PutElement(index, array, *value);
    return KORU32_OK;
}

int16_t KORU32_CALL GetChange(const int16_t* net, const int16_t* link, const int16_t* source,
                              const int16_t* dest, float* value) {
    LinkLookup found;
    ValueArray* changes = nullptr;
    uint32_t index = 0;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    if (int16_t code = ChangesOf(found, changes)) return code;
    if (int16_t code = ElementIndex(*changes, *source, *dest, 0, index)) return code;
    *value = static_cast<float>(GetElement(index, *changes));
    return KORU32_OK;
}

int16_t KORU32_CALL PutChange(const int16_t* net, const int16_t* link, const int16_t* source,
                              const int16_t* dest, const float* value) {
    LinkLookup found;
    ValueArray* changes = nullptr;
    uint32_t index = 0;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    if (int16_t code = ChangesOf(found, changes)) return code;
    if (int16_t code = ElementIndex(*changes, *source, *dest, 0, index)) return code;
    PutElement(index, *changes, *value);
    return KORU32_OK;
}

// The whole-array change exports make no paradigm test of their own; a link
// without a changes array (every link but those of the momentum, batch and
// adaptive rules) is refused with 16.

int16_t KORU32_CALL GetLinkChanges(const int16_t* net, const int16_t* link, float* changes) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    const ValueArray* array = found.link->changes;
    if (array == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    CopyValues(array->data, array->format, changes, kFloat32, array->count);
    return KORU32_OK;
}

int16_t KORU32_CALL PutLinkChanges(const int16_t* net, const int16_t* link, const float* changes) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    ValueArray* array = found.link->changes;
    if (array == nullptr) return KORU32_ERR_WRONG_PARADIGM;
    CopyValues(changes, kFloat32, array->data, array->format, array->count);
    return KORU32_OK;
}

int16_t KORU32_CALL SetStatus(const int16_t* net, const int16_t* link, const int16_t* status) {
    LinkLookup found;
    if (int16_t code = FindLink(*net, *link, found)) return code;
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    if (*status < KORU32_LINK_IGNORED || *status > KORU32_LINK_TRAINED) return KORU32_ERR_BAD_CODE;
    found.link->status = static_cast<uint8_t>(*status);
    return KORU32_OK;
}

}  // extern "C"
