// Scoring the units of a competitive slab against the input pattern.
#include <algorithm>

#include "core/fixed_point.h"
#include "core/vector_clones.h"
#include "lvq/lvq.h"

namespace koru {

namespace {

// One term of a unit's score, added to its running score. The float terms are
// formed and added in double precision and the score is rounded to single
// precision after every term; the 8.24 terms use the floored product and a
// wrapping sum.
struct FloatDistance {
    static float Add(float score, float x, float w) {
        const double d = static_cast<double>(x) - static_cast<double>(w);
        return static_cast<float>(static_cast<double>(score) + d * d);
    }
};
struct FloatDot {
    static float Add(float score, float x, float w) {
        return static_cast<float>(static_cast<double>(score) + static_cast<double>(x) * static_cast<double>(w));
    }
};
struct FixedDistance {
    static int32_t Add(int32_t score, int32_t x, int32_t w) {
        const int32_t d = WrapSub(x, w);
        return WrapAdd(score, FixedMul(d, d));
    }
};
struct FixedDot {
    static int32_t Add(int32_t score, int32_t x, int32_t w) { return WrapAdd(score, FixedMul(x, w)); }
};

// Adds source neurons 0 .. sources - 1 of one link to the scores of units
// 0 .. units - 1, walking the weights row by row (a row per source neuron)
// across all units at once. Each unit still takes its terms in ascending
// source order, so its score has the same bits as when its own column is
// walked; four rows go in one pass over the scores.
template <typename Element, typename Term>
KORU_INLINE_INTO_CLONES void AddRows(const Element* __restrict x, const Element* __restrict weights,
                                     Element* __restrict scores, uint32_t sources, uint32_t units,
                                     uint32_t stride) {
    uint32_t i = 0;
    for (; i + 4 <= sources; i += 4) {
        const Element x0 = x[i], x1 = x[i + 1], x2 = x[i + 2], x3 = x[i + 3];
        const Element* w0 = weights + size_t{i} * stride;
        const Element* w1 = w0 + stride;
        const Element* w2 = w1 + stride;
        const Element* w3 = w2 + stride;
        for (uint32_t j = 0; j < units; ++j) {
            Element score = scores[j];
            score = Term::Add(score, x0, w0[j]);
            score = Term::Add(score, x1, w1[j]);
            score = Term::Add(score, x2, w2[j]);
            score = Term::Add(score, x3, w3[j]);
            scores[j] = score;
        }
    }
    for (; i < sources; ++i) {
        const Element xi = x[i];
        const Element* w = weights + size_t{i} * stride;
        for (uint32_t j = 0; j < units; ++j) scores[j] = Term::Add(scores[j], xi, w[j]);
    }
}

#define KORU_LVQ_ROWS(Name, Element, Term)                                                                   \
    KORU_VECTOR_CLONES void Name(const Element* __restrict x, const Element* __restrict weights,            \
                                 Element* __restrict scores, uint32_t sources, uint32_t units, uint32_t stride) { \
        AddRows<Element, Term>(x, weights, scores, sources, units, stride);                                  \
    }
KORU_LVQ_ROWS(AddRowsFloatDistance, float, FloatDistance)
KORU_LVQ_ROWS(AddRowsFloatDot, float, FloatDot)
KORU_LVQ_ROWS(AddRowsFixedDistance, int32_t, FixedDistance)
KORU_LVQ_ROWS(AddRowsFixedDot, int32_t, FixedDot)
#undef KORU_LVQ_ROWS

template <typename Element, typename Term>
struct RowsOf;
template <>
struct RowsOf<float, FloatDistance> {
    static constexpr auto kAdd = AddRowsFloatDistance;
};
template <>
struct RowsOf<float, FloatDot> {
    static constexpr auto kAdd = AddRowsFloatDot;
};
template <>
struct RowsOf<int32_t, FixedDistance> {
    static constexpr auto kAdd = AddRowsFixedDistance;
};
template <>
struct RowsOf<int32_t, FixedDot> {
    static constexpr auto kAdd = AddRowsFixedDot;
};

// Adds one link's terms to the scores. A link from the slab to itself reads
// the very scores it is writing, so there each unit takes its terms one
// after the other, straight to memory, and a later source neuron sees the
// score as it stands.
template <typename Element, typename Term>
void AddLinkScores(const Element* x, const Element* weights, Element* scores, uint32_t sources, uint32_t units,
                   uint32_t stride, bool selfLink) {
    if (!selfLink) {
        RowsOf<Element, Term>::kAdd(x, weights, scores, sources, units, stride);
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
