// Scoring the units of a competitive slab against the input pattern.
#include <algorithm>

#include "core/fixed_point.h"
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

// Adds one link's terms to the scores: unit by unit, source neuron by source
// neuron, walking the unit's weight column with a stride of `stride`.
//
// A link from the slab to itself reads the very scores it is writing, so
// there each term goes straight to memory and a later source neuron sees the
// score as it stands; otherwise the unit's score is kept in a register.
template <typename Element, typename Term>
void AddLinkScores(const Element* x, const Element* weights, Element* scores, uint32_t sources, uint32_t units,
                   uint32_t stride, bool selfLink) {
    for (uint32_t j = 0; j < units; ++j) {
        const Element* w = weights + j;
        Element* score = scores + j;
        if (selfLink) {
            for (uint32_t i = 0; i < sources; ++i, w += stride) *score = Term::Add(*score, x[i], *w);
        } else {
            Element sum = *score;
            for (uint32_t i = 0; i < sources; ++i, w += stride) sum = Term::Add(sum, x[i], *w);
            *score = sum;
        }
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
