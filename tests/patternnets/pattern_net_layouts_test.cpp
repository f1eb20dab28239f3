// Layouts that the exports alone rarely build: links that are ignored or only
// propagated, arrays that are not float32, an output slab without class
// counts, two pattern slabs of other sizes. The records are adjusted directly
// after the net is made through the exports.
#include "core/engine.h"
#include "core/portable_math.h"
#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

class PatternNetLayouts : public PatternNetTest {
protected:
    static koru::LinkRecord& Link(int16_t net, int16_t link) { return koru::netTable[net].block->links[link]; }
    static koru::SlabRecord& Slab(int16_t net, int16_t slab) { return koru::netTable[net].block->slabs[slab]; }
};

TEST_F(PatternNetLayouts, IgnoredLinksAreNeitherPropagatedNorRead) {
    const int16_t pnn = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 2);
    StoreOne(pnn, {0}, {1, 0});
    Link(pnn, kInputLink).status = KORU32_LINK_IGNORED;
    Put(pnn, kPattern, {5, 5});
    // The values are cleared and no kernel runs (exp(0) would give 1).
    EXPECT_EQ(Activations(pnn, {0}, 1.0f, 2), (Floats{0, 0}));
    // Re-presenting through an ignored output link reads no row: no class is uncounted.
    Link(pnn, kOutputLink).status = KORU32_LINK_IGNORED;
    Put(pnn, kOutput, {1, 1});
    EXPECT_EQ(Evaluate(pnn, kOutput, {0, 1}, 1), KORU32_OK);
    EXPECT_EQ(Counts(pnn, kOutput, 2), (Floats{1, 1, 1}));

    // GRNN: an ignored input link leaves the last propagation's denominator in place.
    grnn_ = true;
    const int16_t grnn = MakeThreeSlabNet(KORU32_NET_GRNN_DISTANCE, 1, 2, 1);
    StoreOne(grnn, {0}, {6});
    EXPECT_EQ(Outputs(grnn, {0}, 1.0f, 1), Floats{6.0f});
    Link(grnn, kInputLink).status = KORU32_LINK_IGNORED;
    EXPECT_EQ(Propagate(grnn, kPattern, 1.0f), KORU32_OK);
    EXPECT_EQ(Slab(grnn, kPattern).errorSum, 1.0);
}

TEST_F(PatternNetLayouts, OnlyTrainedLinksAreWritten) {
    for (bool pnn : {true, false}) {
        grnn_ = !pnn;
        const int16_t net = MakeThreeSlabNet(pnn ? KORU32_NET_PNN_DISTANCE : KORU32_NET_GRNN_DISTANCE, 1, 2, 1);
        Link(net, kInputLink).status = KORU32_LINK_PROPAGATED;
        Link(net, kOutputLink).status = KORU32_LINK_PROPAGATED;
        StoreOne(net, {4}, {1});
        EXPECT_EQ(Weights(net, kInputLink, 2), (Floats{0, 0}));
        EXPECT_EQ(Weights(net, kOutputLink, 2), (Floats{0, 0}));
        if (!pnn) EXPECT_EQ(Counts(net, kPattern, 2), (Floats{1, 0, 0}));  // no row, no count
        // Propagated links still propagate: the pattern at 0 against input 4.
        EXPECT_EQ(Activations(net, {4}, 2.0f, 2)[0], static_cast<float>(koru::Exp(-16.0 / 8.0)));
    }
}

TEST_F(PatternNetLayouts, ArraysOfAnotherFormatOrWithoutCountsAreRefused) {
    grnn_ = true;
    const int16_t grnn = MakeThreeSlabNet(KORU32_NET_GRNN_DISTANCE, 1, 2, 1);
    koru::netTable[grnn].format = koru::kFixed824;  // MakeNet never makes one
    EXPECT_EQ(Propagate(grnn, kPattern, 1.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Evaluate(grnn, kOutput, {1}, 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Train(grnn, kPattern, 0), KORU32_ERR_WRONG_PARADIGM);
    koru::netTable[grnn].format = koru::kFloat32;
    EXPECT_EQ(Counts(grnn, kPattern, 2)[0], 0.0f);

    grnn_ = false;
    const int16_t pnn = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 2);
    koru::SlabRecord& output = Slab(pnn, kOutput);
    koru::ValueArray* counts = output.deltas;
    output.deltas = nullptr;
    Put(pnn, kOutput, {3, 4});
    EXPECT_EQ(Propagate(pnn, kOutput, 1.0f), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Evaluate(pnn, kOutput, {1, 0}, 0), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(Get(pnn, kOutput, 2), (Floats{3, 4}));
    output.deltas = counts;
    EXPECT_EQ(Counts(pnn, kOutput, 2)[0], 0.0f);  // no unit was taken
}

TEST_F(PatternNetLayouts, OutputSlabFedByTwoPatternSlabsOfOtherSizes) {
    // A second pattern slab of 5 units also feeds the output slab. The
    // capacity comes from the first link (2 units); the second link is walked
    // for the units in use, within its own 5 rows.
    const int16_t net = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 1, 2, 1);
    MakeSlabOf(net, 3, 5, KORU32_SLAB_HIDDEN);
    MakeLinkOf(net, 2, kInput, 3);
    MakeLinkOf(net, 3, 3, kOutput);
    StoreOne(net, {0}, {1});
    StoreOne(net, {1}, {1});
    EXPECT_EQ(Evaluate(net, kOutput, {1}, 0), KORU32_ERR_BAD_PATTERN);
    SetCounts(net, kOutput, {4, 2});
    Put(net, kInput, {0});
    ASSERT_EQ(Propagate(net, kPattern, 1.0f), KORU32_OK);
    ASSERT_EQ(Propagate(net, 3, 1.0f), KORU32_OK);
    const float e = static_cast<float>(koru::Exp(-0.5));
    EXPECT_EQ(Get(net, kPattern, 2), (Floats{1.0f, e}));
    EXPECT_EQ(Get(net, 3, 5), (Floats{1, e, 1, 1, 0}));  // its stored columns are 0, 1, 0, 0
    ASSERT_EQ(Propagate(net, kOutput, 1.0f), KORU32_OK);
    // Link 1 rows hold 1 for both units; link 3 rows are all 0.
    EXPECT_EQ(Get(net, kOutput, 1)[0], static_cast<float>(1.0 + e) / 2.0f);
}

}  // namespace
