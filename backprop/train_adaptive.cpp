// The adaptive rule of backpropagation training (variant 11): a step size
// per weight, grown while the sign of the weight's accumulated gradient
// holds and shrunk, with the last step taken back, when it turns.
//
// For weight k = r x stride + j (storage order; input x = 1 for the bias row,
// the source value otherwise), with Z the step sizes (`changes`), G the
// gradient since the last applied step, P the gradient of that step and T
// the step itself:
//     G += delta[j] x x
//     when apply, with p = G x P:
//         p > 0:  Z = min(Z x 1.2, 1);   T = sign(G) x Z;   W += T
//         p < 0:  Z = max(Z x 0.5, floor);   W -= T;   G = 0
//         p = 0:  T = sign(G) x Z;   W += T
//         then P = G, G = 0
//     then, r >= 1: sourceDelta[r - 1] += delta[j] x W
// Floating point: results stored in single precision (Z x 1.2 is rounded
// once), the sign of p is that of the exact product, the limits are the
// singles 1.0 and 1e-6; a NaN p takes the p = 0 branch. Fixed point: p is
// FixedMul(G, P), so a positive product below one unit counts as 0 and a
// negative one as negative; the step grows by FixedMul with 1.2 (0x1333333)
// up to 1.0 and halves down to 16 units.
#include <type_traits>

#include "backprop/error_share.h"
#include "backprop/link_shape.h"
#include "backprop/rule_arithmetic.h"
#include "backprop/share_rows.h"
#include "backprop/train_link.h"
#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

namespace {

constexpr float kMaxStepFloat = 1.0f;
constexpr float kMinStepFloat = 1e-6f;
constexpr int32_t kGrowthFixed = 0x1333333;  // 1.2
constexpr int32_t kShrinkFixed = 0x800000;   // 0.5
constexpr int32_t kMaxStepFixed = 0x1000000;
constexpr int32_t kMinStepFixed = 16;

inline float SignedStep(float gradient, float step) {
    return gradient > 0.0f ? step : gradient < 0.0f ? -step : 0.0f;
}

inline void Step(float& w, float& z, float& g, float& p, float& t) {
    const double product = static_cast<double>(g) * p;  // exact: its sign is the true sign
    if (product > 0.0) {
        z = static_cast<float>(z * 1.2);
        if (z > kMaxStepFloat) z = kMaxStepFloat;
        t = SignedStep(g, z);
        w = w + t;
    } else if (product < 0.0) {
        z = z * 0.5f;
        if (z < kMinStepFloat) z = kMinStepFloat;
        w = w - t;  // the last step is taken back; t keeps it
        g = 0.0f;
    } else {
        t = SignedStep(g, z);
        w = w + t;
    }
    p = g;
    g = 0.0f;
}

inline int32_t SignedStep(int32_t gradient, int32_t step) {
    return gradient > 0 ? step : gradient < 0 ? WrapSub(0, step) : 0;
}

inline void Step(int32_t& w, int32_t& z, int32_t& g, int32_t& p, int32_t& t) {
    const int32_t product = FixedMul(g, p);
    if (product > 0) {
        z = FixedMul(z, kGrowthFixed);
        if (z > kMaxStepFixed) z = kMaxStepFixed;
        t = SignedStep(g, z);
        w = WrapAdd(w, t);
    } else if (product < 0) {
        z = FixedMul(z, kShrinkFixed);
        if (z < kMinStepFixed) z = kMinStepFixed;
        w = WrapSub(w, t);
        g = 0;
    } else {
        t = SignedStep(g, z);
        w = WrapAdd(w, t);
    }
    p = g;
    g = 0;
}

// ---- The vector forms (links between two different slabs) -----------------
//
// The step above (Step) and the loop in the defined order (below), taken
// apart as for the gradient rules: a row's weights are
// updated across all destination neurons side by side, the three cases of
// the step written with selections rather than branches (every case's
// values are computed and the sign of p picks one, so each weight receives
// exactly what its branch gives); the error shares then run many rows at a
// time (share_rows.h).

// Single-precision forms of two steps, with the same results: delta x x is
// the product of two singles, exact in double, so rounding it to single is
// the single-precision product itself; and the exact product G x P (which
// neither overflows nor underflows in double) is positive or negative
// exactly when both factors are nonzero with equal or opposite signs, NaN
// being neither, which the comparisons of G and P with zero tell directly.
template <bool Apply>
KORU_INLINE_INTO_CLONES void AdaptiveRowFloat(float* __restrict w, float* __restrict z, float* __restrict g,
                                              float* __restrict p, float* __restrict t,
                                              const float* __restrict delta, float x, uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) {
        const float gradient = g[j] + delta[j] * x;
        if constexpr (!Apply) {
            g[j] = gradient;
        } else {
            const float step = z[j], last = t[j], weight = w[j], previous = p[j];
            const bool gradientUp = gradient > 0.0f, gradientDown = gradient < 0.0f;
            const bool grow = (gradientUp && previous > 0.0f) || (gradientDown && previous < 0.0f);
            const bool shrink = (gradientUp && previous < 0.0f) || (gradientDown && previous > 0.0f);
            float grown = static_cast<float>(step * 1.2);
            grown = grown > kMaxStepFloat ? kMaxStepFloat : grown;
            float shrunk = step * 0.5f;
            shrunk = shrunk < kMinStepFloat ? kMinStepFloat : shrunk;
            const float size = grow ? grown : shrink ? shrunk : step;
            const float taken = gradientUp ? size : gradientDown ? -size : 0.0f;
            z[j] = size;
            t[j] = shrink ? last : taken;
            w[j] = shrink ? weight - last : weight + taken;
            p[j] = shrink ? 0.0f : gradient;
            g[j] = 0.0f;
        }
    }
}

