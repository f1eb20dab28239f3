// What the fingerprint's sections share: the digest, the net every section
// builds in, and the list of sections.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "koru32.h"

namespace fingerprint {

// 64-bit FNV-1a over the bytes of every value and result code, in the order
// they are added. Values are added as their bit patterns in little-endian
// order (every build this runs on is little-endian), so -0.0 and 0.0 or two
// NaNs of different payloads differ.
static_assert(std::endian::native == std::endian::little);
class Digest {
public:
    void AddBytes(const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ static_cast<const uint8_t*>(data)[i]) * 0x100000001B3ull;
    }
    template <typename T>
    void Add(T value) { AddBytes(&value, sizeof value); }
    template <typename T>
    void Add(const std::vector<T>& values) { AddBytes(values.data(), values.size() * sizeof(T)); }
    // A call's code, then the values it wrote into `values`.
    template <typename T>
    void Add(int16_t code, const std::vector<T>& values) { Add(code), Add(values); }
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

// Every section builds its nets in this slot and kills them before it ends.
inline const int16_t kNet = 0;
inline void UseMath(uint16_t mode) { SetMath(&mode); }
inline void KillTheNet() { KillNet(&kNet); }

// The calls that build net kNet, each adding its result code to the digest.
inline void AddMakeNet(Digest& digest, uint16_t type) { digest.Add(MakeNet(&kNet, &type)); }
inline void AddMakeSlab(Digest& digest, int16_t slab, int16_t neurons, int16_t kind) {
    digest.Add(MakeSlab(&kNet, &slab, &neurons, &kind));
}
inline void AddMakeLink(Digest& digest, int16_t link, float range, int16_t source, int16_t dest) {
    digest.Add(MakeLink(&kNet, &link, &range, &source, &dest));
}
inline void AddSetSeed(Digest& digest, int16_t seed) { digest.Add(SetSeed(&seed)); }

// Reads a slab's values or a link's weights (bias rows included) into
// `values`, then adds the code and the values, in that order.
inline void AddSlabValues(Digest& digest, int16_t slab, std::vector<float>& values) {
    digest.Add(GetSlab(&kNet, &slab, values.data()), values);
}
inline void AddLinkWeights(Digest& digest, int16_t link, std::vector<float>& weights) {
    digest.Add(GetLink(&kNet, &link, weights.data()), weights);
}

// A section's digest for each of the two number formats.
template <uint64_t (*Compute)(uint16_t mode)>
uint64_t InFloat() { return Compute(KORU32_MATH_FLOAT); }
template <uint64_t (*Compute)(uint16_t mode)>
uint64_t InFixed() { return Compute(KORU32_MATH_FIXED); }

struct Section {
    const char* name;
    uint64_t (*compute)();
};

// The sections of each family of exports.
void AddCoreSections(std::vector<Section>& sections);
void AddBackpropSections(std::vector<Section>& sections);
void AddLvqSections(std::vector<Section>& sections);
void AddPatternNetSections(std::vector<Section>& sections);
void AddFileSections(std::vector<Section>& sections);

}  // namespace fingerprint
