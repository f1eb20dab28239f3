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
// therefore walked neuron by neuron in the defined order.
#include <cstring>

#include "backprop/backprop.h"
#include "backprop/link_shape.h"
#include "core/fixed_point.h"

namespace koru::bp {

namespace {

constexpr int32_t kFixedSkipBound = 838860800;  // 50.0 in 8.24

bool InsideSkipBound(int32_t v) { return v <= kFixedSkipBound && v >= -kFixedSkipBound; }

void AddLinkFloat(const LinkRecord& link, float* values, const LinkShape& shape) {
    const float* row = link.weights->Floats();
    const float* source = link.source->values->Floats();
    const uint32_t n = shape.destinations;
    // The sum of two singles rounds the same in single precision as through
    // double, so the bias needs no widening.
    for (uint32_t j = 0; j < n; ++j) values[j] = values[j] + row[j];
    for (uint32_t k = 0; k < shape.sources; ++k) {
        row += shape.stride;
        const double x = source[k];
        for (uint32_t j = 0; j < n; ++j) {
            values[j] = static_cast<float>(values[j] + x * row[j]);
        }
    }
}

// A link onto its own slab: neuron by neuron, reading each source value at
// the moment the defined order reaches it.
void AddSelfLinkFloat(const LinkRecord& link, float* values, const LinkShape& shape) {
    const float* weights = link.weights->Floats();
    const float* source = values;
    for (uint32_t j = 0; j < shape.destinations; ++j) {
        const float* w = weights + j;
        values[j] = values[j] + *w;
        for (uint32_t k = 0; k < shape.sources; ++k) {
            w += shape.stride;
            values[j] = static_cast<float>(values[j] + static_cast<double>(source[k]) * *w);
        }
    }
}

void AddLinkFixed(const LinkRecord& link, int32_t* values, const LinkShape& shape) {
    const int32_t* row = link.weights->Fixed();
    const int32_t* source = link.source->values->Fixed();
    const uint32_t n = shape.destinations;
    for (uint32_t j = 0; j < n; ++j) values[j] = WrapAdd(values[j], row[j]);
    if (shape.sources == 0) return;
    // The bias is added without a test, and so is the first source term:
    // the test follows each source term and stops the ones after it.
    row += shape.stride;
    const int32_t first = source[0];
    for (uint32_t j = 0; j < n; ++j) values[j] = WrapAdd(values[j], FixedMul(first, row[j]));
    for (uint32_t k = 1; k < shape.sources; ++k) {
        row += shape.stride;
        const int32_t x = source[k];
        // A neuron outside the bound has been stopped by an earlier term of
        // this link (a stopped neuron never changes again), and one inside it
        // has passed every test so far.
        for (uint32_t j = 0; j < n; ++j) {
            if (InsideSkipBound(values[j])) values[j] = WrapAdd(values[j], FixedMul(x, row[j]));
        }
    }
}

void AddSelfLinkFixed(const LinkRecord& link, int32_t* values, const LinkShape& shape) {
    const int32_t* weights = link.weights->Fixed();
    const int32_t* source = values;
    for (uint32_t j = 0; j < shape.destinations; ++j) {
        const int32_t* w = weights + j;
        values[j] = WrapAdd(values[j], *w);
        for (uint32_t k = 0; k < shape.sources; ++k) {
            w += shape.stride;
            values[j] = WrapAdd(values[j], FixedMul(source[k], *w));
            if (!InsideSkipBound(values[j])) break;
        }
    }
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