template <bool Apply>
KORU_INLINE_INTO_CLONES void AdaptiveRowFixed(int32_t* __restrict w, int32_t* __restrict z, int32_t* __restrict g,
                                              int32_t* __restrict p, int32_t* __restrict t,
                                              const int32_t* __restrict delta, int32_t x, uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) {
        const int32_t gradient = WrapAdd(g[j], FixedMul(delta[j], x));
        if constexpr (!Apply) {
            g[j] = gradient;
        } else {
            const int32_t step = z[j], last = t[j], weight = w[j];
            const int32_t product = FixedMul(gradient, p[j]);
            const bool grow = product > 0, shrink = product < 0;
            int32_t grown = FixedMul(step, kGrowthFixed);
            grown = grown > kMaxStepFixed ? kMaxStepFixed : grown;
            int32_t shrunk = FixedMul(step, kShrinkFixed);
            shrunk = shrunk < kMinStepFixed ? kMinStepFixed : shrunk;
            const int32_t size = grow ? grown : shrink ? shrunk : step;
            const int32_t taken = gradient > 0 ? size : gradient < 0 ? WrapSub(0, size) : 0;
            z[j] = size;
            t[j] = shrink ? last : taken;
            w[j] = shrink ? WrapSub(weight, last) : WrapAdd(weight, taken);
            p[j] = shrink ? 0 : gradient;
            g[j] = 0;
        }
    }
}

template <typename Element>
struct AdaptiveLink {
    Element *w, *z, *g, *p, *t;
    const Element* delta;
    const Element* input;
    Element* sourceDelta;  // null when no error goes back
    uint32_t sources, n, stride;
};

// The input of row r: 1 for the bias row, else source neuron r - 1.
template <typename Element>
KORU_INLINE_INTO_CLONES Element InputOfRow(const AdaptiveLink<Element>& link, uint32_t r) {
    return r == 0 ? kBiasInput<Element> : link.input[r - 1];
}

template <bool Apply, typename Element>
KORU_INLINE_INTO_CLONES void AdaptiveRow(const AdaptiveLink<Element>& link, uint32_t r) {
    const size_t k = size_t{r} * link.stride;
    const Element x = InputOfRow(link, r);
    if constexpr (std::is_same_v<Element, float>) {
        AdaptiveRowFloat<Apply>(link.w + k, link.z + k, link.g + k, link.p + k, link.t + k, link.delta, x, link.n);
    } else {
        AdaptiveRowFixed<Apply>(link.w + k, link.z + k, link.g + k, link.p + k, link.t + k, link.delta, x, link.n);
    }
}

template <bool Apply, bool Shares, typename Element>
KORU_INLINE_INTO_CLONES void AdaptiveRows(const AdaptiveLink<Element>& link) {
    AdaptiveRow<Apply>(link, 0);  // the bias row carries no error back
    UpdateSourceRows<Shares>(link.sources, link.w, link.stride, link.sourceDelta, link.delta, link.n,
                             [&](uint32_t r) __attribute__((always_inline)) { AdaptiveRow<Apply>(link, r); });
}

// One clone set per format, apply flag and share.
#define KORU_ADAPTIVE_ROWS(name, apply, shares, Element) \
    KORU_VECTOR_CLONES void name(const AdaptiveLink<Element>& link) { AdaptiveRows<apply, shares>(link); }
