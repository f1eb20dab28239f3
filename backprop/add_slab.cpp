// The scaled addition of one slab's values to another's (any paradigm).
//
// Each source value is read as a double by its own array's format and
// multiplied by the factor in double; the destination is updated by its own
// format: the fixed-point formats convert the increment (x 2^f, + 0.5,
// truncated) and add it with wrap-around at their width, float32 rounds the
// sum to single, float64 keeps it, and the integer formats convert the sum
// (+ 0.5, truncated) and keep the low bits of their width.
#include <cstring>

#include "backprop/backprop.h"
#include "core/fixed_point.h"

namespace koru::bp {

namespace {

template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// Adds `increment` to the destination element at p, which is in `format`.
void AddToElement(uint8_t* p, int16_t format, double increment) {
    switch (format) {
        case kFixed824:
            Store(p, WrapAdd(Load<int32_t>(p), static_cast<int32_t>(TruncateToLow32(increment * 16777216.0 + 0.5))));
            break;
        case kFixed412:
            Store(p, static_cast<uint16_t>(Load<uint16_t>(p) + TruncateToLow32(increment * 4096.0 + 0.5)));
            break;
        case kFixed35:
            Store(p, static_cast<uint8_t>(Load<uint8_t>(p) + TruncateToLow32(increment * 32.0 + 0.5)));
            break;
        case kFloat32: Store(p, static_cast<float>(Load<float>(p) + increment)); break;
        case kFloat64: Store(p, Load<double>(p) + increment); break;
        case kInt8: Store(p, static_cast<uint8_t>(TruncateToLow32(Load<int8_t>(p) + increment + 0.5))); break;
        case kInt16: Store(p, static_cast<uint16_t>(TruncateToLow32(Load<int16_t>(p) + increment + 0.5))); break;
        case kInt32: Store(p, TruncateToLow32(Load<int32_t>(p) + increment + 0.5)); break;
        default: break;
    }
}

}  // namespace

void AddSlabValues(const SlabRecord& source, SlabRecord& dest, double factor) {
    const ValueArray& from = *source.values;
    ValueArray& to = *dest.values;
    const uint32_t n = from.count < to.count ? from.count : to.count;
    const uint32_t toSize = ElementSize(to.format);
    // Arrays exist in float32 and 8.24 only; those take the direct loops.
    if (from.format == kFloat32 && to.format == kFloat32) {
        const float* a = reinterpret_cast<const float*>(from.data);
        float* b = reinterpret_cast<float*>(to.data);
        for (uint32_t i = 0; i < n; ++i) b[i] = static_cast<float>(b[i] + a[i] * factor);
        return;
    }
    if (from.format == kFixed824 && to.format == kFixed824) {
        const int32_t* a = reinterpret_cast<const int32_t*>(from.data);
        int32_t* b = reinterpret_cast<int32_t*>(to.data);
        for (uint32_t i = 0; i < n; ++i) b[i] = WrapAdd(b[i], ToFixed(FromFixed(a[i]) * factor));
        return;
    }
    const uint8_t* p = from.data;
    uint8_t* q = to.data;
    for (uint32_t i = 0; i < n; ++i) {
        double v = 0.0;
        p = ReadElement(p, from.format, v, 1);
        AddToElement(q, to.format, v * factor);
        q += toSize;
    }
}

}  // namespace koru::bp
