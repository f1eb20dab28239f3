// The fast scoring loops against the rule written out plainly: on nets of
// odd sizes, both variants in float32 and 8.24, an output slab fed by two
// links plus one of status 0 or 1, the scores must hold the very bits that
// the unit-by-unit, source-by-source loop gives.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../backprop/bp_records.h"
#include "common/float_bits.h"
#include "core/engine.h"
#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

constexpr int16_t kSecondInput = 2, kSecondLink = 1, kExtraLink = 2;

using koru_test::BitsOf;

using bptest::RefMul;
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

void FillRandom(koru::ValueArray& array, bool fixed, std::mt19937& random, bool wide) {
    for (uint32_t i = 0; i < array.count; ++i) {
        if (fixed) {
            // Values within +-8, or any 32 bits, so that sums wrap.
            array.Fixed()[i] = wide ? static_cast<int32_t>(random())
                                    : static_cast<int32_t>(random() % 268435456u) - 134217728;
        } else {
            std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
            const float v = std::ldexp(mantissa(random), static_cast<int>(random() % 17) - 8);
            array.Floats()[i] = random() % 2 ? -v : v;
        }
    }
}

TEST(LvqScoresReference, OddSizesBothVariantsBothFormatsSeveralLinksMatchTheStraightforwardLoop) {
    const int16_t sizes[] = {1, 3, 17, 33, 257};
    std::mt19937 random(61206);
    int cases = 0;
    for (uint16_t type : {uint16_t{KORU32_NET_LVQ_DISTANCE}, uint16_t{KORU32_NET_LVQ_DOT}}) {
        const bool dot = type == KORU32_NET_LVQ_DOT;
        for (uint16_t math : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            const bool fixed = math == KORU32_MATH_FIXED;
            for (int16_t inputs : sizes) {
                for (int16_t units : sizes) {
                    TestNet lvq(type, math, inputs, units);
                    ASSERT_TRUE(lvq.ok());
                    const int16_t net = lvq.net();
                    const int16_t secondInputs = sizes[(inputs + units + cases) % 5];
                    ASSERT_EQ(lvq.MakeSlabAt(kSecondInput, secondInputs, KORU32_SLAB_INPUT), KORU32_OK);
                    ASSERT_EQ(lvq.MakeLinkAt(kSecondLink, kSecondInput, kOutput), KORU32_OK);
                    ASSERT_EQ(lvq.MakeLinkAt(kExtraLink, kInput, kOutput), KORU32_OK);
                    const int16_t extraStatus = static_cast<int16_t>(cases % 2);
                    // SetStatus is for backpropagation nets; the record is set directly.
                koru::netTable[net].block->links[kExtraLink].status = static_cast<uint8_t>(extraStatus);

                    koru::NetBlock& block = *koru::netTable[net].block;
                    const bool wide = cases % 3 == 0;
                    for (int16_t slab : {kInput, kSecondInput}) FillRandom(*block.slabs[slab].values, fixed, random, wide);
                    for (int16_t link : {kLink, kSecondLink, kExtraLink}) {
                        FillRandom(*block.links[link].weights, fixed, random, wide);
                    }

                    std::vector<float> floats(units, 0.0f);
                    std::vector<int32_t> fixeds(units, 0);
                    for (int16_t link : {kLink, kSecondLink, kExtraLink}) {
                        const koru::LinkRecord& record = block.links[link];
                        if (record.status == KORU32_LINK_IGNORED) continue;
                        const koru::ValueArray& x = *record.source->values;
                        koru::ValueArray& w = *record.weights;
                        for (int16_t j = 0; j < units; ++j) {
                            for (uint32_t i = 0; i < x.count; ++i) {
                                const size_t k = size_t{i} * w.cols + j;
                                if (fixed) {
                                    const int32_t xi = reinterpret_cast<const int32_t*>(x.data)[i];
                                    const int32_t wi = w.Fixed()[k];
                                    const int32_t d = Wrap(int64_t{xi} - wi);
                                    fixeds[j] = Wrap(int64_t{fixeds[j]} +
                                                     (dot ? RefMul(xi, wi) : RefMul(d, d)));
                                } else {
                                    const double xi = reinterpret_cast<const float*>(x.data)[i];
                                    const double wi = w.Floats()[k];
                                    const double term = dot ? xi * wi : (xi - wi) * (xi - wi);
                                    floats[j] = static_cast<float>(static_cast<double>(floats[j]) + term);
                                }
                            }
                        }
                    }

                    ASSERT_EQ(LvqPropagate(&net, &kOutput), KORU32_OK);
                    const koru::ValueArray& scores = *block.slabs[kOutput].values;
                    for (int16_t j = 0; j < units; ++j) {
                        if (fixed) {
                            ASSERT_EQ(reinterpret_cast<const int32_t*>(scores.data)[j], fixeds[j])
                                << "type " << type << ", " << inputs << " inputs, " << units << " units, unit " << j;
                        } else {
                            ASSERT_EQ(BitsOf(reinterpret_cast<const float*>(scores.data)[j]), BitsOf(floats[j]))
                                << "type " << type << ", " << inputs << " inputs, " << units << " units, unit " << j;
                        }
                    }
                    ++cases;
                }
            }
        }
    }
    EXPECT_EQ(cases, 100);
}

}  // namespace
