// Link set-up, removal and the random weight fill.
#include "core/engine.h"
#include "core/random.h"
#include "core/weight_vectors.h"

namespace koru {

namespace {

bool KeepsChanges(uint16_t variant) { return variant == 2 || variant == 3 || variant == 11; }

void FreeLinkArrays(LinkRecord& link) {
    FreeValueArray(link.weights);
    FreeValueArray(link.changes);
    FreeValueArray(link.gradients);
    FreeValueArray(link.prevGradients);
    FreeValueArray(link.lastSteps);
    link.weights = link.changes = link.gradients = link.prevGradients = link.lastSteps = nullptr;
}

// Removes `link` from the first `count` entries of `list`, keeping the order
// of the others.
void Unhook(LinkRecord* (&list)[kLinksPerSlabSide], uint16_t& count, const LinkRecord* link) {
    for (uint16_t i = 0; i < count; ++i) {
        if (list[i] != link) continue;
        for (uint16_t j = i + 1; j < count; ++j) list[j - 1] = list[j];
        list[--count] = nullptr;
        return;
    }
}

}  // namespace

void RandomizeValues(ValueArray& array) {
    // 1/32767 as the single-precision constant the weight formula has always used.
    const double step = static_cast<double>(static_cast<float>(1.0 / 32767.0));
    uint8_t* p = array.data;
    for (uint32_t i = 0; i < array.count; ++i) {
        const double r = NextRandom();
        p = WriteElement(p, array.format, (r * step - 0.5) * state.weightRange, 1);
    }
}

int16_t SetUpLink(LinkRecord& link, SlabRecord& dest, SlabRecord& source, uint16_t format) {
    if (dest.inCount >= kLinksPerSlabSide || source.outCount >= kLinksPerSlabSide) {
        return KORU32_ERR_TOO_MANY_LINKS;
    }
    const uint16_t paradigm = state.currentParadigm;
    const uint16_t variant = state.currentVariant;
    const auto destNeurons = static_cast<uint16_t>(dest.NeuronCount());
    const uint32_t sourceNeurons = static_cast<uint16_t>(source.NeuronCount());
    const uint32_t biasRows = sourceNeurons + 1;
    const auto fmt = static_cast<int16_t>(format);

    link.weights = NewValueArray(fmt, destNeurons,
                                 paradigm == KORU32_PARADIGM_BACKPROP ? biasRows : sourceNeurons);
    if (link.weights == nullptr) return KORU32_ERR_NO_MEMORY;
    link.changes = link.gradients = link.prevGradients = link.lastSteps = nullptr;

    bool allocated = true;
    if (KeepsChanges(variant)) {
        link.changes = NewValueArray(fmt, destNeurons, biasRows);
        allocated = link.changes != nullptr;
    }
    if (allocated && variant == 11) {
        link.gradients = NewValueArray(fmt, destNeurons, biasRows);
        link.prevGradients = NewValueArray(fmt, destNeurons, biasRows);
        link.lastSteps = NewValueArray(fmt, destNeurons, biasRows);
        allocated = link.gradients != nullptr && link.prevGradients != nullptr && link.lastSteps != nullptr;
    }
    if (!allocated) {
        FreeLinkArrays(link);
        return KORU32_ERR_NO_MEMORY;
    }
    // The adaptive rule starts every step size at a quarter of the weight range.
    if (link.changes != nullptr) FillValues(*link.changes, variant == 11 ? state.weightRange * 0.25 : 0.0);
    if (link.gradients != nullptr) {
        FillValues(*link.gradients, 0.0);
        FillValues(*link.prevGradients, 0.0);
        FillValues(*link.lastSteps, 0.0);
    }

    // Pattern-unit nets start with every stored pattern and target at zero.
    if (paradigm == KORU32_PARADIGM_PNN || paradigm == KORU32_PARADIGM_GRNN) {
        FillValues(*link.weights, 0.0);
    } else {
        RandomizeValues(*link.weights);
    }
    // The dot-product LVQ compares against unit-length weight columns; the
    // source slab's values serve as scratch and keep the last column.
    if (paradigm == KORU32_PARADIGM_LVQ && variant == 7) NormalizeColumns(*link.weights, *source.values);

    link.status = KORU32_LINK_TRAINED;
    link.source = &source;
    link.dest = &dest;
    dest.inLinks[dest.inCount++] = &link;
    source.outLinks[source.outCount++] = &link;
    return KORU32_OK;
}

void RemoveLink(LinkRecord& link) {
    FreeLinkArrays(link);
    Unhook(link.dest->inLinks, link.dest->inCount, &link);
    Unhook(link.source->outLinks, link.source->outCount, &link);
}

}  // namespace koru
