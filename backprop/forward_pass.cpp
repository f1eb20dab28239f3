// The forward pass: a slab's values from the slabs that feed it.
//
// Every destination neuron j receives, link after link in the order of the
// slab's incoming list, its bias weight and then the source terms in source
// order, each addition stored back into the slab's own array (so in floating
// point each addition is rounded to single precision; the product of two
// singles is exact in double, so a term costs one rounding). In fixed point
// the additions wrap at 32 bits and a neuron whose running sum has left
// [-50, 50] after a source term takes no further source terms from that link.
//
// The loops walk the weight matrix row by row, the way it is stored, across
// all destination neurons at once. Each neuron still sees exactly the same
// additions in the same order as when its own column is walked, so the
// result is bit for bit the same; the one exception is a link from a slab to
// itself, whose source values change while the link is added, and which is
// therefore walked neuron by neuron in the defined order. In floating point
// the source rows are added by the shared row sums (core/row_sums.h); a
// fixed-point slab of fewer than eight neurons is walked neuron by neuron
// (the same bits, with less set-up than the vector loops).
#include <cstring>

#include "backprop/backprop.h"
#include "backprop/fixed_rows_vector.h"
#include "backprop/link_shape.h"
#include "core/fixed_point.h"
#include "core/row_sums.h"
#include "core/vector_clones.h"

