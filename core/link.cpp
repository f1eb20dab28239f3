// Link set-up, removal and the random weight fill.
#include "core/engine.h"
#include "core/random.h"
#include "core/weight_vectors.h"

namespace koru {

namespace {

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

void RandomizeValues(ValueArray& array, double weightRange) {
    // 1/32767 as the single-precision constant the weight formula has always used.
    const double step = static_cast<double>(static_cast<float>(1.0 / 32767.0));
    uint8_t* p = array.data;
    for (uint32_t i = 0; i < array.count; ++i) {
        const double r = NextRandom();
        p = WriteElement(p, array.format, (r * step - 0.5) * weightRange, 1);
    }
}

int16_t SetUpLink(LinkRecord& link, SlabRecord& dest, SlabRecord& source, const NetTypeRow& type, uint16_t format,
                  double weightRange) {
    if (dest.inCount >= kLinksPerSlabSide || source.outCount >= kLinksPerSlabSide) {
        return KORU32_ERR_TOO_MANY_LINKS;
    }
    const ParadigmRow& paradigm = *FindParadigm(type.paradigm);
    const auto destNeurons = static_cast<uint16_t>(dest.NeuronCount());
    const uint32_t sourceNeurons = static_cast<uint16_t>(source.NeuronCount());
    const uint32_t biasRows = sourceNeurons + 1;
    const auto fmt = static_cast<int16_t>(format);

    link.weights = NewValueArray(fmt, destNeurons,
                                 paradigm.biasRow ? biasRows : sourceNeurons);
    if (link.weights == nullptr) return KORU32_ERR_NO_MEMORY;
    link.changes = link.gradients = link.prevGradients = link.lastSteps = nullptr;

    bool allocated = true;
    if (type.linksKeepChanges) {
        link.changes = NewValueArray(fmt, destNeurons, biasRows);
        allocated = link.changes != nullptr;
    }
    if (allocated && type.linksKeepGradients) {
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
    if (link.changes != nullptr) {
        FillValues(*link.changes, type.rule == TrainingRule::kAdaptive ? weightRange * 0.25 : 0.0);
    }
    if (link.gradients != nullptr) {
        FillValues(*link.gradients, 0.0);
        FillValues(*link.prevGradients, 0.0);
        FillValues(*link.lastSteps, 0.0);
    }

    // Pattern-unit nets start with every stored pattern and target at zero.
    if (paradigm.randomWeights) {
        RandomizeValues(*link.weights, weightRange);
    } else {
        FillValues(*link.weights, 0.0);
    }
    // The dot-product LVQ compares against unit-length weight columns; the
    // source slab's values serve as scratch and keep the last column.
    if (type.unitLengthColumns) NormalizeColumns(*link.weights, *source.values);

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
