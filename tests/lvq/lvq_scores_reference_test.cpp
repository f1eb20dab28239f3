// The fast scoring loops against the rule written out plainly: on nets of
// odd sizes, both variants in float32 and 8.24, an output slab fed by two
// links plus one of status 0 or 1, the scores must hold the very bits of the
// unit-by-unit, source-by-source loop, however often the slab is propagated.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "../backprop/bp_records.h"
#include "common/float_bits.h"
#include "core/engine.h"
#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

constexpr int16_t kSecondInput = 2, kSecondLink = 1, kExtraLink = 2;

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// 8.24 values within +-8, or any 32 bits so that sums wrap; floats from 2^-8 to 2^8.
void FillRandom(koru::ValueArray& array, bool fixed, std::mt19937& random, bool wide) {
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    for (uint32_t i = 0; i < array.count; ++i) {
        if (fixed) {
            array.Fixed()[i] = wide ? static_cast<int32_t>(random()) : static_cast<int32_t>(random() % 268435456u) - 134217728;
        } else {
            const float v = std::ldexp(mantissa(random), static_cast<int>(random() % 17) - 8);
            array.Floats()[i] = random() % 2 ? -v : v;
        }
    }
}

}  // namespace

TEST(LvqScoresReference, OddSizesBothVariantsBothFormatsSeveralLinksMatchTheStraightforwardLoop) {
    const int16_t sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(61206);
    int cases = 0;
    for (uint16_t type : {uint16_t{KORU32_NET_LVQ_DISTANCE}, uint16_t{KORU32_NET_LVQ_DOT}}) {
        for (uint16_t math : kBothMaths) {
            const bool dot = type == KORU32_NET_LVQ_DOT, fixed = math == KORU32_MATH_FIXED;
            for (int16_t inputs : sizes) {
                for (int16_t units : sizes) {
                    SCOPED_TRACE(::testing::Message() << "type " << type << " math " << math << ", " << inputs << " inputs, " << units << " units");
                    TestNet lvq(type, math, inputs, units);
                    ASSERT_TRUE(lvq.ok());
                    ASSERT_EQ(lvq.MakeSlabAt(kSecondInput, sizes[(inputs + units + cases) % 5], KORU32_SLAB_INPUT), KORU32_OK);
                    ASSERT_EQ(lvq.MakeLinkAt(kSecondLink, kSecondInput, kOutput), KORU32_OK);
                    ASSERT_EQ(lvq.MakeLinkAt(kExtraLink, kInput, kOutput), KORU32_OK);
                    koru::NetBlock& block = *koru::netTable[lvq.net()].block;
                    block.links[kExtraLink].status = static_cast<uint8_t>(cases % 2);  // ignored, or propagated only
                    const bool wide = cases % 3 == 0;
                    for (int16_t slab : {kInput, kSecondInput}) FillRandom(*block.slabs[slab].values, fixed, random, wide);
                    for (int16_t link : {kLink, kSecondLink, kExtraLink}) FillRandom(*block.links[link].weights, fixed, random, wide);

                    // Floats as their bits, 8.24 elements as they are.
                    std::vector<uint32_t> expected(units, 0);
                    for (int16_t link : {kLink, kSecondLink, kExtraLink}) {
                        const koru::LinkRecord& record = block.links[link];
                        if (record.status == KORU32_LINK_IGNORED) continue;
                        const koru::ValueArray& x = *record.source->values;
                        koru::ValueArray& w = *record.weights;
                        for (int16_t j = 0; j < units; ++j) {
                            for (uint32_t i = 0; i < x.count; ++i) {
                                const size_t k = size_t{i} * w.cols + j;
                                if (fixed) {
                                    const int32_t xi = reinterpret_cast<const int32_t*>(x.data)[i], wi = w.Fixed()[k];
                                    const int32_t d = Wrap(int64_t{xi} - wi);
                                    expected[j] = static_cast<uint32_t>(
                                        Wrap(int64_t{static_cast<int32_t>(expected[j])} + (dot ? bptest::RefMul(xi, wi) : bptest::RefMul(d, d))));
                                } else {
                                    const double xi = reinterpret_cast<const float*>(x.data)[i], wi = w.Floats()[k];
                                    const double term = dot ? xi * wi : (xi - wi) * (xi - wi);
                                    expected[j] = koru_test::BitsOf(static_cast<float>(std::bit_cast<float>(expected[j]) + term));
                                }
                            }
                        }
                    }
                    for (int twice = 0; twice < 2; ++twice) {
                        ASSERT_EQ(lvq.Propagate(), KORU32_OK);
                        std::vector<uint32_t> scores(units);
                        std::memcpy(scores.data(), block.slabs[kOutput].values->data, scores.size() * 4);
                        ASSERT_EQ(scores, expected);
                    }
                    ++cases;
                }
            }
        }
    }
}
