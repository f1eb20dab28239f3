// Scoring the units of a competitive slab against the input pattern.
#include <algorithm>

#include "core/fixed_point.h"
#include "core/row_sums.h"
#include "core/row_terms.h"
#include "core/rows_in_memory_order.h"
#include "core/vector_clones.h"
#include "lvq/lvq.h"

namespace koru {

namespace {

// One term of a unit's score, added to its running score, and the rows of a
// link added to all the scores at once (a row per source neuron, each unit
// still taking its terms in ascending source order). The float terms are the
// engine's row-sum terms: formed and added in double precision, the score
// rounded to single precision after every term; the 8.24 terms use the
// floored product and a wrapping sum.
template <typename RowTerm>
struct FloatTerm {
    static float Add(float score, float x, float w) { return row_terms::AddTerm<RowTerm>(score, x, w); }
};
struct FloatDistance : FloatTerm<row_terms::Squared> {
    static constexpr auto kAddRows = AddRowsSquared;
};
struct FloatDot : FloatTerm<row_terms::Dot> {
    static constexpr auto kAddRows = AddRowsDot;
};

KORU_INLINE_INTO_CLONES int32_t AddFixedDistance(int32_t score, int32_t x, int32_t w) {
    const int32_t d = WrapSub(x, w);
    return WrapAdd(score, FixedMul(d, d));
}
KORU_INLINE_INTO_CLONES int32_t AddFixedDot(int32_t score, int32_t x, int32_t w) {
    return WrapAdd(score, FixedMul(x, w));
}

KORU_VECTOR_CLONES void AddFixedDistanceRows(int32_t* scores, const int32_t* x, const int32_t* weights,
                                             uint32_t sources, uint32_t units, uint32_t stride) {
    AddRowsInMemoryOrder(scores, x, weights, sources, units, stride,
                         [](int32_t s, int32_t xi, int32_t w) __attribute__((always_inline)) {
                             return AddFixedDistance(s, xi, w);
                         });
}
KORU_VECTOR_CLONES void AddFixedDotRows(int32_t* scores, const int32_t* x, const int32_t* weights, uint32_t sources,
                                        uint32_t units, uint32_t stride) {
    AddRowsInMemoryOrder(scores, x, weights, sources, units, stride,
                         [](int32_t s, int32_t xi, int32_t w) __attribute__((always_inline)) {
                             return AddFixedDot(s, xi, w);
                         });
}

struct FixedDistance {
    static constexpr auto Add = AddFixedDistance;
    static constexpr auto kAddRows = AddFixedDistanceRows;
};
struct FixedDot {
    static constexpr auto Add = AddFixedDot;
    static constexpr auto kAddRows = AddFixedDotRows;
};

// Adds one link's terms to the scores. A link from the slab to itself reads
// the very scores it is writing, so there each unit takes its terms one
// after the other, straight to memory, and a later source neuron sees the
// score as it stands.
template <typename Element, typename Term>
void AddLinkScores(const Element* x, const Element* weights, Element* scores, uint32_t sources, uint32_t units,
                   uint32_t stride, bool selfLink) {
    if (!selfLink) {
        Term::kAddRows(scores, x, weights, sources, units, stride);
        return;
    }
    for (uint32_t j = 0; j < units; ++j) {
        const Element* w = weights + j;
        Element* score = scores + j;
        for (uint32_t i = 0; i < sources; ++i, w += stride) *score = Term::Add(*score, x[i], *w);
    }
}

template <typename Element, typename Term>
void ScoreAllLinks(SlabRecord& output, Element* (ValueArray::*elements)()) {
    ValueArray& values = *output.values;
    Element* scores = (values.*elements)();
    std::fill(scores, scores + values.count, Element{0});
    for (uint16_t k = 0; k < output.inCount; ++k) {
        LinkRecord& link = *output.inLinks[k];
        if (link.status == KORU32_LINK_IGNORED) continue;
        ValueArray& weights = *link.weights;
        ValueArray& pattern = *link.source->values;
        // The weight matrix has a row per source neuron and a column per
        // unit; the lesser counts keep every read inside both arrays.
        const uint32_t sources = std::min<uint32_t>(weights.rows, pattern.count);
        const uint32_t units = std::min<uint32_t>(weights.cols, values.count);
        AddLinkScores<Element, Term>((pattern.*elements)(), (weights.*elements)(), scores, sources, units,
                                     weights.cols, link.source == &output);
    }
}

}  // namespace

void ScoreUnits(SlabRecord& output, uint16_t variant, uint16_t format) {
    const bool dot = variant == kLvqDot;
    if (format == kFloat32) {
        if (dot) {
            ScoreAllLinks<float, FloatDot>(output, &ValueArray::Floats);
        } else {
            ScoreAllLinks<float, FloatDistance>(output, &ValueArray::Floats);
        }
    } else if (dot) {
        ScoreAllLinks<int32_t, FixedDot>(output, &ValueArray::Fixed);
    } else {
        ScoreAllLinks<int32_t, FixedDistance>(output, &ValueArray::Fixed);
    }
}

}  // namespace koru
