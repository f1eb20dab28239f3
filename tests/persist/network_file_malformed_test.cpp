// Malformed network files: a header that does not describe the arrays, or a
// file cut short at any byte. Each is refused with its code, reads no more
// into an array than it holds, closes the file, and leaves the slot free
// unless the net was complete before the trouble (only the caller's bytes
// missing), when the restored net stays.
#include <gtest/gtest.h>

#include <tuple>

#include "persist/persist_test_nets.h"

namespace koru_test {
namespace {

class MalformedNetworkFile : public PersistTest {
protected:
    // A float32 momentum net of four slabs and four links.
    Bytes BaseFile() {
        SetMathMode(false);
        BuildNet(1, KORU32_NET_BP_MOMENTUM);
        EXPECT_EQ(Save(1, Path("base.bin")), 0);
        const int16_t one = 1;
        KillNet(&one);
        return ReadWholeFile(Path("base.bin"));
    }

    // Restores `file` into slot 30 with the math mode at fixed point first.
    // Checks the code, that the slot is free again, that the mode is the
    // file's (float32) once the header was accepted and still fixed point
    // otherwise, and that no descriptor was left open.
    void ExpectRefused(const Bytes& file, int16_t code, bool headerAccepted, const char* what) {
        SCOPED_TRACE(what);
        WriteWholeFile(Path("bad.bin"), file);
        SetMathMode(true);
        const int descriptors = OpenDescriptors();
        EXPECT_EQ(Restore(30, Path("bad.bin")), code);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_FALSE(SlotInUse(30));
        EXPECT_EQ(MathModeIsFixed(), !headerAccepted);
    }
};

Bytes With16(Bytes file, size_t at, uint16_t value) {
    SetU16(file, at, value);
    return file;
}
Bytes With32(Bytes file, size_t at, uint32_t value) {
    SetU32(file, at, value);
    return file;
}

TEST_F(MalformedNetworkFile, HeaderRefusedBeforeAnythingIsMade) {
    const Bytes base = BaseFile();
    ExpectRefused(With16(base, 0, 31), KORU32_ERR_RESTORE_FILE, false, "slab table size");
    ExpectRefused(With16(base, 2, 0), KORU32_ERR_RESTORE_FILE, false, "link table size");
    ExpectRefused(With16(base, 18, 0x8000), KORU32_ERR_RESTORE_FILE, false, "neuron count 32768");
    ExpectRefused(With16(base, 18, 0xFFFF), KORU32_ERR_RESTORE_FILE, false, "neuron count -1");
    ExpectRefused(With16(base, 208 + 6, 3), KORU32_ERR_RESTORE_FILE, false, "status 3");
    ExpectRefused(With16(base, 208 + 6, 0xFFFF), KORU32_ERR_RESTORE_FILE, false, "status -1");
    ExpectRefused(Bytes(base.begin(), base.begin() + 529), KORU32_ERR_RESTORE_FILE, false, "529 bytes");
    ExpectRefused(Bytes(), KORU32_ERR_RESTORE_FILE, false, "empty file");
}

TEST_F(MalformedNetworkFile, CountsThatDoNotMatchTheRebuiltArraysGive41) {
    const Bytes base = BaseFile();
    // Slab 0 of 4 neurons instead of 3: links 0 and 3 would hold 20 and 10
    // weights, the header says 16 and 8.
    ExpectRefused(With16(base, 16, 4), KORU32_ERR_RESTORE_FILE, true, "slab 0 grown");
    ExpectRefused(With16(base, 16, 2), KORU32_ERR_RESTORE_FILE, true, "slab 0 shrunk");
    ExpectRefused(With32(base, 400 + 4, 11), KORU32_ERR_RESTORE_FILE, true, "link 1 weight count");
    ExpectRefused(With32(base, 400 + 4, 0xFFFFFFFF), KORU32_ERR_RESTORE_FILE, true, "huge weight count");
    // An unused link given a status but no weights.
    Bytes phantom = With16(base, 208 + 4, 2);
    SetU16(phantom, 272 + 4, 0);
    SetU16(phantom, 336 + 4, 1);
    ExpectRefused(phantom, KORU32_ERR_RESTORE_FILE, true, "link 2 without weights");
    // A paradigm other than the net type's.
    ExpectRefused(With16(base, 6, 8), KORU32_ERR_RESTORE_FILE, true, "paradigm 8 for type 2");
}

TEST_F(MalformedNetworkFile, ConstructionCodesPassThroughAndFreeTheSlot) {
    const Bytes base = BaseFile();
    ExpectRefused(With16(base, 4, 12), KORU32_ERR_BAD_NET_TYPE, true, "net type 12");
    ExpectRefused(With16(base, 4, 0), KORU32_ERR_BAD_NET_TYPE, true, "net type 0");
    ExpectRefused(With16(base, 80 + 4, 5), KORU32_ERR_BAD_SLAB_KIND, true, "kind 5");
    ExpectRefused(With16(base, 144 + 2, 8), KORU32_ERR_BAD_CODE, true, "transfer 8");
    ExpectRefused(With16(base, 272 + 2, 3), KORU32_ERR_NO_SLAB, true, "source slab 3 not in use");
    ExpectRefused(With16(base, 336 + 2, 32), KORU32_ERR_BAD_SLAB_NUMBER, true, "dest slab 32");
    // Eight more links into slab 1, which already has link 0: the ninth is
    // refused by MakeLink. The file carries their weights and changes (16
    // each), so that it is not refused as too short first.
    Bytes crowded = base;
    for (int l = 5; l < 13; ++l) {
        SetU16(crowded, 208 + 2 * l, 2);
        SetU16(crowded, 272 + 2 * l, 0);
        SetU16(crowded, 336 + 2 * l, 1);
        SetU32(crowded, 400 + 4 * l, 16);
        crowded.insert(crowded.end(), 2 * 16 * 4, 0);
    }
    ExpectRefused(crowded, KORU32_ERR_TOO_MANY_LINKS, true, "nine links into slab 1");
}

// A file shorter than the data section its header announces is refused
// with 41 and the slot left free (see also huge_header_test.cpp).
TEST_F(MalformedNetworkFile, AFileShorterThanItsHeaderAnnouncesIsRefused) {
    // One byte short of the last link's data, in a file that is otherwise
    // sound: 41 all the same, the slot free.
    const Bytes base = BaseFile();
    ExpectRefused(Bytes(base.begin(), base.end() - 1), KORU32_ERR_RESTORE_FILE, true, "one byte short");
}

TEST_F(MalformedNetworkFile, PatternCountsNeverGoToSlabsWithoutThem) {
    // An LVQ file that claims to be GRNN would send counts into hidden slabs,
    // which LVQ nets do not give any.
    SetMathMode(false);
    BuildNet(1, KORU32_NET_LVQ_DISTANCE);
    ASSERT_EQ(Save(1, Path("lvq.bin")), 0);
    ExpectRefused(With16(ReadWholeFile(Path("lvq.bin")), 6, 9), KORU32_ERR_RESTORE_FILE, true, "LVQ as GRNN");
}

// Each kind of file, with six caller bytes, cut at every byte offset.
class TruncatedNetworkFile : public PersistTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(TruncatedNetworkFile, EveryCutGives41ClosesTheFileAndLeavesTheDocumentedSlot) {
    const auto type = static_cast<uint16_t>(std::get<0>(GetParam()));
    const bool fixed = std::get<1>(GetParam());
    SetMathMode(fixed);
    BuildNet(1, type);
    const uint8_t mine[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(Save(1, Path("whole.bin"), 6, mine), 0);
    const Bytes whole = ReadWholeFile(Path("whole.bin"));
    const size_t netEnd = whole.size() - 6;
    const bool fixedFile = U16(whole, 10) == 0;
    const std::string cut = Path("cut.bin");

    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteWholeFile(cut, whole, length);
        SetMathMode(!fixedFile);
        const int descriptors = OpenDescriptors();
        uint8_t back[6] = {};
        ASSERT_EQ(Restore(30, cut, 6, back), KORU32_ERR_RESTORE_FILE);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        // Only a complete net stays; its caller bytes were the short part.
        const int16_t thirty = 30;
        EXPECT_EQ(SlotInUse(30), length >= netEnd);
        if (length >= netEnd) {
            ASSERT_EQ(Save(30, Path("again.bin"), 6, mine), 0);
            EXPECT_EQ(ReadWholeFile(Path("again.bin")), whole);
            KillNet(&thirty);
        }
        // The header switches the mode once it has been read whole.
        EXPECT_EQ(MathModeIsFixed(), length >= 530 ? fixedFile : !fixedFile);
        // Closed, so nothing holds the file: it can be written over and removed.
        std::error_code error;
        EXPECT_TRUE(fs::remove(cut, error)) << error.message();
    }
    WriteWholeFile(cut, whole);
    uint8_t back[6] = {};
    ASSERT_EQ(Restore(30, cut, 6, back), 0);
    EXPECT_EQ(Bytes(back, back + 6), Bytes(mine, mine + 6));
}

INSTANTIATE_TEST_SUITE_P(EachKindOfFile, TruncatedNetworkFile,
                         ::testing::Values(std::make_tuple(1, false), std::make_tuple(2, false),
                                           std::make_tuple(3, true), std::make_tuple(11, true),
                                           std::make_tuple(5, true), std::make_tuple(4, false),
                                           std::make_tuple(7, false), std::make_tuple(10, true),
                                           std::make_tuple(8, false), std::make_tuple(9, true)),
                         [](const auto& info) {
                             return "Type" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Fixed" : "Float");
                         });

TEST_F(MalformedNetworkFile, BytesBeyondTheCallersAreIgnored) {
    Bytes file = BaseFile();
    for (int i = 0; i < 40; ++i) file.push_back(static_cast<uint8_t>(i));
    WriteWholeFile(Path("long.bin"), file);
    uint8_t back[4] = {};
    ASSERT_EQ(Restore(30, Path("long.bin"), 4, back), 0);
    EXPECT_EQ(Bytes(back, back + 4), (Bytes{0, 1, 2, 3}));
}

}  // namespace
}  // namespace koru_test
