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
#include <type_traits>

#include "backprop/error_share.h"
#include "backprop/link_shape.h"
#include "backprop/share_rows.h"
#include "backprop/train_link.h"
#include "core/fixed_point.h"
#include "core/vector_clones.h"

namespace koru::bp {

namespace {

// One weight's step by the rule, from its gradient g: the same operations in
// the defined loops below and in the vector forms. The changes array q is
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

template <Rule R, ErrorShare Share>
void GradientFloat(LinkRecord& link, const TrainingParameters& parameters) {
    const LinkShape shape = ShapeOf(link);
    const uint32_t n = shape.destinations;
    const float rate = parameters.rate;
    const double momentum = parameters.momentum;
    const bool apply = parameters.apply != 0;
    const float* delta = link.dest->deltas->Floats();
    const float* input = link.source->values->Floats();
    float* sourceDelta = Share == ErrorShare::kNone ? nullptr : link.source->deltas->Floats();
    float* w = link.weights->Floats();
    float* q = R == Rule::kPlain ? nullptr : link.changes->Floats();

    for (uint32_t r = 0; r <= shape.sources; ++r) {
        const float factor = r == 0 ? rate : static_cast<float>(static_cast<double>(input[r - 1]) * rate);
        const bool shares = Share != ErrorShare::kNone && r > 0;
        float running = shares ? sourceDelta[r - 1] : 0.0f;
        for (uint32_t j = 0; j < n; ++j) {
            StepWeight<R>(w, q, j, static_cast<float>(static_cast<double>(delta[j]) * factor), momentum, apply);
            if (shares) ShareWeight<Share>(running, sourceDelta, r, delta[j], w[j]);
        }
        if constexpr (Share == ErrorShare::kRunning) {
            if (shares) sourceDelta[r - 1] = running;
        }
        w += shape.stride;
        if constexpr (R != Rule::kPlain) q += shape.stride;
    }
}

template <Rule R, ErrorShare Share>
void GradientFixed(LinkRecord& link, const TrainingParameters& parameters) {
    const LinkShape shape = ShapeOf(link);
    const uint32_t n = shape.destinations;
    const int32_t rate = ToFixed(parameters.rate);
    const int32_t momentum = ToFixed(parameters.momentum);
    const bool apply = parameters.apply != 0;
    const int32_t* delta = link.dest->deltas->Fixed();
    const int32_t* input = link.source->values->Fixed();
    int32_t* sourceDelta = Share == ErrorShare::kNone ? nullptr : link.source->deltas->Fixed();
    int32_t* w = link.weights->Fixed();
    int32_t* q = R == Rule::kPlain ? nullptr : link.changes->Fixed();

    for (uint32_t r = 0; r <= shape.sources; ++r) {
        const int32_t factor = r == 0 ? rate : FixedMul(input[r - 1], rate);
        const bool shares = Share != ErrorShare::kNone && r > 0;
        int32_t running = shares ? sourceDelta[r - 1] : 0;
        for (uint32_t j = 0; j < n; ++j) {
            StepWeight<R>(w, q, j, FixedMul(delta[j], factor), momentum, apply);
            if (shares) ShareWeight<Share>(running, sourceDelta, r, delta[j], w[j]);
        }
        if constexpr (Share == ErrorShare::kRunning) {
            if (shares) sourceDelta[r - 1] = running;
        }
        w += shape.stride;
        if constexpr (R != Rule::kPlain) q += shape.stride;
    }
}

// ---- The vector forms (links between two different slabs) -----------------
//
// The loops above, taken apart: each weight's update reads only its own
// arrays, the destination delta and its row's factor, so a row is updated
// across all destination neurons side by side; the error shares then run
// many rows at a time (share_rows.h). Every weight sees the same operations
// as above, every share the same additions in the same order.

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

// The product of two singles is exact in double, so rounding it to single
// is the single-precision product itself: delta x factor is one single
// multiplication here (and input x rate below), which lets a vector hold
// twice as many weights as in double.
template <Rule R>
KORU_INLINE_INTO_CLONES void UpdateRowFloat(float* __restrict w, float* __restrict q, const float* __restrict delta,
                                            float factor, double momentum, bool apply, uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) StepWeight<R>(w, q, j, delta[j] * factor, momentum, apply);
}

template <Rule R>
KORU_INLINE_INTO_CLONES void UpdateRowFixed(int32_t* __restrict w, int32_t* __restrict q,
                                            const int32_t* __restrict delta, int32_t factor, int32_t momentum,
                                            bool apply, uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) StepWeight<R>(w, q, j, FixedMul(delta[j], factor), momentum, apply);
}