KORU_ADAPTIVE_ROWS(AccumulateRowsFloat, false, false, float)
KORU_ADAPTIVE_ROWS(AccumulateRowsSharingFloat, false, true, float)
KORU_ADAPTIVE_ROWS(StepRowsFloat, true, false, float)
KORU_ADAPTIVE_ROWS(StepRowsSharingFloat, true, true, float)
KORU_ADAPTIVE_ROWS(AccumulateRowsFixed, false, false, int32_t)
KORU_ADAPTIVE_ROWS(AccumulateRowsSharingFixed, false, true, int32_t)
KORU_ADAPTIVE_ROWS(StepRowsFixed, true, false, int32_t)
KORU_ADAPTIVE_ROWS(StepRowsSharingFixed, true, true, int32_t)
#undef KORU_ADAPTIVE_ROWS

template <typename Element>
AdaptiveLink<Element> AdaptiveLinkOf(LinkRecord& link, bool shares) {
    const LinkShape shape = ShapeOf(link);
    const auto elements = [](ValueArray* array) { return reinterpret_cast<Element*>(array->data); };
    return {elements(link.weights),
            elements(link.changes),
            elements(link.gradients),
            elements(link.prevGradients),
            elements(link.lastSteps),
            elements(link.dest->deltas),
            elements(link.source->values),
            shares ? elements(link.source->deltas) : nullptr,
            shape.sources,
            shape.destinations,
            shape.stride};
}

// A link onto its own slab, or into a few neurons: the loop in the defined
// order.
template <ErrorShare Share, typename Element>
void AdaptiveInDefinedOrder(LinkRecord& link, bool apply) {
    const AdaptiveLink<Element> l = AdaptiveLinkOf<Element>(link, Share != ErrorShare::kNone);
    TrainInDefinedOrder<Share>(ShapeOf(link), l.w, l.delta, l.sourceDelta, [&](uint32_t r) {
        const Element x = InputOfRow(l, r);
        return [&l, apply, x](size_t row, uint32_t j) {
            const size_t k = row + j;
            l.g[k] = Sum(l.g[k], Product(l.delta[j], x));
            if (apply) Step(l.w[k], l.z[k], l.g[k], l.p[k], l.t[k]);
        };
    });
}

// The four vector forms of one element type, by whether the batch is applied
// and whether error goes back to the source.
template <typename Element>
struct AdaptiveRowForms {
    void (*accumulate)(const AdaptiveLink<Element>&);
    void (*accumulateSharing)(const AdaptiveLink<Element>&);
    void (*step)(const AdaptiveLink<Element>&);
    void (*stepSharing)(const AdaptiveLink<Element>&);
};

constexpr AdaptiveRowForms<float> kFloatRows{AccumulateRowsFloat, AccumulateRowsSharingFloat, StepRowsFloat,
                                             StepRowsSharingFloat};
constexpr AdaptiveRowForms<int32_t> kFixedRows{AccumulateRowsFixed, AccumulateRowsSharingFixed, StepRowsFixed,
                                               StepRowsSharingFixed};

// The vector forms for links between two different slabs feeding enough
// neurons; otherwise (a link onto its own slab, or into a few neurons) the
// loop in the defined order, definedOrder(share constant).
template <typename Element, typename DefinedOrder>
void TrainAdaptive(LinkRecord& link, bool apply, bool noBackprop, const AdaptiveRowForms<Element>& forms,
                   DefinedOrder definedOrder) {
    const ErrorShare share = ErrorShareOf(link, noBackprop);
    if (share != ErrorShare::kInPlace && !FewDestinations(ShapeOf(link))) {
        const bool shares = share == ErrorShare::kRunning;
        const AdaptiveLink<Element> rows = AdaptiveLinkOf<Element>(link, shares);
        if (shares) {
            apply ? forms.stepSharing(rows) : forms.accumulateSharing(rows);
        } else {
            apply ? forms.step(rows) : forms.accumulate(rows);
        }
        return;
    }
    WithErrorShare(share, definedOrder);
}

}  // namespace

// The learning rate and the momentum play no part in this rule.
void TrainLinkAdaptiveFloat(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop) {
    const bool apply = parameters.apply != 0;
    TrainAdaptive(link, apply, noBackprop, kFloatRows,
                  [&](auto share) { AdaptiveInDefinedOrder<decltype(share)::value, float>(link, apply); });
}

void TrainLinkAdaptiveFixed(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop) {
    const bool apply = parameters.apply != 0;
    TrainAdaptive(link, apply, noBackprop, kFixedRows,
                  [&](auto share) { AdaptiveInDefinedOrder<decltype(share)::value, int32_t>(link, apply); });
}

}  // namespace koru::bp
