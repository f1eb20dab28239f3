// The forward pass's loops (vector clones, four source rows a pass, the 8.24
// stop test as a mask) against the defined order written out plainly, in
// both formats: slabs of odd sizes around every vector width and block,
// three links into one slab with statuses 0, 1 and 2 and now and then a link
// onto the slab itself, values of every magnitude (so nearly every float
// addition rounds, and 8.24 sums leave the +-50 bound part way and wrap).
// Every array sits between guard words, which must stay untouched and
// unread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <random>
#include <type_traits>

#include "bp_net.h"
#include "training_reference.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 21;
constexpr size_t kGuardWords = 300;  // more than a row of the widest slab

// Moves arrays of a net into buffers with guard words on both sides, and
// puts the net's own arrays back at its end.
struct GuardedArrays {
    void Move(koru::ValueArray*& slot, uint32_t guard) {
        Moved& m = moved_.emplace_back(Moved{&slot, slot, *slot, std::vector<uint32_t>(slot->count + 2 * kGuardWords, guard)});
        std::memcpy(m.words.data() + kGuardWords, slot->data, size_t{slot->count} * 4);
        m.copy.data = reinterpret_cast<uint8_t*>(m.words.data() + kGuardWords);
        m.copy.end = m.copy.data + size_t{slot->count} * 4;
        slot = &m.copy;
    }
    bool Intact() const {
        return std::all_of(moved_.begin(), moved_.end(), [](const Moved& m) {
            return std::count(m.words.begin(), m.words.begin() + kGuardWords, m.words[0]) + std::count(m.words.end() - kGuardWords, m.words.end(), m.words[0]) == 2 * kGuardWords;
        });
    }
    ~GuardedArrays() { for (Moved& m : moved_) *m.slot = m.original; }
    struct Moved { koru::ValueArray **slot, *original; koru::ValueArray copy; std::vector<uint32_t> words; };
    std::list<Moved> moved_;
};

float RandomFloat(std::mt19937& random) {
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    const float value = std::ldexp(mantissa(random), static_cast<int>(random() % 17) - 8);
    return random() % 2 ? -value : value;
}

// Neuron by neuron: bias, then every source term in order (in 8.24 with the
// stop test after each), link after link, every addition stored into the
// destination; a link onto its own slab reads the values being filled.
template <typename T, typename R = RulesOf<T>>
void DefinedOrder(std::vector<std::vector<T>>& slabs, const std::vector<std::vector<T>>& weights, const std::vector<int>& statuses) {
    std::vector<T>& v = slabs[3];
    std::fill(v.begin(), v.end(), T{});
    const size_t n = v.size();
    for (size_t l = 0; l < weights.size(); ++l)
        for (size_t j = 0; j < n && statuses[l] != 0; ++j) {
            v[j] = R::Add(v[j], weights[l][j]);
            for (size_t k = 0; k < slabs[l].size(); ++k) {
                v[j] = R::MulAdd(slabs[l][k], weights[l][(k + 1) * n + j], v[j]);
                if (!std::is_same_v<T, float> && (v[j] > 838860800 || v[j] < -838860800)) break;
            }
        }
}

template <typename T> void CheckEveryShape(uint16_t math) {
    const int sizes[] = {1, 3, 9, 15, 17, 33, 257};
    std::mt19937 random(1206 + math);
    std::uniform_int_distribution<int32_t> wide(-(40 << 24), 40 << 24), small(-(1 << 22), 1 << 22);
    int cases = 0, stopped = 0, running = 0;
    for (int destSize : sizes)
        for (int sourceSize : sizes) {
            Net net(kNet, KORU32_NET_BP_PLAIN, math);
            GuardedArrays guarded;  // after the net: its arrays go back before the net is killed
            const int sourceSizes[3] = {sourceSize, sizes[(cases + 1) % 7], sizes[(cases + 3) % 7]};
            const int links = cases % 3 == 0 ? 4 : 3;  // link 3 is the self link
            std::vector<int> statuses;
            for (int s = 0; s < 4; ++s) ASSERT_EQ(Slab(net, s, s < 3 ? sourceSizes[s] : destSize, s < 3 ? KORU32_SLAB_INPUT : KORU32_SLAB_OUTPUT), 0);
            SlabOf(net, 3).transfer = -1;  // the sums themselves
            for (int l = 0; l < links; ++l) {
                statuses.push_back(l == 3 ? 2 : (cases + l) % 3);
                ASSERT_TRUE(Link(net, l, l, 3) == 0 && Status(net, l, statuses[l]) == 0) << l;
            }
            // Every other 8.24 case small values: most neurons then stay
            // inside the bound to the end, so both outcomes are met.
            const bool wideCase = cases % 2 == 0;
            const auto draw = [&](bool weight) -> T {
                if constexpr (std::is_same_v<T, float>) return RandomFloat(random) * (weight && random() % 4 == 0 ? 1e-3f : 1.0f);
                else return wideCase ? wide(random) : small(random) * (weight ? 8 : 1);
            };
            std::vector<std::vector<T>> slabs(4), weights(links);
            // Random contents, then guards of 1.0: a term read past an array's end would count.
            const uint32_t one = std::is_same_v<T, float> ? 0x3f800000u : 1u << 24;
            const auto fill = [&](koru::ValueArray*& array, std::vector<T>& copy, bool weight) {
                for (T& x : copy = std::vector<T>(array->count)) x = draw(weight);
                Fill(array, copy), guarded.Move(array, one);
            };
            for (int s = 0; s < 4; ++s) fill(SlabOf(net, s).values, slabs[s], false);
            for (int l = 0; l < links; ++l) fill(LinkOf(net, l).weights, weights[l], true);

            ASSERT_EQ(Propagate(net, 3), 0);
            DefinedOrder(slabs, weights, statuses);
            SCOPED_TRACE(testing::Message() << destSize << " neurons fed by " << sourceSizes[0] << ", " << sourceSizes[1] << ", " << sourceSizes[2] << (links == 4 ? " and itself" : ""));
            std::vector<uint32_t> expected(slabs[3].size());  // bits: -0.0 must not pass for 0.0
            std::memcpy(expected.data(), slabs[3].data(), expected.size() * 4);
            ASSERT_EQ(Words(SlabOf(net, 3).values), expected);
            ASSERT_TRUE(guarded.Intact());
            if constexpr (!std::is_same_v<T, float>) for (int32_t v : slabs[3]) (v > 838860800 || v < -838860800 ? stopped : running) += 1;
            ++cases;
        }
    EXPECT_TRUE((std::is_same_v<T, float>) || (stopped > 100 && running > 100)) << stopped << " " << running;
}

TEST(ForwardPassReference, FloatGivesTheBitsOfTheDefinedOrder) { CheckEveryShape<float>(KORU32_MATH_FLOAT); }
TEST(ForwardPassReference, FixedStopsAndWrapsAsDefined) { CheckEveryShape<int32_t>(KORU32_MATH_FIXED); }

}  // namespace
