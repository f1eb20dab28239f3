#include "persist/array_io.h"

#include <bit>
#include <cstring>

#include "persist/little_endian.h"

namespace koru {

namespace {

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

// Bytes of a 4-byte-element array.
uint64_t ArrayBytes(const ValueArray& array) { return uint64_t{array.count} * 4; }

}  // namespace

bool WriteArrayElements(OpenFile& file, const ValueArray& array) {
    if constexpr (kLittleEndianHost) {
        // The array's own bytes are already the file's words.
        return file.WriteAll(array.data, ArrayBytes(array));
    } else {
        // Words are put in file order through a small buffer, so the net's
        // array is never touched by a save.
        uint8_t buffer[1024];
        const uint8_t* p = array.data;
        uint32_t left = array.count;
        while (left > 0) {
            const uint32_t n = left < sizeof buffer / 4 ? left : sizeof buffer / 4;
            for (uint32_t i = 0; i < n; ++i, p += 4) {
                uint32_t word;
                std::memcpy(&word, p, 4);
                PutU32(buffer + 4 * i, word);
            }
            if (!file.WriteAll(buffer, uint64_t{n} * 4)) return false;
            left -= n;
        }
        return true;
    }
}

bool ReadArrayElements(OpenFile& file, ValueArray& array, int16_t fileFormat) {
    if (!file.ReadAll(array.data, ArrayBytes(array))) return false;
    uint8_t* p = array.data;
    if constexpr (!kLittleEndianHost) {
        for (uint32_t i = 0; i < array.count; ++i, p += 4) {
            const uint32_t word = GetU32(p);
            std::memcpy(p, &word, 4);
        }
        p = array.data;
    }
    if (fileFormat != array.format) {
        // Element by element in place: each word is read before it is
        // replaced, and both formats are 4 bytes wide.
        for (uint32_t i = 0; i < array.count; ++i) {
            double value = 0.0;
            ReadElement(p, fileFormat, value, 1);
            p = WriteElement(p, array.format, value, 1);
        }
    }
    return true;
}

}  // namespace koru
