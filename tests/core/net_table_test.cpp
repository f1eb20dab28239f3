// The lookups and what they load, and the order of a slab's link lists.
#include <gtest/gtest.h>

#include "core/engine.h"

namespace koru {
namespace {

int16_t Make(int16_t net, uint16_t type) { return MakeNet(&net, &type); }
int16_t MakeSlabOf(int16_t net, int16_t slab, int16_t kind) {
    const int16_t neurons = 2;
    return MakeSlab(&net, &slab, &neurons, &kind);
}
int16_t MakeLinkOf(int16_t net, int16_t link, int16_t source, int16_t dest) {
    const float range = 0.5f;
    return MakeLink(&net, &link, &range, &source, &dest);
}

class NetTable : public ::testing::Test {
protected:
    void TearDown() override {
        for (int16_t net = 0; net < kNetCount; ++net) KillNet(&net);
        const uint16_t floatMode = KORU32_MATH_FLOAT;
        SetMath(&floatMode);
    }
};

// The start-up notification may come again (another thread attaching): it
// must not clear the table under the nets already made.
TEST_F(NetTable, ASecondStartUpKeepsTheNets) {
    ASSERT_EQ(Make(2, KORU32_NET_BP_PLAIN), KORU32_OK);
    NetBlock* block = netTable[2].block;
    StartUp();
    EXPECT_EQ(netTable[2].block, block);
    EXPECT_EQ(netTable[2].paradigm, KORU32_PARADIGM_BACKPROP);
}

TEST_F(NetTable, LookupsFindTheRecordAndLoadTheNetsFormatOrLeaveEverythingAlone) {
    ASSERT_EQ(Make(4, KORU32_NET_PNN_DOT), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(4, 0, 0), KORU32_OK);
    state.mathMode = kFixed824;
    SlabLookup found{};
    ASSERT_EQ(FindSlab(4, 0, found), KORU32_OK);
    EXPECT_EQ(state.mathMode, kFloat32);
    EXPECT_EQ(found.net, &netTable[4]);
    EXPECT_EQ(found.slab, &netTable[4].block->slabs[0]);
    state.mathMode = kFixed824;
    SlabLookup slab{nullptr, nullptr};
    LinkLookup link{nullptr, nullptr};
    StoreLookup store{nullptr, nullptr};
    EXPECT_EQ(FindSlab(4, 3, slab), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(FindSlab(4, kSlabsPerNet, slab), KORU32_ERR_BAD_SLAB_NUMBER);
    EXPECT_EQ(FindLink(4, 3, link), KORU32_ERR_NO_LINK);
    EXPECT_EQ(FindLink(1, kLinksPerNet, link), KORU32_ERR_BAD_LINK_NUMBER);
    EXPECT_EQ(FindStore(4, 3, store), KORU32_ERR_NO_STORE);
    EXPECT_EQ(FindStore(200, 40, store), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(state.mathMode, kFixed824);
    EXPECT_EQ(slab.slab, nullptr);
    EXPECT_EQ(link.link, nullptr);
    EXPECT_EQ(store.store, nullptr);
}

TEST_F(NetTable, KillingALinkKeepsTheOrderOfTheOthers) {
    ASSERT_EQ(Make(0, KORU32_NET_BP_PLAIN), KORU32_OK);
    for (int16_t slab = 0; slab < 4; ++slab) ASSERT_EQ(MakeSlabOf(0, slab, 1), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 5, 1, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 2, 2, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 9, 3, 0), KORU32_OK);
    ASSERT_EQ(MakeLinkOf(0, 1, 0, 3), KORU32_OK);
    NetBlock& block = *netTable[0].block;
    const int16_t net = 0, second = 2;
    ASSERT_EQ(KillLink(&net, &second), KORU32_OK);
    ASSERT_EQ(block.slabs[0].inCount, 2);
    EXPECT_EQ(block.slabs[0].inLinks[0], &block.links[5]);
    EXPECT_EQ(block.slabs[0].inLinks[1], &block.links[9]);
    EXPECT_EQ(block.slabs[0].outCount, 1);
    EXPECT_EQ(block.slabs[2].outCount, 0);
    EXPECT_EQ(block.slabs[3].outLinks[0], &block.links[9]);
}

TEST_F(NetTable, NewSlabsStartWithWinnerZeroAndDefinedTransfer) {
    ASSERT_EQ(Make(0, KORU32_NET_LVQ_DISTANCE), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(0, 0, 2), KORU32_OK);
    NetBlock& block = *netTable[0].block;
    block.slabs[0].winner = 7;
    const int16_t net = 0, slab = 0;
    ASSERT_EQ(KillSlab(&net, &slab), KORU32_OK);
    ASSERT_EQ(MakeSlabOf(0, 0, 2), KORU32_OK);
    EXPECT_EQ(block.slabs[0].winner, 0);
    EXPECT_EQ(block.slabs[0].transfer, 0);
    EXPECT_EQ(block.slabs[0].deltas, nullptr);
    EXPECT_EQ(block.slabs[0].sums, nullptr);
}

}  // namespace
}  // namespace koru
