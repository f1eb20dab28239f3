// Evaluation of an output slab against targets: the output deltas and the
// squared error of one pattern.
//
// Each target is first brought into the net's arithmetic, then e = t - y:
//   float net:  a float target is used as is; an integer target becomes the
//               single nearest to t x 0.0001 and an 8.24 target the single
//               nearest to t x 2^-24 (the value the net itself would hold
//               for it, as PutSlabInteger stores it); e is the single-
//               precision difference, and e x e is added in double.
//   fixed net:  a float target becomes trunc(t x 2^24 + 0.5), an integer
//               target trunc(t x 1677.7216 + 0.5) (both in double, low 32
//               bits kept), an 8.24 target is used as is; e is the 32-bit
//               wrapping difference, and e x e is added as its 8.24 value.
#include "backprop/backprop.h"
#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"

namespace koru::bp {

namespace {

// Code for a slab whose transfer code is outside 0..7: it writes no delta.
constexpr int kNoTransfer = -1;

struct FloatTargets {
    const float* t;
    float AsFloat(uint32_t j) const { return t[j]; }
    int32_t AsFixed(uint32_t j) const { return ToFixed(t[j]); }
};

struct IntegerTargets {
    const int16_t* t;
    float AsFloat(uint32_t j) const { return static_cast<float>(t[j] * 0.0001); }
    int32_t AsFixed(uint32_t j) const { return static_cast<int32_t>(TruncateToLow32(t[j] * 1677.7216 + 0.5)); }
};

struct FixedTargets {
    const int32_t* t;
    float AsFloat(uint32_t j) const { return static_cast<float>(FromFixed(t[j])); }
    int32_t AsFixed(uint32_t j) const { return t[j]; }
};

template <int Code, typename Source>
double EvaluateFloat(SlabRecord& slab, const Source& targets, uint32_t n) {
    const float* y = slab.values->Floats();
    const float* s = slab.sums->Floats();
    float* delta = slab.deltas->Floats();
    double sum = 0.0;
    for (uint32_t j = 0; j < n; ++j) {
        const float e = targets.AsFloat(j) - y[j];
        if constexpr (Code != kNoTransfer) delta[j] = OutputDeltaFloat<Code>(y[j], s[j], e);
        sum += static_cast<double>(e) * e;
    }
    return sum;
}

template <int Code, typename Source>
double EvaluateFixed(SlabRecord& slab, const Source& targets, uint32_t n) {
    const int32_t* y = slab.values->Fixed();
    const int32_t* s = slab.sums->Fixed();
    int32_t* delta = slab.deltas->Fixed();
    double sum = 0.0;
    for (uint32_t j = 0; j < n; ++j) {
        const int32_t e = WrapSub(targets.AsFixed(j), y[j]);
        if constexpr (Code != kNoTransfer) delta[j] = OutputDeltaFixed<Code>(y[j], s[j], e);
        // The square of e in 8.24, floored like every 8.24 product but taken
        // from the full 64-bit product: an error beyond about 11.3 (a linear
        // output far from its target) still adds its true, positive square
        // instead of a wrapped one.
        sum += static_cast<double>((int64_t{e} * e) >> 24) * (1.0 / kFixedOne);
    }
    return sum;
}

template <int Code, typename Source>
double Evaluate(SlabRecord& slab, bool floatNet, const Source& targets, uint32_t n) {
    return floatNet ? EvaluateFloat<Code>(slab, targets, n) : EvaluateFixed<Code>(slab, targets, n);
}

template <typename Source>
double EvaluateWith(SlabRecord& slab, bool floatNet, const Source& targets, uint32_t n) {
    double sum = 0.0;
    const bool transfers = WithTransferCode(slab.transfer, [&](auto code) {
        sum = Evaluate<decltype(code)::value>(slab, floatNet, targets, n);
    });
    if (!transfers) sum = Evaluate<kNoTransfer>(slab, floatNet, targets, n);
    return sum;
}

}  // namespace

double EvaluateSlab(SlabRecord& slab, bool floatNet, const Targets& targets) {
    const uint32_t neurons = slab.values->count;
    const uint32_t n = targets.available < neurons ? targets.available : neurons;
    double sum = 0.0;
    switch (targets.kind) {
        case Targets::kFloats:
            sum = EvaluateWith(slab, floatNet, FloatTargets{static_cast<const float*>(targets.data)}, n);
            break;
        case Targets::kIntegers:
            sum = EvaluateWith(slab, floatNet, IntegerTargets{static_cast<const int16_t*>(targets.data)}, n);
            break;
        case Targets::kFixed:
            sum = EvaluateWith(slab, floatNet, FixedTargets{static_cast<const int32_t*>(targets.data)}, n);
            break;
    }
    // Neurons past the last target (a store record narrower than the slab,
    // at the end of the store) are taken as on target: no error, and a zero
    // delta rather than a stale one, so training takes no error from them.
    if (n < neurons && slab.transfer >= 0 && slab.transfer <= 7) {
        for (uint32_t j = n; j < neurons; ++j) PutElement(j, *slab.deltas, 0.0);
    }
    return sum;
}

}  // namespace koru::bp
