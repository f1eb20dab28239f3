// Result codes of the LVQ exports, the order in which their checks run, and
// that a refused call changes nothing.
#include <gtest/gtest.h>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

enum Export { kPropagate, kEvaluate, kTrain };
enum Net : int16_t { kLvq = -2, kBackprop = -3, kUnused = -4 };

TEST(LvqCodes, EveryExportChecksInItsOrder) {
    TestNet lvq(KORU32_NET_LVQ_DOT, KORU32_MATH_FIXED, 2, 3);
    TestNet bp(KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT, 3, 3);
    ASSERT_TRUE(lvq.ok() && bp.ok());
    ASSERT_EQ(lvq.MakeSlabAt(2, 3, KORU32_SLAB_HIDDEN), KORU32_OK);
    uint16_t free = 0;
    ASSERT_EQ(GetNextNet(&free), KORU32_OK);
    struct Case { const char* label; Export call; int16_t net, slab, radius, code; };
    const Case cases[] = {
        {"net 128 before slab 32", kPropagate, 128, 32, 0, KORU32_ERR_BAD_NET_NUMBER}, {"net -1", kPropagate, -1, 0, 0, KORU32_ERR_BAD_NET_NUMBER},
        {"net 128", kEvaluate, 128, 32, 0, KORU32_ERR_BAD_NET_NUMBER}, {"net -5", kTrain, -5, 32, -1, KORU32_ERR_BAD_NET_NUMBER},
        {"slab before net in use", kPropagate, kUnused, 32, 0, KORU32_ERR_BAD_SLAB_NUMBER}, {"slab -1", kEvaluate, kUnused, -1, 0, KORU32_ERR_BAD_SLAB_NUMBER},
        {"slab 32", kTrain, kUnused, 32, -1, KORU32_ERR_BAD_SLAB_NUMBER}, {"net not in use", kPropagate, kUnused, 1, 0, KORU32_ERR_NET_NOT_IN_USE},
        {"net not in use", kEvaluate, kUnused, 1, 0, KORU32_ERR_NET_NOT_IN_USE}, {"net not in use", kTrain, kUnused, 0, -1, KORU32_ERR_NET_NOT_IN_USE},
        {"no slab", kPropagate, kLvq, 5, 0, KORU32_ERR_NO_SLAB}, {"no slab", kEvaluate, kLvq, 5, 0, KORU32_ERR_NO_SLAB},
        {"no slab", kTrain, kLvq, 5, -1, KORU32_ERR_NO_SLAB}, {"paradigm before incoming links", kPropagate, kBackprop, 0, 0, KORU32_ERR_WRONG_PARADIGM},
        {"paradigm", kPropagate, kBackprop, 1, 0, KORU32_ERR_WRONG_PARADIGM}, {"no incoming links", kPropagate, kLvq, kInput, 0, KORU32_ERR_NO_INCOMING_LINKS},
        {"kind before paradigm", kEvaluate, kBackprop, 0, 0, KORU32_ERR_NOT_OUTPUT_SLAB}, {"paradigm", kEvaluate, kBackprop, 1, 0, KORU32_ERR_WRONG_PARADIGM},
        {"hidden slab", kEvaluate, kLvq, 2, 0, KORU32_ERR_NOT_OUTPUT_SLAB}, {"input slab", kEvaluate, kLvq, kInput, 0, KORU32_ERR_NOT_OUTPUT_SLAB},
        {"paradigm before radius", kTrain, kBackprop, 0, -1, KORU32_ERR_WRONG_PARADIGM}, {"paradigm", kTrain, kBackprop, 0, 1, KORU32_ERR_WRONG_PARADIGM},
    };
    lvq.PutInput({0.25f, 0.5f});
    lvq.PutValues(2, {0.5f, 1.0f, 0.25f});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        int16_t net = c.net == kLvq ? lvq.net() : c.net == kBackprop ? bp.net() : c.net == kUnused ? free : c.net;
        const int16_t slab = c.slab, radius = c.radius;
        const uint16_t flag = 1, width = 0;
        const float rate = 0.5f;
        uint16_t winner = 77;
        const int16_t code = c.call == kPropagate  ? LvqPropagate(&net, &slab)
                             : c.call == kEvaluate ? LvqEvaluate(&net, &slab, &winner, &flag)
                                                   : LvqTrain(&net, &slab, &rate, &radius, &width);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(winner, 77) << "a refused LvqEvaluate writes no winner";
    }
    EXPECT_EQ(lvq.GetValues(kInput, 2), (std::vector<float>{0.25f, 0.5f}));
    EXPECT_EQ(lvq.GetValues(2, 3), (std::vector<float>{0.5f, 1.0f, 0.25f}));
}

TEST(LvqCodes, NegativeRadiusTrainsNothingAndTheRestIsNotChecked) {
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 2, 3);
        ASSERT_TRUE(lvq.ok());
        lvq.PutUnits({{0.5f, 0.5f}, {-0.5f, 0.25f}, {0.0f, 1.0f}});
        lvq.PutInput({1.0f, -1.0f});
        const Units before = lvq.GetUnits();
        EXPECT_EQ(lvq.Train(1.0f, -1, 0), KORU32_ERR_NEGATIVE_RADIUS);
        EXPECT_EQ(lvq.Train(1.0f, -32768, 3), KORU32_ERR_NEGATIVE_RADIUS);
        EXPECT_EQ(lvq.GetUnits(), before);
        // Rate, width and the slab's kind are not checked; a slab without
        // trainable outgoing links is accepted and nothing changes.
        EXPECT_EQ(lvq.Train(1.0f, 0, 65535, kOutput), KORU32_OK);
        EXPECT_EQ(lvq.Train(-7.0f, 32767, 0, kOutput), KORU32_OK);
        EXPECT_EQ(lvq.GetUnits(), before);
    }
}

}  // namespace
