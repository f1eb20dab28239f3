// The terms of the row sums (core/row_sums.h), in scalar form, shared by the
// loops of every width.
#pragma once

#include <cmath>

#include "core/vector_clones.h"

namespace koru::row_terms {

struct Dot {
    static KORU_INLINE_INTO_CLONES double Of(double x, double w) { return x * w; }
};
struct CityBlock {
    static KORU_INLINE_INTO_CLONES double Of(double x, double w) { return std::fabs(x - w); }
};
struct Squared {
    static KORU_INLINE_INTO_CLONES double Of(double x, double w) {
        const double difference = x - w;
        return difference * difference;
    }
};

// One term added to a running single, rounded back to single.
template <typename Term>
KORU_INLINE_INTO_CLONES float AddTerm(float value, double x, float w) {
    return static_cast<float>(static_cast<double>(value) + Term::Of(x, w));
}

}  // namespace koru::row_terms
