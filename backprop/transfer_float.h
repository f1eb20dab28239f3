// The transfer functions and their two derivative forms in floating point
// (nets of format float32).
//
// Rounding: the operands are the single-precision values the slab holds;
// every function is evaluated in double precision, left to right as written
// beside each code, and only the result is rounded to single precision. The
// product of two singles is exact in double, so "rounded once, when stored"
// is the one reading used by the forward pass, evaluation and training alike.
#pragma once

#include "backprop/transfer_code.h"
#include "core/portable_math.h"

namespace koru::bp {

// pi/2 cut to seven digits, as a single (1.5707951).
inline constexpr float kSineLimit = 1.570795f;
// The logistic forms return their limit below this input (strict test).
inline constexpr float kLogisticFloor = -50.0f;

// The hyperbolic tangent of codes 2 and 5. A math error inside it yields 0.0
// (the runtime's error hook answers every error with that result). The
// engine's own tanh reports no errors; the one argument for which the
// function has no value is NaN, so a NaN result stands for that error.
inline float TanhOrZero(double x) {
    const double y = Tanh(x);
    return y != y ? 0.0f : static_cast<float>(y);
}

// Output of a neuron from its summed input x. For codes 3, 4 and 7, `sum`
// receives the input the derivative needs (for the sine, the limited input).
template <int Code>
inline float TransferFloat(float x, float& sum) {
    const double xd = x;
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        if (x < kLogisticFloor) return 0.0f;
        return static_cast<float>(1.0 / (1.0 + Exp(-xd)));
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        if (x > 10.0f) return 10.0f;
        if (x < -10.0f) return -10.0f;
        return x;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return TanhOrZero(xd);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        sum = x;
        return static_cast<float>(Exp(-(xd * xd)));
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        float limited = x;
        if (limited > kSineLimit) limited = kSineLimit;
        if (limited < -kSineLimit) limited = -kSineLimit;
        sum = limited;
        return static_cast<float>(Sin(limited));
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return TanhOrZero(1.5 * xd);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        if (x < kLogisticFloor) return -1.0f;
        return static_cast<float>(2.0 / (1.0 + Exp(-xd)) - 1.0);
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        sum = x;
        return static_cast<float>(1.0 - Exp(-(xd * xd)));
    }
}

// Delta of an output neuron: output y, stored input s, error e = target - y.
// The logistic form adds 0.1 to the derivative so that saturated outputs
// still learn.
template <int Code>
inline float OutputDeltaFloat(float y, float s, float e) {
    const double yd = y, sd = s, ed = e;
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return static_cast<float>((yd * (1.0 - yd) + 0.1) * ed);
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        return e;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return static_cast<float>((1.0 - yd * yd) * ed);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        return static_cast<float>(sd * -2.0 * ed * yd);
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        return static_cast<float>(Cos(sd) * ed);
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return static_cast<float>((1.0 - yd * yd) * ed * 1.5);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return static_cast<float>((1.0 + yd) * (1.0 - yd) * 0.5 * ed);
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        return static_cast<float>(sd * 2.0 * (1.0 - yd) * ed);
    }
}

// Delta of a hidden neuron from y, s and its back-propagated error sum d.
template <int Code>
inline float HiddenDeltaFloat(float y, float s, float d) {
    const double yd = y, sd = s, dd = d;
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return static_cast<float>((1.0 - yd) * dd * yd);
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        return d;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return static_cast<float>((1.0 - yd * yd) * dd);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        return static_cast<float>(sd * -2.0 * dd * yd);
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        return static_cast<float>(Cos(sd) * dd);
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return static_cast<float>((1.0 - yd * yd) * dd * 1.5);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return static_cast<float>((yd + 1.0) * (1.0 - yd) * dd * 0.5);
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        return static_cast<float>((1.0 - yd) * (2.0 * sd) * dd);
    }
}

}  // namespace koru::bp
