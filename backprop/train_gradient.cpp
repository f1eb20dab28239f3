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
#include "backprop/train_link.h"
#include "core/fixed_point.h"

namespace koru::bp {

namespace {

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
            float g = static_cast<float>(static_cast<double>(delta[j]) * factor);
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
            if constexpr (Share == ErrorShare::kRunning) {
                if (shares) running = static_cast<float>(running + static_cast<double>(delta[j]) * w[j]);
            } else if constexpr (Share == ErrorShare::kInPlace) {
                if (shares) {
                    sourceDelta[r - 1] =
                        static_cast<float>(sourceDelta[r - 1] + static_cast<double>(delta[j]) * w[j]);
                }
            }
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
            int32_t g = FixedMul(delta[j], factor);
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
            if constexpr (Share == ErrorShare::kRunning) {
                if (shares) running = WrapAdd(running, FixedMul(delta[j], w[j]));
            } else if constexpr (Share == ErrorShare::kInPlace) {
                if (shares) sourceDelta[r - 1] = WrapAdd(sourceDelta[r - 1], FixedMul(delta[j], w[j]));
            }
        }
        if constexpr (Share == ErrorShare::kRunning) {
            if (shares) sourceDelta[r - 1] = running;
        }
        w += shape.stride;
        if constexpr (R != Rule::kPlain) q += shape.stride;
    }
}

template <bool Float>
void TrainGradient(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop) {
    WithErrorShare(ErrorShareOf(link, noBackprop), [&](auto share) {
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
