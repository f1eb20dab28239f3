// Raw access to a net's records, for tests that check exact bits in nets of
// either number format (the float interface would round 8.24 values), and
// the 8.24 arithmetic from its definition.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/engine.h"

namespace bptest {

inline koru::SlabRecord& SlabOf(int16_t net, int16_t slab) { return koru::netTable[net].block->slabs[slab]; }
inline koru::LinkRecord& LinkOf(int16_t net, int16_t link) { return koru::netTable[net].block->links[link]; }

// The array's elements as T (float, int32_t, or uint32_t for the raw words); none for a missing array.
template <typename T> inline std::vector<T> ElementsOf(const koru::ValueArray* array) {
    if (array == nullptr) return {};
    return std::vector<T>(reinterpret_cast<const T*>(array->data), reinterpret_cast<const T*>(array->data) + array->count);
}
inline std::vector<uint32_t> Words(const koru::ValueArray* array) { return ElementsOf<uint32_t>(array); }
inline std::vector<int32_t> FixedOf(const koru::ValueArray* array) { return ElementsOf<int32_t>(array); }
inline std::vector<float> FloatsOf(const koru::ValueArray* array) { return ElementsOf<float>(array); }

template <typename T> inline void Fill(koru::ValueArray* array, const std::vector<T>& values) { std::memcpy(array->data, values.data(), values.size() * 4); }

// The 8.24 product from its definition (floor of the exact product / 2^24,
// low 32 bits), by division rather than by a shift.
inline int32_t RefMul(int32_t a, int32_t b) {
    const int64_t p = int64_t{a} * b, q = p / 16777216 - (p % 16777216 != 0 && p < 0);  // division truncates toward 0
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(q)));
}
inline int32_t RefAdd(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) + uint32_t(b)); }
inline int32_t RefSub(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) - uint32_t(b)); }

}  // namespace bptest
