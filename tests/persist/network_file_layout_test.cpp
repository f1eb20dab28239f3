// The network file's bytes: the momentum net of three slabs and two links
// that gives the 634-byte file, in float32 and in 8.24, the caller's bytes,
// and the codes of SaveNet and RestoreNet in their order.
#include <gtest/gtest.h>

#include "persist/persist_test_support.h"

namespace koru_test {
namespace {

// Slabs 0 (2 neurons), 1 (3) and 2 (1); link 0 from slab 0 to slab 1 (3 x 3
// weights, bias row first) and link 1 from slab 1 to slab 2 (4 x 1).
constexpr float kWeights0[9] = {0.5f, -1.5f, 0.25f, 2.0f, -0.125f, 1.0f, 0.1f, -0.3f, 3.75f};
constexpr float kChanges0[9] = {0.01f, -0.02f, 0.03f, -0.04f, 0.05f, -0.06f, 0.07f, -0.08f, 0.09f};
constexpr float kWeights1[4] = {-2.5f, 0.75f, -0.7f, 1.25f};
constexpr float kChanges1[4] = {0.0625f, -0.5f, 0.2f, -0.001f};

class NetworkFileLayout : public PersistTest {
protected:
    void BuildExample(int16_t net) {
        const uint16_t type = KORU32_NET_BP_MOMENTUM;
        ASSERT_EQ(MakeNet(&net, &type), 0);
        const int16_t slabs[3] = {0, 1, 2}, neurons[3] = {2, 3, 1}, transfers[3] = {0, 2, 6};
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(MakeSlab(&net, &slabs[i], &neurons[i], &slabs[i]), 0);  // kind = slab number
            ASSERT_EQ(Transfer(&net, &slabs[i], &transfers[i]), 0);
        }
        const float range = 1.0f;
        const int16_t link0 = 0, link1 = 1;
        ASSERT_EQ(MakeLink(&net, &link0, &range, &slabs[0], &slabs[1]), 0);
        ASSERT_EQ(MakeLink(&net, &link1, &range, &slabs[1], &slabs[2]), 0);
        ASSERT_EQ(PutLink(&net, &link0, kWeights0), 0);
        ASSERT_EQ(PutLinkChanges(&net, &link0, kChanges0), 0);
        ASSERT_EQ(PutLink(&net, &link1, kWeights1), 0);
        ASSERT_EQ(PutLinkChanges(&net, &link1, kChanges1), 0);
    }

    // Checks every header field of the example, and the four arrays at their
    // offsets, each element as `element` encodes it.
    template <typename Encode>
    void ExpectExampleFile(const Bytes& file, uint16_t format, Encode element) {
        ASSERT_GE(file.size(), 634u);
        EXPECT_EQ(U16(file, 0), 32);
        EXPECT_EQ(U16(file, 2), 32);
        EXPECT_EQ(U16(file, 4), 2);  // net type
        EXPECT_EQ(U16(file, 6), 1);  // paradigm
        EXPECT_EQ(U16(file, 8), 2);  // variant
        EXPECT_EQ(U16(file, 10), format);
        EXPECT_EQ(U16(file, 12), 2);  // links in use
        EXPECT_EQ(U16(file, 14), 3);  // slabs in use
        const uint16_t neurons[3] = {2, 3, 1}, transfers[3] = {0, 2, 6};
        for (int s = 0; s < 32; ++s) {
            EXPECT_EQ(U16(file, 16 + 2 * s), s < 3 ? neurons[s] : 0) << "slab " << s;
            if (s < 3) {
                EXPECT_EQ(U16(file, 80 + 2 * s), s);
                EXPECT_EQ(U16(file, 144 + 2 * s), transfers[s]);
            }
        }
        for (int l = 0; l < 32; ++l) {
            EXPECT_EQ(U16(file, 208 + 2 * l), l < 2 ? 2 : 0) << "link " << l;
            EXPECT_EQ(U32(file, 400 + 4 * l), l == 0 ? 9u : l == 1 ? 4u : 0u) << "link " << l;
        }
        EXPECT_EQ(U16(file, 272), 0);  // link 0: slab 0 to slab 1
        EXPECT_EQ(U16(file, 336), 1);
        EXPECT_EQ(U16(file, 274), 1);  // link 1: slab 1 to slab 2
        EXPECT_EQ(U16(file, 338), 2);
        EXPECT_EQ(U16(file, 528), 0);  // pattern count
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(U32(file, 530 + 4 * i), element(kWeights0[i])) << i;
            EXPECT_EQ(U32(file, 566 + 4 * i), element(kChanges0[i])) << i;
        }
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(U32(file, 602 + 4 * i), element(kWeights1[i])) << i;
            EXPECT_EQ(U32(file, 618 + 4 * i), element(kChanges1[i])) << i;
        }
    }
};

