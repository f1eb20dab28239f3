// Save and restore, bit for bit, for every net type in float32 and in 8.24;
// the math mode a restore leaves; an 8.24 file of a PNN or GRNN net; links
// whose status is not 2.
#include <gtest/gtest.h>

#include <tuple>

#include "persist/persist_test_nets.h"

namespace koru_test {
namespace {

class RoundTrip : public PersistTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(RoundTrip, NetComesBackBitForBitInTheFilesFormat) {
    const auto type = static_cast<uint16_t>(std::get<0>(GetParam()));
    const bool fixed = std::get<1>(GetParam());
    // PNN and GRNN nets hold float32 whatever the mode.
    const bool fixedNet = fixed && !IsPnn(type) && !IsGrnn(type);

    SetMathMode(fixed);
    BuildNet(9, type);
    const NetSnapshot before = TakeSnapshot(9, type);
    const uint8_t mine[5] = {9, 8, 7, 6, 5};
    ASSERT_EQ(Save(9, Path("a.bin"), 5, mine), 0);
    const Bytes a = ReadWholeFile(Path("a.bin"));
    EXPECT_EQ(U16(a, 10), fixedNet ? 0 : 3);
    const int16_t nine = 9;
    ASSERT_EQ(KillNet(&nine), 0);

    // The restore switches the mode from the other one to the file's.
    SetMathMode(!fixedNet);
    uint8_t back[5] = {};
    ASSERT_EQ(Restore(40, Path("a.bin"), 5, back), 0);
    EXPECT_EQ(Bytes(back, back + 5), Bytes(mine, mine + 5));
    EXPECT_EQ(MathModeIsFixed(), fixedNet);

