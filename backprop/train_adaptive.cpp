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
#include "backprop/train_link.h"
#include "core/fixed_point.h"

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

inline void StepFloat(float& w, float& z, float& g, float& p, float& t) {
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

inline void StepFixed(int32_t& w, int32_t& z, int32_t& g, int32_t& p, int32_t& t) {
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

template <ErrorShare Share>
void AdaptiveFloat(LinkRecord& link, bool apply) {
    const LinkShape shape = ShapeOf(link);
    const uint32_t n = shape.destinations;
    const float* delta = link.dest->deltas->Floats();
    const float* input = link.source->values->Floats();
    float* sourceDelta = Share == ErrorShare::kNone ? nullptr : link.source->deltas->Floats();
    float* w = link.weights->Floats();
    float* z = link.changes->Floats();
    float* g = link.gradients->Floats();
    float* p = link.prevGradients->Floats();
    float* t = link.lastSteps->Floats();

    for (uint32_t r = 0; r <= shape.sources; ++r) {
        const double x = r == 0 ? 1.0 : input[r - 1];
        const bool shares = Share != ErrorShare::kNone && r > 0;
        float running = shares ? sourceDelta[r - 1] : 0.0f;
        for (uint32_t j = 0; j < n; ++j) {
            g[j] = g[j] + static_cast<float>(delta[j] * x);
            if (apply) StepFloat(w[j], z[j], g[j], p[j], t[j]);
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
        z += shape.stride;
        g += shape.stride;
        p += shape.stride;
        t += shape.stride;
    }
}

template <ErrorShare Share>
void AdaptiveFixed(LinkRecord& link, bool apply) {
    const LinkShape shape = ShapeOf(link);
    const uint32_t n = shape.destinations;
    const int32_t* delta = link.dest->deltas->Fixed();
    const int32_t* input = link.source->values->Fixed();
    int32_t* sourceDelta = Share == ErrorShare::kNone ? nullptr : link.source->deltas->Fixed();
    int32_t* w = link.weights->Fixed();
    int32_t* z = link.changes->Fixed();
    int32_t* g = link.gradients->Fixed();
    int32_t* p = link.prevGradients->Fixed();
    int32_t* t = link.lastSteps->Fixed();

    for (uint32_t r = 0; r <= shape.sources; ++r) {
        const int32_t x = r == 0 ? kFixedOneBits : input[r - 1];
        const bool shares = Share != ErrorShare::kNone && r > 0;
        int32_t running = shares ? sourceDelta[r - 1] : 0;
        for (uint32_t j = 0; j < n; ++j) {
            g[j] = WrapAdd(g[j], FixedMul(delta[j], x));
            if (apply) StepFixed(w[j], z[j], g[j], p[j], t[j]);
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
        z += shape.stride;
        g += shape.stride;
        p += shape.stride;
        t += shape.stride;
    }
}

}  // namespace

// The learning rate and the momentum play no part in this rule.
void TrainLinkAdaptiveFloat(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop) {
    const bool apply = parameters.apply != 0;
    WithErrorShare(ErrorShareOf(link, noBackprop),
                   [&](auto share) { AdaptiveFloat<decltype(share)::value>(link, apply); });
}

void TrainLinkAdaptiveFixed(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop) {
    const bool apply = parameters.apply != 0;
    WithErrorShare(ErrorShareOf(link, noBackprop),
                   [&](auto share) { AdaptiveFixed<decltype(share)::value>(link, apply); });
}

}  // namespace koru::bp
