// The operations the training rules share, in each element type: the
// product of two values, a sum, the input of the bias row, and the rule's
// rate and momentum.
#pragma once

#include "backprop/backprop.h"
#include "core/fixed_point.h"
#include "core/numeric_format.h"
#include "core/vector_clones.h"

namespace koru::bp {

// The product of two singles is exact in double, so the single-precision
// product is that exact product rounded once to single; in 8.24 the floored
// product.
KORU_INLINE_INTO_CLONES float Product(float a, float b) { return a * b; }
KORU_INLINE_INTO_CLONES int32_t Product(int32_t a, int32_t b) { return FixedMul(a, b); }

KORU_INLINE_INTO_CLONES float Sum(float a, float b) { return a + b; }
KORU_INLINE_INTO_CLONES int32_t Sum(int32_t a, int32_t b) { return WrapAdd(a, b); }

// The input the bias row is trained with: 1.
template <typename Element>
inline constexpr Element kBiasInput = Element{1};
template <>
inline constexpr int32_t kBiasInput<int32_t> = kFixedOneBits;

// Rate and momentum as the rules use them: the rate a single and the momentum
// taken exactly in double, or both in 8.24 (trunc(x 2^24 + 0.5)).
template <typename Element>
struct RuleNumbers;

template <>
struct RuleNumbers<float> {
    explicit RuleNumbers(const TrainingParameters& parameters)
        : rate(parameters.rate), momentum(parameters.momentum), apply(parameters.apply != 0) {}
    float rate;
    double momentum;
    bool apply;
};

template <>
struct RuleNumbers<int32_t> {
    explicit RuleNumbers(const TrainingParameters& parameters)
        : rate(ToFixed(parameters.rate)), momentum(ToFixed(parameters.momentum)), apply(parameters.apply != 0) {}
    int32_t rate;
    int32_t momentum;
    bool apply;
};

}  // namespace koru::bp
