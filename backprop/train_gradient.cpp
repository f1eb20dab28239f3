// The gradient rules of backpropagation training: plain steps (variant 0),
// steps with momentum (2) and accumulated batch steps (3).
//
// The weight matrix and the change array are walked in storage order: row r
// (0 the bias row, whose input is 1; r >= 1 source neuron r - 1), and in it
// destination neuron j. For weight k = r x stride + j:
//     g = delta[j] x factor,   factor = rate for the bias row, else input x rate
//     plain:     W += g
//     momentum:  g = Q x momentum + g;  Q = g;  W += g
//     batch:     Q += g;  when apply:  W += Q, Q = 0
//     then, r >= 1: sourceDelta[r - 1] += delta[j] x W   (W as just updated)
// Floating point: every named result is rounded to single precision where it
// is stored, its operands taken exactly in double (an expression such as
// Q x momentum + g is one rounding). Fixed point: rate and momentum become
// 8.24 (trunc(x 2^24 + 0.5)), products are FixedMul, sums wrap at 32 bits.

#include "backprop/error_share.h"
#include "backprop/link_shape.h"
#include "backprop/rule_arithmetic.h"
#include "backprop/share_rows.h"
#include "backprop/train_link.h"
#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

namespace {

// One weight's step by the rule, from its gradient g: the same operations in
// the defined loop below and in the vector forms. The changes array q is
// touched only by the momentum and batch rules (it is null for plain steps).
template <Rule R>
KORU_INLINE_INTO_CLONES void StepWeight(float* w, float* q, uint32_t j, float g, double momentum, bool apply) {
    if constexpr (R == Rule::kMomentum) {
        g = static_cast<float>(q[j] * momentum + g);
        q[j] = g;
        w[j] = w[j] + g;
    } else if constexpr (R == Rule::kBatch) {
        q[j] = q[j] + g;
        if (apply) {
            w[j] = w[j] + q[j];
            q[j] = 0.0f;
        }
    } else {
        w[j] = w[j] + g;
    }
}

template <Rule R>
KORU_INLINE_INTO_CLONES void StepWeight(int32_t* w, int32_t* q, uint32_t j, int32_t g, int32_t momentum,
                                        bool apply) {
    if constexpr (R == Rule::kMomentum) {
        g = WrapAdd(g, FixedMul(momentum, q[j]));
        q[j] = g;
        w[j] = WrapAdd(w[j], g);
    } else if constexpr (R == Rule::kBatch) {
        q[j] = WrapAdd(q[j], g);
        if (apply) {
            w[j] = WrapAdd(w[j], q[j]);
            q[j] = 0;
        }
    } else {
        w[j] = WrapAdd(w[j], g);
    }
}

template <typename Element>
struct GradientLink {
    Element* w;
    Element* q;  // changes; null for the plain rule
    const Element* delta;
    const Element* input;
    Element* sourceDelta;  // null when no error goes back
    uint32_t sources, n, stride;
    Element rate;
    bool apply;
};

template <typename Element>
GradientLink<Element> GradientLinkOf(LinkRecord& link, Rule rule, const RuleNumbers<Element>& numbers,
                                     bool shares) {
    const LinkShape shape = ShapeOf(link);
    Element* const q = rule == Rule::kPlain ? nullptr : reinterpret_cast<Element*>(link.changes->data);
    Element* const sourceDelta = shares ? reinterpret_cast<Element*>(link.source->deltas->data) : nullptr;
    return {reinterpret_cast<Element*>(link.weights->data),
            q,
            reinterpret_cast<const Element*>(link.dest->deltas->data),
            reinterpret_cast<const Element*>(link.source->values->data),
            sourceDelta,
            shape.sources,
            shape.destinations,
            shape.stride,
            numbers.rate,
            numbers.apply};
}

// The factor of row r: the rate for the bias row, else input x rate.
template <typename Element>
KORU_INLINE_INTO_CLONES Element FactorOfRow(const GradientLink<Element>& link, uint32_t r) {
    return r == 0 ? link.rate : Product(link.input[r - 1], link.rate);
}

// A link onto its own slab, or into a few neurons: the loop in the defined
// order.
template <Rule R, ErrorShare Share, typename Element>
void GradientInDefinedOrder(LinkRecord& link, const RuleNumbers<Element>& numbers) {
    const GradientLink<Element> l = GradientLinkOf(link, R, numbers, Share != ErrorShare::kNone);
    TrainInDefinedOrder<Share>(ShapeOf(link), l.w, l.delta, l.sourceDelta, [&](uint32_t r) {
        const Element factor = FactorOfRow(l, r);
        return [&l, &numbers, factor](size_t row, uint32_t j) {
            Element* const q = R == Rule::kPlain ? nullptr : l.q + row;
            StepWeight<R>(l.w + row, q, j, Product(l.delta[j], factor), numbers.momentum, l.apply);
        };
    });
}

// ---- The vector forms (links between two different slabs) -----------------
//
// The loop above, taken apart: each weight's update reads only its own
// arrays, the destination delta and its row's factor, so a row is updated
// across all destination neurons side by side; the error shares then run
// many rows at a time (share_rows.h). Every weight sees the same operations
// as above, every share the same additions in the same order.

// The arrays as parameters that never overlap, so that the row vectorises.
template <Rule R, typename Element, typename Momentum>
KORU_INLINE_INTO_CLONES void UpdateRowOf(Element* __restrict w, Element* __restrict q,
                                         const Element* __restrict delta, Element factor, Momentum momentum,
                                         bool apply, uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) StepWeight<R>(w, q, j, Product(delta[j], factor), momentum, apply);
}

