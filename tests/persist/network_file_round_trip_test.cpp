// Save and restore, bit for bit, for every net type in float32 and in 8.24;
// the file's size, the math mode a restore leaves, link statuses, and an 8.24
// file of a pattern net.
#include <bit>
#include <tuple>

#include "exports/net_fixture.h"

namespace koru_test {
namespace {

class RoundTrip : public NetTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(RoundTrip, NetComesBackBitForBitAndSavesTheSameFile) {
    const auto type = static_cast<uint16_t>(std::get<0>(GetParam()));
    const bool fixed = std::get<1>(GetParam()) && (type < 6 || type > 10);  // pattern nets stay float32
    const bool savesChanges = type == 2 || type == 3;
    Math(fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT);
    BuildNet(9, type);
    const Bytes before = Snapshot(9, type, savesChanges);
    const uint8_t mine[5] = {9, 8, 7, 6, 5};
    ASSERT_EQ(Save(9, Path("a.bin"), 5, mine), 0);
    const Bytes a = ReadWholeFile(Path("a.bin"));
    EXPECT_EQ(U16(a, 10), fixed ? 0 : 3);
    if (IsBackprop(type)) { EXPECT_EQ((std::vector<int>{U16(a, 208), U16(a, 210), U16(a, 214)}), (std::vector<int>{0, 1, 2})); }
    // Weights, changes where saved, counts without the pattern count.
    size_t elements = 0;
    for (const LinkPlan& l : kLinks) elements += WeightCount(type, l) * (savesChanges ? 2 : 1);
    for (const SlabPlan& s : kSlabs) elements += Counted(type, s) ? size_t(s.neurons) : 0;
    EXPECT_EQ(a.size(), 530 + 4 * elements + 5);
    ASSERT_EQ(Kill(9), 0);

    Math(fixed ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED);  // the restore takes the file's mode
    uint8_t back[5] = {};
    ASSERT_EQ(Restore(40, Path("a.bin"), 4, back), 0);  // bytes beyond those asked are left
    EXPECT_EQ(Bytes(back, back + 5), (Bytes{9, 8, 7, 6, 0}));
    EXPECT_EQ(MathModeIsFixed(), fixed);
    EXPECT_EQ(Snapshot(40, type, savesChanges), before);
    const std::vector<float> steps = Changes(40, 0, 16, KeepsChanges(type) ? 0 : KORU32_ERR_WRONG_PARADIGM);
    if (type == KORU32_NET_BP_ADAPTIVE) { EXPECT_EQ(steps, std::vector<float>(16, 0.0f)); }  // not saved: range 0
    // Slabs, transfer codes, statuses and the pattern count are saved again as read.
    ASSERT_EQ(Save(40, Path("b.bin"), 5, mine), 0);
    EXPECT_EQ(ReadWholeFile(Path("b.bin")), a);
}

INSTANTIATE_TEST_SUITE_P(EveryNetType, RoundTrip, ::testing::Combine(::testing::Range(1, 12), ::testing::Bool()));

using RestoreFormat = NetTest;

// A pattern net's file written in 8.24 is restored into float32, element by
// element converted, and the mode switched to fixed point as the file says.
TEST_F(RestoreFormat, FixedPointPatternNetFileIsConvertedToFloat32) {
    for (uint16_t type : {uint16_t{7}, uint16_t{8}}) {
        SCOPED_TRACE(type);
        BuildNet(2, type);
        Bytes expected = Saved(2), fixed = With16(expected, 10, 0);
        for (size_t at = 530; at < expected.size(); at += 4) {
            // The first is one that 8.24 holds but float32 must round: 1 + 2^-24.
            const uint32_t element = at == 530 ? 0x01000001u : FixedBits(std::bit_cast<float>(U32(expected, at)));
            fixed = With32(fixed, at, element);
            expected = With32(expected, at, BitsOf(FloatOfFixed(element)));
        }
        WriteWholeFile(Path("g.bin"), fixed);
        Math(KORU32_MATH_FLOAT);
        ASSERT_EQ(Restore(3, Path("g.bin")), 0);
        EXPECT_TRUE(MathModeIsFixed());
        EXPECT_EQ(Saved(3), expected);  // the net itself stays float32
        EXPECT_EQ(U32(expected, 530), BitsOf(1.0f));
        KillAllNets();
    }
}

}  // namespace
}  // namespace koru_test
