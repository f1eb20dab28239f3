// The engine core's sections: conversions at the edges and over many
// values, every 16-bit integer, random weights for several seeds and ranges,
// store records; in 32-bit float and 8.24 fixed-point nets.
#include <bit>
#include <limits>

#include "fingerprint.h"

namespace fingerprint {

namespace {

const int16_t kInputSlab = 0, kHiddenSlab = 1;

// Makes net kNet of `type` with one input slab of `neurons` neurons; returns
// the first failing code (added to the digest by the caller).
int16_t MakeNetWithSlab(uint16_t type, int16_t neurons) {
    const int16_t kind = KORU32_SLAB_INPUT;
    const int16_t code = MakeNet(&kNet, &type);
    return code == KORU32_OK ? MakeSlab(&kNet, &kInputSlab, &neurons, &kind) : code;
}

// Values at the edges of the conversions: exact halves of the integer and
// 8.24 steps, the ends of the 16-bit and 8.24 ranges and beyond (they wrap),
// signed zeros, the smallest and largest floats, infinities and NaN.
std::vector<float> EdgeValues() {
    using Limits = std::numeric_limits<float>;
    return {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 0.00005f, -0.00005f, 0.00004999f, -0.00004999f, 0.00015f, -0.00015f,
            3.2767f, 3.27675f, 3.2768f, -3.2768f, -3.27685f, -3.2769f, 6.5535f, 6.5536f, 9.9999f,
            127.99999f, 128.0f, -128.0f, -128.00002f, 255.99998f, 256.0f, 1000.0f, -1000.0f,
            5.9604645e-8f, 2.9802322e-8f, 8.940697e-8f, -2.9802322e-8f, -8.940697e-8f,
            1e10f, -1e10f, 4294967296.0f, 2147483648.0f, 1e20f, -1e20f, 1e30f, Limits::max(), Limits::lowest(),
            Limits::min(), Limits::denorm_min(), Limits::infinity(), -Limits::infinity(), Limits::quiet_NaN()};
}

// Many values spread over every magnitude the engine meets: a fixed
// xorshift sequence picks sign, exponent (2^-30 .. 2^20) and mantissa bits.
std::vector<float> ManyValues(size_t count) {
    std::vector<float> values;
    for (uint32_t state = 0x2545F491u; values.size() < count;) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        const uint32_t exponent = 127 - 30 + (state >> 8) % 51;
        values.push_back(std::bit_cast<float>((state & 0x80000000u) | (exponent << 23) | (state & 0x7FFFFFu)));
    }
    return values;
}

// Reads the input slab back as floats and as integers: both codes, then
// both arrays.
void AddReadBack(Digest& digest, std::vector<float>& floats, std::vector<int16_t>& integers) {
    digest.Add(GetSlab(&kNet, &kInputSlab, floats.data()));
    digest.Add(GetSlabInteger(&kNet, &kInputSlab, integers.data()));
    digest.Add(floats);
    digest.Add(integers);
}

// Puts `values` into a slab of a net in each format and reads them back as
// floats and as integers.
uint64_t RoundTrips(const std::vector<float>& values) {
    Digest digest;
    for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
        UseMath(mode);
        digest.Add(MakeNetWithSlab(KORU32_NET_BP_PLAIN, static_cast<int16_t>(values.size())));
        std::vector<float> floats(values.size());
        std::vector<int16_t> integers(values.size());
        digest.Add(PutSlab(&kNet, &kInputSlab, values.data()));
        AddReadBack(digest, floats, integers);
        KillTheNet();
    }
    return digest.Value();
}

// Every 16-bit integer in, as floats and as integers out.
uint64_t IntegerConversions() {
    Digest digest;
    for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
        UseMath(mode);
        const int16_t neurons = 4096;
        digest.Add(MakeNetWithSlab(KORU32_NET_BP_PLAIN, neurons));
        std::vector<int16_t> in(neurons), out(neurons);
        std::vector<float> floats(neurons);
        for (int first = -32768; first < 32768; first += neurons) {
            for (int i = 0; i < neurons; ++i) in[i] = static_cast<int16_t>(first + i);
            digest.Add(PutSlabInteger(&kNet, &kInputSlab, in.data()));
            AddReadBack(digest, floats, out);
        }
        KillTheNet();
    }
    return digest.Value();
}

// Random weights of new and re-initialised links, for several seeds and
// ranges.
uint64_t RandomWeights(uint16_t mode) {
    Digest digest;
    UseMath(mode);
    const int16_t inputs = 5, hidden = 7, link = 0;
    std::vector<float> weights((inputs + 1) * hidden);
    for (int16_t seed : {0, 1, 7, 12345, -1, -32768, 32767}) {
        for (float range : {1.0f, 0.3f, 7.5f, -2.0f, 0.0f, 200.0f}) {
            digest.Add(MakeNetWithSlab(KORU32_NET_BP_MOMENTUM, inputs));
            AddMakeSlab(digest, kHiddenSlab, hidden, KORU32_SLAB_HIDDEN);
            AddSetSeed(digest, seed);
            AddMakeLink(digest, link, range, kInputSlab, kHiddenSlab);
            AddLinkWeights(digest, link, weights);
            digest.Add(InitLink(&kNet, &link, &range));
            AddLinkWeights(digest, link, weights);
            KillTheNet();
        }
    }
    return digest.Value();
}

// Store records written and read in both formats (a store takes the math
// mode current when it is made).
uint64_t StoreConversions() {
    Digest digest;
    const std::vector<float> values = EdgeValues();
    const auto width = static_cast<int16_t>(values.size());
    const int16_t store = 0;
    const uint32_t records = 2, record = 1;
    std::vector<float> out(values.size());
    for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
        UseMath(mode);
        digest.Add(MakeNetWithSlab(KORU32_NET_BP_PLAIN, width));
        digest.Add(MakeStore(&kNet, &store, &width, &records));
        digest.Add(PutStore(&kNet, &store, &record, values.data()));
        digest.Add(GetStore(&kNet, &store, &record, out.data()), out);
        KillTheNet();
    }
    return digest.Value();
}

}  // namespace

void AddCoreSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {{"edge-conversions", [] { return RoundTrips(EdgeValues()); }},
                                     {"many-conversions", [] { return RoundTrips(ManyValues(30000)); }},
                                     {"integer-conversions", IntegerConversions},
                                     {"random-float-weights", InFloat<RandomWeights>},
                                     {"random-fixed-weights", InFixed<RandomWeights>},
                                     {"store-conversions", StoreConversions}});
}

}  // namespace fingerprint
