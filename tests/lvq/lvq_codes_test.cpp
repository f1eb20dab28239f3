// Result codes of the LVQ exports, the order in which their checks run, and
// that a refused call changes nothing.
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

// A backpropagation net with input slab 0 and output slab 1, for the paradigm
// checks.
struct BackpropNet : TestNet {
    BackpropNet() : TestNet(KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT, 3, 3) {}
};

int16_t Propagate(int16_t net, int16_t slab) { return LvqPropagate(&net, &slab); }
int16_t Evaluate(int16_t net, int16_t slab, uint16_t* winner) {
    const uint16_t flag = 1;
    return LvqEvaluate(&net, &slab, winner, &flag);
}
int16_t Train(int16_t net, int16_t slab, int16_t radius) {
    const float rate = 0.5f;
    const uint16_t width = 0;
    return LvqTrain(&net, &slab, &rate, &radius, &width);
}

}  // namespace

// The lookups run first, in the order net number, slab number, net in use,
// slab in use, for all three exports.
TEST(LvqCodes, LookupsComeFirstInTheirOwnOrder) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 2, 3);
    ASSERT_TRUE(lvq.ok());
    uint16_t free = 0;
    ASSERT_EQ(GetNextNet(&free), KORU32_OK);
    const auto unused = static_cast<int16_t>(free);
    uint16_t winner = 77;

    // Net number outside 0..127 wins over a bad slab number.
    EXPECT_EQ(Propagate(128, 32), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Propagate(-1, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Evaluate(128, 32, &winner), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Train(-5, 32, -1), KORU32_ERR_BAD_NET_NUMBER);
    // The slab number is checked before whether the net is in use.
    EXPECT_EQ(Propagate(unused, 32), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Evaluate(unused, -1, &winner), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(Train(unused, 32, -1), KORU32_ERR_BAD_SLAB_NUMBER);
    // Net not in use, then slab not in use.
    EXPECT_EQ(Propagate(unused, 1), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(Evaluate(unused, 1, &winner), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(Train(unused, 0, -1), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(Propagate(lvq.net(), 5), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Evaluate(lvq.net(), 5, &winner), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(Train(lvq.net(), 5, -1), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(winner, 77) << "a failed LvqEvaluate must not write the winner";
}

TEST(LvqCodes, PropagateTestsTheParadigmBeforeTheIncomingLinks) {
    BackpropNet bp;
    // Slab 0 of the backpropagation net has no incoming links: the paradigm
    // decides.
    EXPECT_EQ(Propagate(bp.net(), 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Propagate(bp.net(), 1), KORU32_ERR_WRONG_PARADIGM);

    TestNet lvq(KORU32_NET_LVQ_DISTANCE, KORU32_MATH_FLOAT, 2, 3);
    ASSERT_TRUE(lvq.ok());
    lvq.PutInput({0.25f, -0.5f});
    EXPECT_EQ(lvq.Propagate(kInput), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(lvq.GetValues(kInput, 2), (std::vector<float>{0.25f, -0.5f})) << "a refused call changes nothing";
    EXPECT_EQ(lvq.Propagate(kOutput), KORU32_OK);
}

TEST(LvqCodes, EvaluateTestsTheKindBeforeTheParadigm) {
    BackpropNet bp;
    uint16_t winner = 77;
    EXPECT_EQ(Evaluate(bp.net(), 0, &winner), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(Evaluate(bp.net(), 1, &winner), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(winner, 77);

    TestNet lvq(KORU32_NET_LVQ_DOT, KORU32_MATH_FIXED, 2, 3);
    ASSERT_TRUE(lvq.ok());
    ASSERT_EQ(lvq.MakeSlabAt(2, 3, KORU32_SLAB_HIDDEN), KORU32_OK);
    lvq.PutValues(2, {0.5f, 1.0f, 0.25f});
    // A hidden slab of an LVQ net is refused, and its values are untouched
    // although the flag asks for the winner code.
    EXPECT_EQ(Evaluate(lvq.net(), 2, &winner), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(Evaluate(lvq.net(), kInput, &winner), KORU32_ERR_NOT_OUTPUT_SLAB);
    EXPECT_EQ(lvq.GetValues(2, 3), (std::vector<float>{0.5f, 1.0f, 0.25f}));
    EXPECT_EQ(winner, 77);
}

TEST(LvqCodes, TrainTestsTheParadigmBeforeTheRadius) {
    BackpropNet bp;
    EXPECT_EQ(Train(bp.net(), 0, -1), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Train(bp.net(), 0, 1), KORU32_ERR_WRONG_PARADIGM);

    for (uint16_t math : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, 3);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{0.5f, 0.5f}, {-0.5f, 0.25f}, {0.0f, 1.0f}});
        lvq.PutInput({1.0f, -1.0f});
        const auto before = lvq.GetUnits();
        EXPECT_EQ(lvq.Train(1.0f, -1, 0), KORU32_ERR_NEGATIVE_RADIUS);
        EXPECT_EQ(lvq.Train(1.0f, -32768, 3), KORU32_ERR_NEGATIVE_RADIUS);
        EXPECT_EQ(lvq.GetUnits(), before) << "a negative radius trains nothing";
        // Rate, width and the slab's kind are not checked; a slab without
        // trainable outgoing links is accepted and nothing changes.
        EXPECT_EQ(lvq.Train(1.0f, 0, 65535, kOutput), KORU32_OK);
        EXPECT_EQ(lvq.Train(-7.0f, 32767, 0, kOutput), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), before);
    }
}