TEST_F(NetworkFileLayout, MomentumExampleIs634BytesInFloat32AndIn824) {
    for (bool fixed : {false, true}) {
        SetMathMode(fixed);
        BuildExample(3);
        ASSERT_EQ(Save(3, Path("net.bin"), 0, nullptr), 0);
        const Bytes file = ReadWholeFile(Path("net.bin"));
        EXPECT_EQ(file.size(), 634u);
        if (fixed) {
            ExpectExampleFile(file, 0, [](float v) { return FixedBits(v); });
        } else {
            ExpectExampleFile(file, 3, [](float v) { return BitsOf(v); });
        }
        KillAllNets();
    }
}

TEST_F(NetworkFileLayout, NetWithoutSlabsIsTheHeaderAloneAndComesBackEmpty) {
    const int16_t net = 0;
    const uint16_t type = KORU32_NET_GRNN_CITY_BLOCK;
    ASSERT_EQ(MakeNet(&net, &type), 0);
    ASSERT_EQ(Save(0, Path("empty.bin"), 0, nullptr), 0);
    const Bytes file = ReadWholeFile(Path("empty.bin"));
    ASSERT_EQ(file.size(), 530u);
    EXPECT_EQ(U16(file, 4), 9);
    EXPECT_EQ(U16(file, 6), 9);
    EXPECT_EQ(U16(file, 8), 10);
    ASSERT_EQ(Restore(7, Path("empty.bin"), 0, nullptr), 0);
    EXPECT_TRUE(SlotInUse(7));
    // The restored net is of the saved type: a GRNN net refuses Transfer (16)
    // once a slab exists, and a second save gives the same bytes.
    const int16_t seven = 7, slab = 0, neurons = 1, kind = 0, code = 1;
    ASSERT_EQ(MakeSlab(&seven, &slab, &neurons, &kind), 0);
    EXPECT_EQ(Transfer(&seven, &slab, &code), KORU32_ERR_WRONG_PARADIGM);
    ASSERT_EQ(KillSlab(&seven, &slab), 0);
    ASSERT_EQ(Save(7, Path("again.bin"), 0, nullptr), 0);
    EXPECT_EQ(ReadWholeFile(Path("again.bin")), file);
}