namespace koru::bp {

namespace {

constexpr int32_t kFixedSkipBound = 838860800;  // 50.0 in 8.24

const FixedLinkFunction vectorFixedLink = VectorFixedLink();
constexpr uint32_t kVectorLinkNeurons = 8;

KORU_INLINE_INTO_CLONES bool InsideSkipBound(int32_t v) { return v <= kFixedSkipBound && v >= -kFixedSkipBound; }

// A link onto its own slab, neuron by neuron: the bias, then each source
// term in order, each written back at once, since later terms may read the
// very value being summed.
void AddSelfLinkFloat(const LinkRecord& link, float* values, const LinkShape& shape) {
    const float* weights = link.weights->Floats();
    for (uint32_t j = 0; j < shape.destinations; ++j) {
        const float* w = weights + j;
        values[j] = values[j] + *w;
        for (uint32_t k = 0; k < shape.sources; ++k) {
            w += shape.stride;
            values[j] = static_cast<float>(values[j] + static_cast<double>(values[k]) * *w);
        }
    }
}

void AddLinkFloat(const LinkRecord& link, float* values, const LinkShape& shape) {
    const float* bias = link.weights->Floats();
    const uint32_t n = shape.destinations;
    for (uint32_t j = 0; j < n; ++j) values[j] = values[j] + bias[j];
    AddRowsDot(values, link.source->values->Floats(), bias + shape.stride, shape.sources, n, shape.stride);
}

// The source rows of one link added into the destination values in 8.24,
// each term after the first taken only while the neuron's running value is
// inside the bound. A neuron outside it has been stopped by an earlier term of
// this link and never changes again, so the test is a selection made for
// every neuron side by side (no branch); four rows go in one pass, each
// neuron still taking its terms in ascending source order, so the bits,
// wraps included, are those of the plain loop.
KORU_VECTOR_CLONES void AddSourceRowsFixed(int32_t* __restrict values, const int32_t* __restrict source,
                                           const int32_t* __restrict rows, uint32_t sources, uint32_t n,
                                           uint32_t stride) {
    if (sources == 0) return;
    // The first source term is added without a test: the test follows each
    // source term and stops the ones after it.
    const int32_t first = source[0];
    for (uint32_t j = 0; j < n; ++j) values[j] = WrapAdd(values[j], FixedMul(first, rows[j]));
    // The term, or 0 for a stopped neuron, by a mask: a plain selection
    // would let the compiler branch past the later terms of a stopped neuron.
    const auto add = [](int32_t v, int32_t x, int32_t w) {
        const uint32_t taken = 0u - static_cast<uint32_t>(InsideSkipBound(v));
        return WrapAdd(v, static_cast<int32_t>(static_cast<uint32_t>(FixedMul(x, w)) & taken));
    };
    uint32_t k = 1;
    for (; k + 4 <= sources; k += 4) {
        const int32_t x0 = source[k], x1 = source[k + 1], x2 = source[k + 2], x3 = source[k + 3];
        const int32_t* w0 = rows + size_t{k} * stride;
        const int32_t* w1 = w0 + stride;
        const int32_t* w2 = w1 + stride;
        const int32_t* w3 = w2 + stride;
        for (uint32_t j = 0; j < n; ++j) {
            int32_t v = values[j];
            v = add(v, x0, w0[j]);
            v = add(v, x1, w1[j]);
            v = add(v, x2, w2[j]);
            v = add(v, x3, w3[j]);
            values[j] = v;
        }
    }
    for (; k < sources; ++k) {
        const int32_t x = source[k];
        const int32_t* w = rows + size_t{k} * stride;
        for (uint32_t j = 0; j < n; ++j) values[j] = add(values[j], x, w[j]);
    }
}

// Neuron by neuron, each stopping at its first term outside the bound (the
// running value in a register except on a link onto its own slab).
template <bool OwnSlab>
void AddNeuronByNeuronFixed(const int32_t* weights, const int32_t* source, int32_t* values, const LinkShape& shape) {
    for (uint32_t j = 0; j < shape.destinations; ++j) {
        const int32_t* w = weights + j;
        if constexpr (OwnSlab) {
            values[j] = WrapAdd(values[j], *w);
            for (uint32_t k = 0; k < shape.sources; ++k) {
                w += shape.stride;
                values[j] = WrapAdd(values[j], FixedMul(source[k], *w));
                if (!InsideSkipBound(values[j])) break;
            }
        } else {
            int32_t v = WrapAdd(values[j], *w);
            for (uint32_t k = 0; k < shape.sources; ++k) {
                w += shape.stride;
                v = WrapAdd(v, FixedMul(source[k], *w));
                if (!InsideSkipBound(v)) break;
            }
            values[j] = v;
        }
    }
}

// A slab of fewer neurons than a vector holds is walked neuron by neuron:
// the vector loop would spend more on its set-up than on the terms.
constexpr uint32_t kFewNeurons = 8;

void AddLinkFixed(const LinkRecord& link, int32_t* values, const LinkShape& shape) {
    const int32_t* bias = link.weights->Fixed();
    const int32_t* source = link.source->values->Fixed();
    const uint32_t n = shape.destinations;
    // Where the processor has them, the explicit vector registers take the
    // links into eight neurons or more: their terms then run unmasked while
    // every neuron is inside the bound, which outweighs the masked loads and
    // stores of a partly used register (measured: 10 neurons fed by 32, 1.4
    // times faster than the loop below; 8 fed by 4, the same).
    if (vectorFixedLink != nullptr && n >= kVectorLinkNeurons) {
        return vectorFixedLink(values, source, bias, shape.sources, n, shape.stride, kFixedSkipBound);
    }
    if (n < kFewNeurons) return AddNeuronByNeuronFixed<false>(bias, source, values, shape);
    for (uint32_t j = 0; j < n; ++j) values[j] = WrapAdd(values[j], bias[j]);
    AddSourceRowsFixed(values, source, bias + shape.stride, shape.sources, n, shape.stride);
}

// A link onto its own slab: its source values are the values being summed,
// read at the moment the defined order reaches them.
void AddSelfLinkFixed(const LinkRecord& link, int32_t* values, const LinkShape& shape) {
    AddNeuronByNeuronFixed<true>(link.weights->Fixed(), values, values, shape);
}

template <typename Element, typename AddLink, typename AddSelfLink>
bool AddIncomingLinks(SlabRecord& slab, Element* values, AddLink addLink, AddSelfLink addSelfLink) {
    bool contributed = false;
    for (uint32_t i = 0; i < slab.inCount; ++i) {
        const LinkRecord& link = *slab.inLinks[i];
        if (link.status == KORU32_LINK_IGNORED) continue;
        contributed = true;
        const LinkShape shape = ShapeOf(link);
        if (link.source == &slab) {
            addSelfLink(link, values, shape);
        } else {
            addLink(link, values, shape);
        }
    }
    return contributed;
}

}  // namespace

void PropagateSlab(SlabRecord& slab, bool floatNet) {
    ValueArray& values = *slab.values;
    // All bits zero is 0 in both formats.
    std::memset(values.data, 0, size_t{values.count} * 4);
    const bool contributed =
        floatNet ? AddIncomingLinks(slab, values.Floats(), AddLinkFloat, AddSelfLinkFloat)
                 : AddIncomingLinks(slab, values.Fixed(), AddLinkFixed, AddSelfLinkFixed);
    // With no active link the values stay 0, untouched by the transfer.
    if (contributed) ApplyTransfer(slab, floatNet);
}

}  // namespace koru::bp
