// Probabilistic nets through their exports: the kernels of the three variants
// and their limits, and class scores over class counts. What they share with general regression nets is in
// pattern_net_common_test.cpp.
#include <bit>

#include "core/portable_math.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

constexpr uint16_t kDistance = KORU32_NET_PNN_DISTANCE, kDot = KORU32_NET_PNN_DOT;
constexpr uint16_t kCityBlock = KORU32_NET_PNN_CITY_BLOCK;

float ExpAsFloat(double x) { return static_cast<float>(koru::Exp(x)); }

using Pnn = PatternNetTest;

TEST_F(Pnn, KernelsOfTheThreeVariantsAndTheirLimits) {
    // sigma 0.1: sigma^2 is the float product 0.1f * 0.1f, and the squared
    // distance 0.02 is summed in float.
    const double s2 = 0.1f * 0.1f, d2 = static_cast<float>(static_cast<float>(double{0.1f} * 0.1f) + double{0.1f} * 0.1f);
    struct Case { const char* label; uint16_t type; Floats stored, input; float sigma, expected; };
    const Case cases[] = {
        {"squared distance 2", kDistance, {1, 1, 0}, {0, 0, 0}, 1.0f, ExpAsFloat(-1.0)},
        {"exponent -25 still counts", kDistance, {5, 5, 0}, {0, 0, 0}, 1.0f, ExpAsFloat(-25.0)},
        {"exponent -25.5 is cut", kDistance, {5, 5, 1}, {0, 0, 0}, 1.0f, 0.0f},
        {"float sigma squared", kDistance, {0.1f, 0.1f, 0}, {0, 0, 0}, 0.1f, ExpAsFloat(-d2 / (s2 * 2.0))},
        {"dot z = 1", kDot, {1, 0, 0}, {1, 0, 0}, 1.0f, 1.0f},
        {"dot z = 26 uncapped", kDot, {0, 5, 1}, {0, 5, 1}, 1.0f, ExpAsFloat(25.0)},
        {"dot z = 30 capped", kDot, {0, 5, 5}, {0, 3, 3}, 1.0f, std::bit_cast<float>(0x51861C46u)},
        {"dot z = 26.5 capped", kDot, {0, 5, 1.5f}, {0, 5, 1}, 1.0f, std::bit_cast<float>(0x51861C46u)},
        {"dot no limit below", kDot, {0, 5, 5}, {0, -3, -3}, 1.0f, ExpAsFloat(-31.0)},
        {"city block over sigma^2", kCityBlock, {2, -1, 1}, {0, 0, 0}, 2.0f, ExpAsFloat(-1.0)},
        {"city block no limit", kCityBlock, {40, 40, -40}, {0, 0, 0}, 2.0f, ExpAsFloat(-30.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const int16_t net = MakeThreeSlabNet(c.type, 3, 2, 1);
        StoreOne(net, c.stored, {1});
        const Floats a = Activations(net, c.input, c.sigma, 2);
        EXPECT_EQ(BitsOf(a[0]), BitsOf(c.expected));
        EXPECT_EQ(BitsOf(a[1]), 0u);  // unit 2 is not in use
    }
}

TEST_F(Pnn, ScoresAreWeighedActivationsOverClassCounts) {
    const int16_t net = MakeThreeSlabNet(kDistance, 2, 6, 2);
    EXPECT_EQ(Outputs(net, {0, 0}, 1.0f, 2), (Floats{0, 0}));  // nothing stored
    for (const Floats& x : {Floats{0, 0}, Floats{0, 1}, Floats{1, 0}}) StoreOne(net, x, {1, 0});
    StoreOne(net, {10, 10}, {0, 1});
    EXPECT_EQ(Counts(net, kOutput, 2), (Floats{4, 3, 1}));
    EXPECT_EQ(Outputs(net, {10, 10}, 0.5f, 2), (Floats{0.0f, 1.0f}));
    // At (0, 0): activations 1, e^-1/2, e^-1/2 summed in float over 3; class B below the limit.
    const float half = ExpAsFloat(-0.5);
    const float sumA = static_cast<float>(static_cast<float>(1.0 + half) + double{half});
    EXPECT_EQ(Outputs(net, {0, 0}, 1.0f, 2), (Floats{sumA / 3.0f, 0.0f}));
}

}  // namespace
