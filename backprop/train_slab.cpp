// Training of the links that leave one slab, and the slab's own deltas for
// the call further back.
#include <cstring>

#include "backprop/train_link.h"
#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"

namespace koru::bp {

bool HasRuleArrays(const LinkRecord& link, Rule rule) {
    switch (rule) {
        case Rule::kPlain: return true;
        case Rule::kMomentum:
        case Rule::kBatch: return link.changes != nullptr;
        case Rule::kAdaptive:
            return link.changes != nullptr && link.gradients != nullptr && link.prevGradients != nullptr &&
                   link.lastSteps != nullptr;
    }
    return false;
}

namespace {

template <int Code>
void HiddenDeltasFloat(SlabRecord& slab) {
    const float* y = slab.values->Floats();
    const float* s = slab.sums->Floats();
    float* d = slab.deltas->Floats();
    const uint32_t n = slab.deltas->count;
    for (uint32_t j = 0; j < n; ++j) d[j] = HiddenDeltaFloat<Code>(y[j], s[j], d[j]);
}

template <int Code>
void HiddenDeltasFixed(SlabRecord& slab) {
    const int32_t* y = slab.values->Fixed();
    const int32_t* s = slab.sums->Fixed();
    int32_t* d = slab.deltas->Fixed();
    const uint32_t n = slab.deltas->count;
    for (uint32_t j = 0; j < n; ++j) d[j] = HiddenDeltaFixed<Code>(y[j], s[j], d[j]);
}

}  // namespace

void TrainSlab(SlabRecord& slab, bool floatNet, Rule rule, const TrainingParameters& parameters) {
    // An input slab keeps no deltas: its links are trained, and no error
    // goes further back.
    const bool keepsDeltas = slab.kind != KORU32_SLAB_INPUT && slab.deltas != nullptr;
    if (keepsDeltas) std::memset(slab.deltas->data, 0, size_t{slab.deltas->count} * 4);

    bool trained = false;
    for (uint32_t i = 0; i < slab.outCount; ++i) {
        LinkRecord& link = *slab.outLinks[i];
        if (link.status != KORU32_LINK_TRAINED) continue;
        // A link into an input slab has no destination deltas to learn from
        // (input slabs keep none); it is left as it is, like an untrained link.
        if (link.dest->deltas == nullptr || !HasRuleArrays(link, rule)) continue;
        trained = true;
        if (rule == Rule::kAdaptive) {
            floatNet ? TrainLinkAdaptiveFloat(link, parameters, !keepsDeltas)
                     : TrainLinkAdaptiveFixed(link, parameters, !keepsDeltas);
        } else {
            floatNet ? TrainLinkGradientFloat(link, rule, parameters, !keepsDeltas)
                     : TrainLinkGradientFixed(link, rule, parameters, !keepsDeltas);
        }
    }

    // The deltas now hold each neuron's back-propagated error sum; the
    // derivative of the slab's transfer function turns them into deltas. A
    // code outside 0..7 keeps the sums as they are.
    if (!trained || !keepsDeltas) return;
    if (floatNet) {
        WithTransferCode(slab.transfer, [&](auto code) { HiddenDeltasFloat<decltype(code)::value>(slab); });
    } else {
        WithTransferCode(slab.transfer, [&](auto code) { HiddenDeltasFixed<decltype(code)::value>(slab); });
    }
}

}  // namespace koru::bp