TEST_F(NetworkFileLayout, CallerBytesFollowTheLinkArraysAndAreReadBackUpToTheLengthAsked) {
    SetMathMode(false);
    BuildExample(3);
    const uint8_t mine[7] = {1, 2, 3, 0, 0xFF, 0x80, 7};
    ASSERT_EQ(Save(3, Path("with.bin"), 7, mine), 0);
    const Bytes file = ReadWholeFile(Path("with.bin"));
    ASSERT_EQ(file.size(), 641u);
    EXPECT_EQ(Bytes(file.begin() + 634, file.end()), Bytes(mine, mine + 7));
    // A length of 0, or no bytes at all, appends nothing.
    ASSERT_EQ(Save(3, Path("none.bin"), 0, mine), 0);
    EXPECT_EQ(ReadWholeFile(Path("none.bin")).size(), 634u);
    ASSERT_EQ(Save(3, Path("none.bin"), 7, nullptr), 0);
    EXPECT_EQ(ReadWholeFile(Path("none.bin")).size(), 634u);

    uint8_t back[8];
    std::memset(back, 0xEE, sizeof back);
    ASSERT_EQ(Restore(10, Path("with.bin"), 7, back), 0);
    EXPECT_EQ(Bytes(back, back + 8), (Bytes{1, 2, 3, 0, 0xFF, 0x80, 7, 0xEE}));
    // A shorter length reads the first bytes and ignores the rest.
    std::memset(back, 0xEE, sizeof back);
    ASSERT_EQ(Restore(11, Path("with.bin"), 3, back), 0);
    EXPECT_EQ(Bytes(back, back + 4), (Bytes{1, 2, 3, 0xEE}));
    // No length, or no buffer: nothing is read.
    std::memset(back, 0xEE, sizeof back);
    ASSERT_EQ(Restore(12, Path("with.bin"), 0, back), 0);
    EXPECT_EQ(Bytes(back, back + 8), Bytes(8, 0xEE));
    const int16_t twelve = 12;
    KillNet(&twelve);
    ASSERT_EQ(Restore(12, Path("with.bin"), 7, nullptr), 0);

    // A longer length gives 41, but the net was whole before the caller's
    // bytes ran short, so it stays.
    ASSERT_EQ(Restore(20, Path("with.bin"), 8, back), KORU32_ERR_RESTORE_FILE);
    ASSERT_TRUE(SlotInUse(20));
    const int16_t net = 20, link1 = 1;
    float changes[4];
    ASSERT_EQ(GetLinkChanges(&net, &link1, changes), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(BitsOf(changes[i]), BitsOf(kChanges1[i]));
}

TEST_F(NetworkFileLayout, NegativeLengthsAreRefusedBeforeAnyFileIsTouched) {
    SetMathMode(false);
    BuildExample(3);
    const uint8_t mine[7] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(Save(3, Path("kept.bin"), 7, mine), 0);
    const Bytes kept = ReadWholeFile(Path("kept.bin"));
    // A save into an existing file keeps it whole; into a new name makes
    // nothing. A restore leaves the slot free, the buffer unwritten and the
    // math mode as it was (the float file would have set float).
    SetMathMode(true);
    for (int32_t length : {-1, -5, -100000, INT32_MIN}) {
        for (const void* bytes : {static_cast<const void*>(mine), static_cast<const void*>(nullptr)}) {
            SCOPED_TRACE(testing::Message() << "length " << length << (bytes ? " with bytes" : " without"));
            EXPECT_EQ(Save(3, Path("kept.bin"), length, bytes), KORU32_ERR_SAVE_FILE);
            EXPECT_EQ(ReadWholeFile(Path("kept.bin")), kept);
            EXPECT_EQ(Save(3, Path("new.bin"), length, bytes), KORU32_ERR_SAVE_FILE);
            EXPECT_FALSE(fs::exists(Path("new.bin")));
            uint8_t back[4] = {0xEE, 0xEE, 0xEE, 0xEE};
            EXPECT_EQ(Restore(9, Path("kept.bin"), length, bytes ? back : nullptr), KORU32_ERR_RESTORE_FILE);
            EXPECT_FALSE(SlotInUse(9));
            EXPECT_EQ(Bytes(back, back + 4), Bytes(4, 0xEE));
            EXPECT_TRUE(MathModeIsFixed());
            // The number checks still come first.
            EXPECT_EQ(Save(4, Path("new.bin"), length, bytes), KORU32_ERR_NET_NOT_IN_USE);
            EXPECT_EQ(Restore(3, Path("kept.bin"), length, nullptr), KORU32_ERR_NET_IN_USE);
        }
    }
}

TEST_F(NetworkFileLayout, SaveChecksNetNumberThenUseBeforeCreatingTheFile) {
    const std::string path = Path("never.bin");
    EXPECT_EQ(Save(128, path, 0, nullptr), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Save(-1, path, 0, nullptr), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Save(4, path, 0, nullptr), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(NetworkFileLayout, FailedSaveGives40AndLeavesTheNetAsItWas) {
    SetMathMode(false);
    BuildExample(3);
    // A directory cannot be created as a file, nor can a file in a missing one.
    EXPECT_EQ(Save(3, dir_.string(), 0, nullptr), KORU32_ERR_SAVE_FILE);
    EXPECT_EQ(Save(3, Path("missing/net.bin"), 0, nullptr), KORU32_ERR_SAVE_FILE);
    ASSERT_EQ(Save(3, Path("net.bin"), 0, nullptr), 0);
    const Bytes file = ReadWholeFile(Path("net.bin"));
    ExpectExampleFile(file, 3, [](float v) { return BitsOf(v); });
}

TEST_F(NetworkFileLayout, RestoreChecksNetNumberThenFreeSlotBeforeOpening) {
    SetMathMode(false);
    BuildExample(3);
    ASSERT_EQ(Save(3, Path("net.bin"), 0, nullptr), 0);
    // A missing file would give 41 if it were opened; the number checks come first.
    const std::string missing = Path("missing.bin");
    EXPECT_EQ(Restore(128, missing, 0, nullptr), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Restore(-3, missing, 0, nullptr), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Restore(3, missing, 0, nullptr), KORU32_ERR_NET_IN_USE);
    EXPECT_EQ(Restore(3, Path("net.bin"), 0, nullptr), KORU32_ERR_NET_IN_USE);
    EXPECT_EQ(Restore(4, missing, 0, nullptr), KORU32_ERR_RESTORE_FILE);
    EXPECT_FALSE(SlotInUse(4));
    // The net in slot 3 was not touched by the refused restore.
    ASSERT_EQ(Save(3, Path("again.bin"), 0, nullptr), 0);
    EXPECT_EQ(ReadWholeFile(Path("again.bin")), ReadWholeFile(Path("net.bin")));
}

}  // namespace
}  // namespace koru_test
