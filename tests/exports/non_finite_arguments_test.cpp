// Rates, momentum, weight ranges and smoothing factors that are NaN or
// infinite: every export that takes one refuses it with its exact code and
// leaves every value of the net as it was, in float and in 8.24 nets; an
// argument the net's rule does not read is not judged.
#include "net_fixture.h"

namespace koru_test {
namespace {

bool IsLvq(uint16_t type) { return type == KORU32_NET_LVQ_DISTANCE || type == KORU32_NET_LVQ_DOT; }

// Net 0 of `type`: slabs 0 (input), 1 and 2, link 0 from slab 0 to 1 and,
// outside LVQ, link 1 from 1 to 2; one pattern gone through, so that
// deltas, counts and pattern units hold something.
void BuildNet(uint16_t type) {
    const int16_t middle = IsLvq(type) ? KORU32_SLAB_OUTPUT : KORU32_SLAB_HIDDEN;
    ASSERT_EQ(All({Net(0, type), Slab(0, 0, 2, 0), Slab(0, 1, 3, middle), Slab(0, 2, 2, 2), Link(0, 0, 0.5f, 0, 1)}), 0);
    if (!IsLvq(type)) { ASSERT_EQ(Link(0, 1, 0.5f, 1, 2), KORU32_OK); }
    SetValues(0, 0, {0.3f, -0.6f});
    const int16_t net = 0, hidden = 1, output = 2;
    int16_t newUnit = 0;
    const float targets[2] = {1.0f, 0.0f};
    float sum = 0.0f;
    if (IsBackprop(type)) {
        ASSERT_EQ(All({BpPropagate(&net, &hidden), BpPropagate(&net, &output), BpEvaluate(&net, &output, targets, &sum)}), 0);
        EXPECT_GT(sum, 0.0f);  // the squared errors add up
    } else if (type == KORU32_NET_PNN_DISTANCE || type == KORU32_NET_GRNN_DISTANCE) {
        ASSERT_EQ((type == KORU32_NET_PNN_DISTANCE ? PnnEvaluate : GrnnEvaluate)(&net, &output, targets, &newUnit), 0);
    }
}

int16_t Train(float rate, float momentum) {
    const int16_t net = 0, slab = 1;
    const uint16_t apply = 1;
    return BpTrain(&net, &slab, &rate, &momentum, &apply);
}

// The export, given the value under test, and its answer to NaN and to either infinity.
struct Case { const char* label; uint16_t type; int16_t (*call)(float); int16_t code; };
const Case kCases[] = {
    {"MakeLink range", 1, [](float v) { return Link(0, 2, v, 0, 2); }, KORU32_ERR_NOT_FINITE},
    {"MakeLink range, adaptive step sizes", 11, [](float v) { return Link(0, 2, v, 0, 2); }, KORU32_ERR_NOT_FINITE},
    {"InitLink range", 2, [](float v) { const int16_t n = 0, l = 1; return InitLink(&n, &l, &v); }, KORU32_ERR_NOT_FINITE},
    {"InitLink range, LVQ unit columns", 5, [](float v) { const int16_t n = 0, l = 0; return InitLink(&n, &l, &v); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, plain", 1, [](float v) { return Train(v, 0.0f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, momentum", 2, [](float v) { return Train(v, 0.5f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain rate, batch", 3, [](float v) { return Train(v, 0.0f); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain momentum, momentum", 2, [](float v) { return Train(0.1f, v); }, KORU32_ERR_NOT_FINITE},
    {"BpTrain momentum, plain (not read)", 1, [](float v) { return Train(0.1f, v); }, KORU32_OK},
    {"BpTrain momentum, batch (not read)", 3, [](float v) { return Train(0.1f, v); }, KORU32_OK},
    {"BpTrain rate, adaptive (not read)", 11, [](float v) { return Train(v, v); }, KORU32_OK},
    {"LvqTrain rate", 4, [](float v) { const int16_t n = 0, s = 0, r = 1; const uint16_t w = 2; return LvqTrain(&n, &s, &v, &r, &w); }, KORU32_ERR_NEGATIVE_RADIUS},
    {"PnnPropagate smoothing", 6, [](float v) { const int16_t n = 0, s = 1; return PnnPropagate(&n, &s, &v); }, KORU32_ERR_BAD_SMOOTHING},
    {"GrnnPropagate smoothing", 8, [](float v) { const int16_t n = 0, s = 1; return GrnnPropagate(&n, &s, &v); }, KORU32_ERR_BAD_SMOOTHING},
};

class NonFiniteArguments : public NetTest {
protected:
    // Every weight, change and count of net 0 (its file), then its neuron values.
    Bytes Snapshot() {
        Bytes bytes = Saved(0);
        for (int16_t s = 0; s < 3; ++s) AppendBits(bytes, Values(0, s, s == 1 ? 3 : 2));  // slab 1 has 3 neurons
        return bytes;
    }
};

TEST_F(NonFiniteArguments, AreRefusedWithTheExportsCodeAndChangeNothing) {
    for (const Case& c : kCases) {
        for (uint16_t mode : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
            for (float value : {NAN, INFINITY, -INFINITY}) {
                SCOPED_TRACE(testing::Message() << c.label << ", mode " << mode << ", " << value);
                ASSERT_EQ(Math(mode), KORU32_OK);
                ASSERT_NO_FATAL_FAILURE(BuildNet(c.type));
                const Bytes before = Snapshot();
                EXPECT_EQ(c.call(value), c.code);
                if (c.code != KORU32_OK) { EXPECT_EQ(Snapshot(), before); }  // link 2 included: not made
                ASSERT_EQ(Kill(0), KORU32_OK);
            }
        }
    }
}

}  // namespace
}  // namespace koru_test