// Row r of the weights (and changes) updated with its factor.
template <Rule R, typename Element, typename Momentum>
KORU_INLINE_INTO_CLONES void UpdateRow(const GradientLink<Element>& link, uint32_t r, Momentum momentum) {
    const size_t offset = size_t{r} * link.stride;
    Element* const q = R == Rule::kPlain ? nullptr : link.q + offset;
    if constexpr (std::is_same_v<Element, float>) {
        const float factor = r == 0 ? link.rate : link.input[r - 1] * link.rate;
        UpdateRowFloat<R>(link.w + offset, q, link.delta, factor, momentum, link.apply, link.n);
    } else {
        const int32_t factor = r == 0 ? link.rate : FixedMul(link.input[r - 1], link.rate);
        UpdateRowFixed<R>(link.w + offset, q, link.delta, factor, momentum, link.apply, link.n);
    }
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

template <typename Element>
GradientLink<Element> GradientLinkOf(LinkRecord& link, Rule rule, Element rate, bool apply, bool shares) {
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
            rate,
            apply};
}

void GradientRowsFloat(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool shares) {
    const GradientLink<float> rows = GradientLinkOf<float>(link, rule, parameters.rate, parameters.apply != 0, shares);
    const double momentum = parameters.momentum;
    switch (rule) {
        case Rule::kMomentum:
            shares ? MomentumRowsSharingFloat(rows, momentum) : MomentumRowsFloat(rows, momentum);
            break;
        case Rule::kBatch: shares ? BatchRowsSharingFloat(rows, momentum) : BatchRowsFloat(rows, momentum); break;
        default: shares ? PlainRowsSharingFloat(rows, momentum) : PlainRowsFloat(rows, momentum); break;
    }
}

void GradientRowsFixed(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool shares) {
    const GradientLink<int32_t> rows =
        GradientLinkOf<int32_t>(link, rule, ToFixed(parameters.rate), parameters.apply != 0, shares);
    const int32_t momentum = ToFixed(parameters.momentum);
    switch (rule) {
        case Rule::kMomentum:
            shares ? MomentumRowsSharingFixed(rows, momentum) : MomentumRowsFixed(rows, momentum);
            break;
        case Rule::kBatch: shares ? BatchRowsSharingFixed(rows, momentum) : BatchRowsFixed(rows, momentum); break;
        default: shares ? PlainRowsSharingFixed(rows, momentum) : PlainRowsFixed(rows, momentum); break;
    }
}

template <bool Float>
void TrainGradient(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    const ErrorShare share = ErrorShareOf(link, noBackprop);
    if (share != ErrorShare::kInPlace && !FewDestinations(ShapeOf(link))) {
        const bool shares = share == ErrorShare::kRunning;
        Float ? GradientRowsFloat(link, rule, parameters, shares) : GradientRowsFixed(link, rule, parameters, shares);
        return;
    }
    // A link onto its own slab, or into a few neurons: the loops in the
    // defined order.
    WithErrorShare(share, [&](auto share) {
        constexpr ErrorShare S = decltype(share)::value;
        switch (rule) {
            case Rule::kMomentum:
                Float ? GradientFloat<Rule::kMomentum, S>(link, parameters)
                      : GradientFixed<Rule::kMomentum, S>(link, parameters);
                break;
            case Rule::kBatch:
                Float ? GradientFloat<Rule::kBatch, S>(link, parameters)
                      : GradientFixed<Rule::kBatch, S>(link, parameters);
                break;
            default:
                Float ? GradientFloat<Rule::kPlain, S>(link, parameters)
                      : GradientFixed<Rule::kPlain, S>(link, parameters);
                break;
        }
    });
}

}  // namespace

void TrainLinkGradientFloat(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    TrainGradient<true>(link, rule, parameters, noBackprop);
}

void TrainLinkGradientFixed(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    TrainGradient<false>(link, rule, parameters, noBackprop);
}

}  // namespace koru::bp
