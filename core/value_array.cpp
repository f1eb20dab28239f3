#include "core/value_array.h"

#include <cstring>
#include <limits>
#include <new>

#include "core/vector_clones.h"
#include "platform/memory.h"

namespace koru {

namespace {

// The elements start at a 16-byte boundary after the header.
constexpr uint32_t kHeaderBytes = (sizeof(ValueArray) + 15) & ~uint32_t{15};

// Floats to 8.24 eight at a time. Where every scaled value of a block lies
// inside the 32-bit range (all but the rarest inputs), converting the double
// truncates toward zero exactly as ToFixed does through 64 bits, with neither
// its range test nor a branch per element; a block holding any other value
// (NaN included) goes element by element.
KORU_VECTOR_CLONES void FloatsToFixed(const float* from, int32_t* to, uint32_t n) {
    constexpr uint32_t kBlock = 8;
    uint32_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        double scaled[kBlock];
        uint32_t outside = 0;
        for (uint32_t j = 0; j < kBlock; ++j) {
            scaled[j] = ScaledForFixed(from[i + j]);
            // | rather than ||: no branch, so that the test is vectorised.
            outside |= static_cast<uint32_t>(!(scaled[j] > -2147483649.0)) |
                       static_cast<uint32_t>(!(scaled[j] < 2147483648.0));
        }
        if (outside == 0) {
            for (uint32_t j = 0; j < kBlock; ++j) to[i + j] = static_cast<int32_t>(scaled[j]);
        } else {
            for (uint32_t j = 0; j < kBlock; ++j) to[i + j] = ToFixed(from[i + j]);
        }
    }
    for (; i < n; ++i) to[i] = ToFixed(from[i]);
}

}  // namespace

ValueArray* NewValueArray(int16_t format, uint16_t cols, uint32_t rows) {
    const uint64_t count = uint64_t{cols} * rows;
    const uint64_t elementSize = ElementSize(format);
    if (count > std::numeric_limits<uint32_t>::max()) return nullptr;
    const uint64_t bytes = count * elementSize + kHeaderBytes;
    if (bytes > std::numeric_limits<size_t>::max() / 2) return nullptr;

    auto* block = static_cast<uint8_t*>(platform::AllocateBlock(static_cast<size_t>(bytes)));
    if (block == nullptr) return nullptr;
    auto* array = new (block) ValueArray;
    array->format = static_cast<int8_t>(format);
    array->cols = cols;
    array->rows = rows;
    array->count = static_cast<uint32_t>(count);
    array->data = block + kHeaderBytes;
    array->end = array->data + count * elementSize;
    return array;
}

void FreeValueArray(ValueArray* array) {
    if (array != nullptr) platform::FreeBlock(array);
}

double GetElement(uint32_t i, const ValueArray& array) {
    double value = 0.0;
    ReadElement(array.data + uint64_t{i} * ElementSize(array.format), array.format, value, 1);
    return value;
}

void PutElement(uint32_t i, ValueArray& array, double value) {
    WriteElement(array.data + uint64_t{i} * ElementSize(array.format), array.format, value, 1);
}

void FillValues(ValueArray& array, double value) {
    uint8_t* p = array.data;
    for (uint32_t i = 0; i < array.count; ++i) p = WriteElement(p, array.format, value, 1);
}

void CopyValues(const void* source, int16_t sourceFormat, void* dest, int16_t destFormat, uint32_t n) {
    if (n == 0) return;
    if (sourceFormat == destFormat) {
        std::memmove(dest, source, size_t{n} * 4);  // a slab copied onto itself is harmless
        return;
    }
    if (destFormat == kFloat32) {
        const auto* from = static_cast<const int32_t*>(source);
        auto* to = static_cast<float*>(dest);
        for (uint32_t i = 0; i < n; ++i) to[i] = static_cast<float>(FromFixed(from[i]));
        return;
    }
    FloatsToFixed(static_cast<const float*>(source), static_cast<int32_t*>(dest), n);
}

}  // namespace koru
