// BpPropagate: its codes and the transfer applied once after every link (none
// at all when no link is active); the runtime hook the library exports.
#include <gtest/gtest.h>

#include "bp_net.h"
#include "bp_records.h"
#include "core/portable_math.h"

namespace {

using namespace bptest;

constexpr int16_t kNet = 20;

TEST(BpPropagateCodes, ChecksInOrderAndLeavesTheSlabAlone) {
    const int16_t cases[][3] = {{128, 32, KORU32_ERR_BAD_NET_NUMBER}, {-1, 0, KORU32_ERR_BAD_NET_NUMBER}, {kNet, 32, KORU32_ERR_BAD_SLAB_NUMBER},
                                {kNet, -1, KORU32_ERR_BAD_SLAB_NUMBER}, {kNet, 0, KORU32_ERR_NET_NOT_IN_USE}};
    for (const auto& c : cases) EXPECT_EQ(Propagate(c[0], c[1]), c[2]) << c[0] << ", " << c[1];
    {
        Net lvq(kNet, KORU32_NET_LVQ_DISTANCE);
        ASSERT_EQ(Slab(lvq, 0, 3, KORU32_SLAB_INPUT), 0);
        EXPECT_EQ(Propagate(lvq, 0), KORU32_ERR_WRONG_PARADIGM);  // before the incoming links
    }
    Net net(kNet, KORU32_NET_BP_PLAIN);
    EXPECT_EQ(Propagate(net, 0), KORU32_ERR_NO_SLAB);
    ASSERT_TRUE(Slab(net, 0, 3, KORU32_SLAB_INPUT) == 0 && Put(net, 0, {0.25f, 0.5f, 0.75f}) == 0);
    EXPECT_EQ(Propagate(net, 0), KORU32_ERR_NO_INCOMING_LINKS);
    EXPECT_EQ(Get(net, 0, 3), (std::vector<float>{0.25f, 0.5f, 0.75f}));
}

// Slabs 0 and 1 (2 inputs each) both feed slab 2 (2 neurons).
TEST(BpPropagate, TransferAfterAllLinksKeepsTheSumsAndNoActiveLinkLeavesZero) {
    Net net(kNet, KORU32_NET_BP_PLAIN);
    for (int16_t s = 0; s < 3; ++s) ASSERT_EQ(Slab(net, s, 2, s < 2 ? KORU32_SLAB_INPUT : KORU32_SLAB_OUTPUT), 0);
    for (int16_t l = 0; l < 2; ++l) ASSERT_EQ(Link(net, l, l, 2), 0);
    Fill(LinkOf(net, 0).weights, std::vector<float>{0.5f, -0.25f, 1.0f, 2.0f, 3.0f, 4.0f});  // biases first
    Fill(LinkOf(net, 1).weights, std::vector<float>{0.125f, 1.0f, -1.0f, 0.5f, 0.25f, -2.0f});
    ASSERT_EQ(All({Put(net, 0, {1.0f, 2.0f}), Put(net, 1, {-1.0f, 4.0f}), SetTransfer(net, 2, KORU32_TRANSFER_GAUSSIAN)}), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(FloatsOf(SlabOf(net, 2).sums), (std::vector<float>{9.625f, 2.25f}));
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{static_cast<float>(koru::Exp(-9.625 * 9.625)), static_cast<float>(koru::Exp(-2.25 * 2.25))}));
    ASSERT_EQ(All({Status(net, 0, KORU32_LINK_IGNORED), Status(net, 1, KORU32_LINK_IGNORED)}), 0);
    ASSERT_EQ(Propagate(net, 2), 0);
    EXPECT_EQ(Get(net, 2, 2), (std::vector<float>{0.0f, 0.0f}));  // not the Gaussian of 0
}

TEST(RuntimeHook, ExportedFromTheLibrary) {
    koru32_math_exception record{1, "tanh", 0.0, 0.0, 5.0};
    EXPECT_TRUE(_matherr(&record) == 1 && record.retval == 0.0);
}

}  // namespace
