#include "core/numeric_format.h"

#include <cmath>

#include "core/element_bytes.h"

namespace koru {

uint32_t ElementSize(int16_t format) {
    switch (format) {
        case kFixed824: return 4;
        case kFixed412: return 2;
        case kFixed35: return 1;
        case kFloat32: return 4;
        case kFloat64: return 8;
        case kInt8: return 1;
        case kInt16: return 2;
        case kInt32: return 4;
        case 8: return 4;
        default: return 0;
    }
}

uint32_t TruncateBeyond64Bits(double value) {
    if (!std::isfinite(value)) return 0;
    // So large a double is an integer; its remainder by 2^32 is exact and
    // carries the same low 32 bits.
    return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(value, 4294967296.0)));
}

const uint8_t* ReadElement(const uint8_t* p, int16_t format, double& out, uint32_t stride) {
    switch (format) {
        case kFixed824: out = LoadElement<int32_t>(p) * (1.0 / 16777216.0); break;
        case kFixed412: out = LoadElement<int16_t>(p) * (1.0 / 4096.0); break;
        case kFixed35: out = LoadElement<int8_t>(p) * (1.0 / 32.0); break;
        case kFloat32: out = LoadElement<float>(p); break;
        case kFloat64: out = LoadElement<double>(p); break;
        case kInt8: out = LoadElement<int8_t>(p); break;
        case kInt16: out = LoadElement<int16_t>(p); break;
        case kInt32: out = LoadElement<int32_t>(p); break;
        default: return p;
    }
    return p + static_cast<uint64_t>(stride) * ElementSize(format);
}

uint8_t* WriteElement(uint8_t* p, int16_t format, double value, uint32_t stride) {
    switch (format) {
        case kFixed824: StoreElement(p, static_cast<uint32_t>(TruncateToLow32(value * 16777216.0 + 0.5))); break;
        case kFixed412: StoreElement(p, static_cast<uint16_t>(TruncateToLow32(value * 4096.0 + 0.5))); break;
        case kFixed35: StoreElement(p, static_cast<uint8_t>(TruncateToLow32(value * 32.0 + 0.5))); break;
        case kFloat32: StoreElement(p, static_cast<float>(value)); break;
        case kFloat64: StoreElement(p, value); break;
        case kInt8: StoreElement(p, static_cast<uint8_t>(TruncateToLow32(value + 0.5))); break;
        case kInt16: StoreElement(p, static_cast<uint16_t>(TruncateToLow32(value + 0.5))); break;
        case kInt32: StoreElement(p, static_cast<uint32_t>(TruncateToLow32(value + 0.5))); break;
        default: return p;
    }
    return p + static_cast<uint64_t>(stride) * ElementSize(format);
}

}  // namespace koru
