// Backpropagation: the forward pass, evaluation against targets, training,
// the scaled addition of slabs, and the runtime's math-error hook.
#include <cmath>

#include "backprop/backprop.h"
#include "backprop/train_link.h"
#include "core/engine.h"

using namespace koru;

namespace {

bool IsFloatNet(const SlabLookup& found) { return bp::IsFloatFormat(found.net->format); }

// The checks every evaluation export shares after its lookup: only an output
// slab can be evaluated (18), then only in a backpropagation net (16).
int16_t FindOutputSlab(int16_t net, int16_t slab, SlabLookup& found) {
    if (int16_t code = FindSlab(net, slab, found)) return code;
    if (found.slab->kind != KORU32_SLAB_OUTPUT) return KORU32_ERR_NOT_OUTPUT_SLAB;
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    return KORU32_OK;
}

// Every value the slab has targets for, read as it is held.
bp::Targets CallerTargets(bp::Targets::Kind kind, const void* data) {
    return {kind, data, UINT32_MAX};
}

// The targets of a store record. Evaluation reads one target per neuron from
// the record on; a record narrower than the slab runs on into the records
// after it, but never past the store's last value.
int16_t FindRecordTargets(int16_t storeNet, int16_t store, uint32_t record, bp::Targets& targets) {
    StoreLookup found;
    if (int16_t code = FindStore(storeNet, store, found)) return code;
    const StoreRecord& s = *found.store;
    if (record >= s.records) return KORU32_ERR_BAD_RECORD;
    const uint64_t left = uint64_t{s.records - record} * s.width;
    targets = {s.data->format == kFloat32 ? bp::Targets::kFloats : bp::Targets::kFixed, s.Record(record),
               left < UINT32_MAX ? static_cast<uint32_t>(left) : UINT32_MAX};
    return KORU32_OK;
}

double Evaluate(const SlabLookup& found, const bp::Targets& targets) {
    return bp::EvaluateSlab(*found.slab, IsFloatNet(found), targets);
}

}  // namespace

extern "C" {

int16_t KORU32_CALL BpPropagate(const int16_t* net, const int16_t* slab) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    if (found.slab->inCount == 0) return KORU32_ERR_NO_INCOMING_LINKS;
    bp::PropagateSlab(*found.slab, IsFloatNet(found));
    return KORU32_OK;
}

int16_t KORU32_CALL BpEvaluate(const int16_t* net, const int16_t* slab, const float* targets, float* sum) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    SlabRecord& s = *found.slab;
    s.errorSum = 0.0;
    s.errorSum += Evaluate(found, CallerTargets(bp::Targets::kFloats, targets));
    *sum = static_cast<float>(s.errorSum);
    return KORU32_OK;
}

int16_t KORU32_CALL BpEvaluateSum(const int16_t* net, const int16_t* slab, const float* targets) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    found.slab->errorSum += Evaluate(found, CallerTargets(bp::Targets::kFloats, targets));
    return KORU32_OK;
}

int16_t KORU32_CALL BpGetSum(const int16_t* net, const int16_t* slab, float* sum) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    *sum = static_cast<float>(found.slab->errorSum);
    found.slab->errorSum = 0.0;
    return KORU32_OK;
}

int16_t KORU32_CALL BpEvaluateInteger(const int16_t* net, const int16_t* slab, const int16_t* targets,
                                      float* sum) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    // The running total is replaced by this pattern's own sum.
    SlabRecord& s = *found.slab;
    s.errorSum = Evaluate(found, CallerTargets(bp::Targets::kIntegers, targets));
    *sum = static_cast<float>(s.errorSum);
    return KORU32_OK;
}

int16_t KORU32_CALL BpEvaluateStore(const int16_t* net, const int16_t* slab, const int16_t* storeNet,
                                    const int16_t* store, const uint32_t* record, float* sum) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    bp::Targets targets;
    if (int16_t code = FindRecordTargets(*storeNet, *store, *record, targets)) return code;
    SlabRecord& s = *found.slab;
    s.errorSum = 0.0;
    s.errorSum += Evaluate(found, targets);
    *sum = static_cast<float>(s.errorSum);
    return KORU32_OK;
}

int16_t KORU32_CALL BpEvaluateSumStore(const int16_t* net, const int16_t* slab, const int16_t* storeNet,
                                       const int16_t* store, const uint32_t* record) {
    SlabLookup found;
    if (int16_t code = FindOutputSlab(*net, *slab, found)) return code;
    bp::Targets targets;
    if (int16_t code = FindRecordTargets(*storeNet, *store, *record, targets)) return code;
    found.slab->errorSum += Evaluate(found, targets);
    return KORU32_OK;
}

int16_t KORU32_CALL AddSlab(const int16_t* net, const int16_t* source, const int16_t* dest,
                            const float* factor) {
    SlabLookup to, from;
    if (int16_t code = FindSlab(*net, *dest, to)) return code;
    if (int16_t code = FindSlab(*net, *source, from)) return code;
    bp::AddSlabValues(*from.slab, *to.slab, *factor);
    return KORU32_OK;
}

int16_t KORU32_CALL BpTrain(const int16_t* net, const int16_t* slab, const float* rate, const float* momentum,
                            const uint16_t* apply) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    // A rate or momentum that is NaN or infinite would train every weight it
    // reaches to NaN (in 8.24 it would silently count as 0). Only what the
    // net's rule reads is tested: the adaptive rule reads neither, and only
    // the momentum rule reads the momentum.
    const TrainingRule rule = NetTypeOf(found.net->netType).rule;
    if (rule != TrainingRule::kAdaptive && !std::isfinite(*rate)) return KORU32_ERR_NOT_FINITE;
    if (rule == TrainingRule::kMomentum && !std::isfinite(*momentum)) return KORU32_ERR_NOT_FINITE;
    bp::TrainSlab(*found.slab, IsFloatNet(found), rule, {*rate, *momentum, *apply});
    return KORU32_OK;
}

// The runtime's math-error hook: every math error is handled, with 0.0 as
// the result, and nothing is reported.
int _matherr(koru32_math_exception* record) {
    record->retval = 0.0;
    return 1;
}

}  // extern "C"