    const NetSnapshot after = TakeSnapshot(40, type);
    for (size_t l = 0; l < before.weights.size(); ++l) EXPECT_TRUE(SameBits(before.weights[l], after.weights[l])) << l;
    for (size_t s = 0; s < before.counts.size(); ++s) EXPECT_TRUE(SameBits(before.counts[s], after.counts[s])) << s;
    if (SavesChanges(type)) {
        for (size_t l = 0; l < before.changes.size(); ++l) {
            EXPECT_TRUE(SameBits(before.changes[l], after.changes[l])) << l;
        }
    } else if (type == KORU32_NET_BP_ADAPTIVE) {
        // Step sizes are not saved: MakeLink's range of 0 leaves them 0.
        for (const auto& changes : after.changes) {
            for (float c : changes) EXPECT_EQ(BitsOf(c), 0u);
        }
    } else {
        const int16_t net = 40, link = 0;
        float c[64];
        EXPECT_EQ(GetLinkChanges(&net, &link, c), KORU32_ERR_WRONG_PARADIGM);
    }
    // The slabs come back where they were, and only those.
    const int16_t net = 40, one = 1;
    float value;
    for (int16_t s = 0; s < 32; ++s) {
        const bool used = s == 0 || s == 1 || s == 2 || s == 5;
        EXPECT_EQ(GetNeuron(&net, &s, &one, &value), used ? 0 : KORU32_ERR_NO_SLAB) << s;
        const int16_t last = NeuronsOf(s), beyond = static_cast<int16_t>(last + 1);
        if (used) {
            EXPECT_EQ(GetNeuron(&net, &s, &last, &value), 0);
            EXPECT_EQ(GetNeuron(&net, &s, &beyond, &value), KORU32_ERR_BAD_NEURON);
        }
    }
    // Everything the file holds, transfer codes and pattern count included,
    // is saved again as it was read.
    ASSERT_EQ(Save(40, Path("b.bin"), 5, mine), 0);
    EXPECT_EQ(ReadWholeFile(Path("b.bin")), a);
}

INSTANTIATE_TEST_SUITE_P(EveryNetType, RoundTrip,
                         ::testing::Combine(::testing::Range(1, 12), ::testing::Bool()),
                         [](const auto& info) {
                             return "Type" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Fixed" : "Float");
                         });

class RestoreFormat : public PersistTest {};

TEST_F(RestoreFormat, FileSizeFollowsTheTypesArrays) {
    // Weights of all four links, changes only for momentum and batch nets,
    // counts of the PNN output slab and of the two GRNN hidden slabs.
    for (uint16_t type = 1; type <= 11; ++type) {
        SetMathMode(false);
        const int16_t net = 1;
        BuildNet(net, type);
        ASSERT_EQ(Save(net, Path("n.bin")), 0);
        uint32_t elements = 0;
        for (const LinkPlan& l : kLinks) elements += WeightCount(type, l) * (SavesChanges(type) ? 2 : 1);
        if (IsPnn(type)) elements += 2;
        if (IsGrnn(type)) elements += 4 + 2;
        EXPECT_EQ(ReadWholeFile(Path("n.bin")).size(), 530u + 4 * elements) << type;
        KillNet(&net);
    }
}

// A PNN file written in 8.24 (where no floating-point unit was found) is
// restored into the float32 net element by element converted; the mode is
// switched to fixed point as the file says.
TEST_F(RestoreFormat, FixedPointPatternNetFileIsConvertedToFloat32) {
    for (uint16_t type : {uint16_t{7}, uint16_t{8}}) {
        SetMathMode(false);
        BuildNet(2, type);
        ASSERT_EQ(Save(2, Path("f.bin")), 0);
        Bytes file = ReadWholeFile(Path("f.bin"));
        // Rewrite the header's format and every element as 8.24.
        SetU16(file, 10, 0);
        std::vector<uint32_t> elements;
        for (size_t at = 530; at < file.size(); at += 4) {
            float v;
            const uint32_t bits = U32(file, at);
            std::memcpy(&v, &bits, 4);
            elements.push_back(FixedBits(v));
            SetU32(file, at, elements.back());
        }
        // One element that 8.24 holds but float32 must round: 1 + 2^-24.
        SetU32(file, 530, 0x01000001u);
        elements[0] = 0x01000001u;
        WriteWholeFile(Path("g.bin"), file);

        SetMathMode(false);
        ASSERT_EQ(Restore(3, Path("g.bin")), 0) << type;
        EXPECT_TRUE(MathModeIsFixed());
        // The elements, in file order: counts, then the weights link by link.
        size_t next = 0;
        const NetSnapshot back = TakeSnapshot(3, type);
        for (const auto& counts : back.counts) {
            for (size_t i = 1; i < counts.size(); ++i) {
                EXPECT_EQ(BitsOf(counts[i]), BitsOf(FloatOfFixed(elements[next++])));
            }
        }
        for (const auto& weights : back.weights) {
            for (float w : weights) EXPECT_EQ(BitsOf(w), BitsOf(FloatOfFixed(elements[next++])));
        }
        EXPECT_EQ(next, elements.size());
        EXPECT_EQ(BitsOf(FloatOfFixed(0x01000001u)), BitsOf(1.0f));
        KillAllNets();
    }
}

// A link of status 0 or 1 is written with its data and its status; the
// restore gives the data back to that very link and keeps the status, so
// the links after it keep theirs.
TEST_F(RestoreFormat, LinksOfStatusZeroAndOneKeepTheirDataAndStatus) {
    SetMathMode(false);
    BuildNet(4, KORU32_NET_BP_MOMENTUM);
    const int16_t net = 4, link0 = 0, link3 = 3, ignored = 0, propagated = 1;
    ASSERT_EQ(SetStatus(&net, &link0, &ignored), 0);
    ASSERT_EQ(SetStatus(&net, &link3, &propagated), 0);
    const NetSnapshot before = TakeSnapshot(4, KORU32_NET_BP_MOMENTUM);
    ASSERT_EQ(Save(4, Path("s.bin")), 0);
    const Bytes a = ReadWholeFile(Path("s.bin"));
    EXPECT_EQ(U16(a, 208 + 0), 0);
    EXPECT_EQ(U16(a, 208 + 2), 2);
    EXPECT_EQ(U16(a, 208 + 6), 1);
    EXPECT_EQ(U32(a, 400 + 0), 16u);  // link 0: 4 rows of 4

    ASSERT_EQ(Restore(5, Path("s.bin")), 0);
    const NetSnapshot after = TakeSnapshot(5, KORU32_NET_BP_MOMENTUM);
    for (size_t l = 0; l < before.weights.size(); ++l) {
        EXPECT_TRUE(SameBits(before.weights[l], after.weights[l])) << l;
        EXPECT_TRUE(SameBits(before.changes[l], after.changes[l])) << l;
    }
    ASSERT_EQ(Save(5, Path("t.bin")), 0);
    EXPECT_EQ(ReadWholeFile(Path("t.bin")), a);  // statuses included
}

}  // namespace
}  // namespace koru_test