// Row r of the weights (and changes) updated with its factor.
template <Rule R, typename Element, typename Momentum>
KORU_INLINE_INTO_CLONES void UpdateRow(const GradientLink<Element>& link, uint32_t r, Momentum momentum) {
    const size_t offset = size_t{r} * link.stride;
    Element* const q = R == Rule::kPlain ? nullptr : link.q + offset;
    UpdateRowOf<R>(link.w + offset, q, link.delta, FactorOfRow(link, r), momentum, link.apply, link.n);
}

template <Rule R, bool Shares, typename Element, typename Momentum>
KORU_INLINE_INTO_CLONES void GradientRows(const GradientLink<Element>& link, Momentum momentum) {
    UpdateRow<R>(link, 0, momentum);  // the bias row carries no error back
    UpdateSourceRows<Shares>(link.sources, link.w, link.stride, link.sourceDelta, link.delta, link.n,
                             [&](uint32_t r) __attribute__((always_inline)) { UpdateRow<R>(link, r, momentum); });
}

// One clone set per rule, format and share.
#define KORU_GRADIENT_ROWS(name, rule, shares, Element, Momentum)                          \
    KORU_VECTOR_CLONES void name(const GradientLink<Element>& link, Momentum momentum) { \
        GradientRows<rule, shares>(link, momentum);                                      \
    }
KORU_GRADIENT_ROWS(PlainRowsFloat, Rule::kPlain, false, float, double)
KORU_GRADIENT_ROWS(PlainRowsSharingFloat, Rule::kPlain, true, float, double)
KORU_GRADIENT_ROWS(MomentumRowsFloat, Rule::kMomentum, false, float, double)
KORU_GRADIENT_ROWS(MomentumRowsSharingFloat, Rule::kMomentum, true, float, double)
KORU_GRADIENT_ROWS(BatchRowsFloat, Rule::kBatch, false, float, double)
KORU_GRADIENT_ROWS(BatchRowsSharingFloat, Rule::kBatch, true, float, double)
KORU_GRADIENT_ROWS(PlainRowsFixed, Rule::kPlain, false, int32_t, int32_t)
KORU_GRADIENT_ROWS(PlainRowsSharingFixed, Rule::kPlain, true, int32_t, int32_t)
KORU_GRADIENT_ROWS(MomentumRowsFixed, Rule::kMomentum, false, int32_t, int32_t)
KORU_GRADIENT_ROWS(MomentumRowsSharingFixed, Rule::kMomentum, true, int32_t, int32_t)
KORU_GRADIENT_ROWS(BatchRowsFixed, Rule::kBatch, false, int32_t, int32_t)
KORU_GRADIENT_ROWS(BatchRowsSharingFixed, Rule::kBatch, true, int32_t, int32_t)
#undef KORU_GRADIENT_ROWS

// The vector forms of one element type, by rule and by whether error goes
// back to the source.
template <typename Element>
using GradientRowsFunction = void (*)(const GradientLink<Element>&, decltype(RuleNumbers<Element>::momentum));

template <typename Element>
struct GradientRowForms {
    GradientRowsFunction<Element> plain[2], momentum[2], batch[2];
};

constexpr GradientRowForms<float> kFloatRows{{PlainRowsFloat, PlainRowsSharingFloat},
                                             {MomentumRowsFloat, MomentumRowsSharingFloat},
                                             {BatchRowsFloat, BatchRowsSharingFloat}};
constexpr GradientRowForms<int32_t> kFixedRows{{PlainRowsFixed, PlainRowsSharingFixed},
                                               {MomentumRowsFixed, MomentumRowsSharingFixed},
                                               {BatchRowsFixed, BatchRowsSharingFixed}};

template <typename Element>
void TrainGradient(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop,
                   const GradientRowForms<Element>& forms) {
    const RuleNumbers<Element> numbers(parameters);
    const ErrorShare share = ErrorShareOf(link, noBackprop);
    if (share != ErrorShare::kInPlace && !FewDestinations(ShapeOf(link))) {
        const bool shares = share == ErrorShare::kRunning;
        const GradientLink<Element> rows = GradientLinkOf(link, rule, numbers, shares);
        const auto& byShare = rule == Rule::kMomentum ? forms.momentum : rule == Rule::kBatch ? forms.batch : forms.plain;
        byShare[shares](rows, numbers.momentum);
        return;
    }
    WithErrorShare(share, [&](auto share) {
        constexpr ErrorShare S = decltype(share)::value;
        switch (rule) {
            case Rule::kMomentum: GradientInDefinedOrder<Rule::kMomentum, S>(link, numbers); break;
            case Rule::kBatch: GradientInDefinedOrder<Rule::kBatch, S>(link, numbers); break;
            default: GradientInDefinedOrder<Rule::kPlain, S>(link, numbers); break;
        }
    });
}

}  // namespace

void TrainLinkGradientFloat(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    TrainGradient(link, rule, parameters, noBackprop, kFloatRows);
}

void TrainLinkGradientFixed(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    TrainGradient(link, rule, parameters, noBackprop, kFixedRows);
}

}  // namespace koru::bp
