// Malformed network files: a header that does not describe the arrays, or a
// file cut short at any byte. Each is refused with its code, closes the
// file, draws no random weights and leaves the slot free, unless the net was
// complete before the trouble (only the caller's bytes missing).
#include <tuple>

#include "exports/net_fixture.h"

namespace koru_test {
namespace {

// Where a file is refused: in its header, before any link is rebuilt, or among the links.
enum Stage { kInHeader, kBeforeLinks, kAmongLinks };

class MalformedNetworkFile : public NetTest {
protected:
    // A float32 momentum net of four slabs and four links.
    Bytes BaseFile(uint16_t type = KORU32_NET_BP_MOMENTUM) {
        BuildNet(1, type);
        const Bytes file = Saved(1);
        return Kill(1), file;
    }

    // Weights the next MakeLink draws after seed 5.
    std::vector<float> NextDraws() {
        EXPECT_EQ(All({Net(31, KORU32_NET_BP_PLAIN), Slab(31, 0, 3, 0), Link(31, 0, 1.0f, 0, 0)}), 0);
        const std::vector<float> w = Weights(31, 0, 12);
        Kill(31);
        return w;
    }

    // Restores `file` into slot 30 in fixed-point mode: the code, the slot free
    // again, the mode the file's (float32) once the header was accepted, no
    // descriptor left open and, when refused before any link was rebuilt
    // (rebuilding draws), the random sequence where it was.
    void ExpectRefused(const Bytes& file, int16_t code, int stage, const char* what) {
        SCOPED_TRACE(what);
        WriteWholeFile(Path("bad.bin"), file);
        Seed(5);
        const std::vector<float> draws = NextDraws();
        Math(KORU32_MATH_FIXED);
        Seed(5);
        const int descriptors = OpenDescriptors();
        EXPECT_EQ(Restore(30, Path("bad.bin")), code);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_FALSE(SlotInUse(30));
        EXPECT_EQ(MathModeIsFixed(), stage == kInHeader);
        Math(KORU32_MATH_FLOAT);
        if (stage != kAmongLinks) { EXPECT_EQ(NextDraws(), draws); }
    }
};

TEST_F(MalformedNetworkFile, HeadersThatDoNotDescribeTheArraysAreRefused) {
    const Bytes base = BaseFile();
    Bytes phantom = With16(With16(With16(base, 208 + 4, 2), 272 + 4, 0), 336 + 4, 1);  // link 2, no weights
    Bytes crowded = base;  // eight more links into slab 1, weights and changes included: the ninth is refused
    for (int l = 5; l < 13; ++l) {
        crowded = With32(With16(With16(With16(crowded, 208 + 2 * l, 2), 272 + 2 * l, 0), 336 + 2 * l, 1), 400 + 4 * l, 16);
        crowded.insert(crowded.end(), 2 * 16 * 4, 0);
    }
    struct Case { const char* label; Bytes file; int16_t code; Stage stage; } const cases[] = {
        {"slab table size", With16(base, 0, 31), KORU32_ERR_RESTORE_FILE, kInHeader},
        {"link table size", With16(base, 2, 0), KORU32_ERR_RESTORE_FILE, kInHeader},
        {"neuron count 32768", With16(base, 18, 0x8000), KORU32_ERR_RESTORE_FILE, kInHeader},
        {"status 3", With16(base, 208 + 6, 3), KORU32_ERR_RESTORE_FILE, kInHeader},
        {"slab 0 grown, links 0 and 3 too small", With16(base, 16, 4), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"slab 0 shrunk", With16(base, 16, 2), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"slab 0 of one neuron", With16(base, 16, 1), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"link 1 weight count", With32(base, 400 + 4, 11), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"huge weight count", With32(base, 400 + 4, 0xFFFFFFFF), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"link 2 without weights", phantom, KORU32_ERR_RESTORE_FILE, kAmongLinks},
        {"paradigm 8 for type 2", With16(base, 6, 8), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
        {"net type 12", With16(base, 4, 12), KORU32_ERR_BAD_NET_TYPE, kBeforeLinks},
        {"kind 5", With16(base, 80 + 4, 5), KORU32_ERR_BAD_SLAB_KIND, kBeforeLinks},
        {"transfer 8", With16(base, 144 + 2, 8), KORU32_ERR_BAD_CODE, kBeforeLinks},
        {"source slab 3 not in use", With16(base, 272 + 2, 3), KORU32_ERR_NO_SLAB, kAmongLinks},
        {"dest slab 32", With16(base, 336 + 2, 32), KORU32_ERR_BAD_SLAB_NUMBER, kAmongLinks},
        {"nine links into slab 1", crowded, KORU32_ERR_TOO_MANY_LINKS, kAmongLinks},
        // Counts would go into the hidden slabs, which LVQ nets give none.
        {"LVQ as GRNN", With16(BaseFile(KORU32_NET_LVQ_DISTANCE), 6, 9), KORU32_ERR_RESTORE_FILE, kBeforeLinks},
    };
    for (const Case& c : cases) ExpectRefused(c.file, c.code, c.stage, c.label);
}

// Each kind of file, with six caller bytes, cut at every byte offset.
class TruncatedNetworkFile : public NetTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(TruncatedNetworkFile, EveryCutGives41ClosesTheFileAndKeepsOnlyACompleteNet) {
    const auto type = static_cast<uint16_t>(std::get<0>(GetParam()));
    Math(std::get<1>(GetParam()) ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT);
    BuildNet(1, type);
    const uint8_t mine[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(Save(1, Path("whole.bin"), 6, mine), 0);
    const Bytes whole = ReadWholeFile(Path("whole.bin"));
    const bool fixedFile = U16(whole, 10) == 0;
    const std::string cut = Path("cut.bin");
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteWholeFile(cut, whole, length);
        Math(fixedFile ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED);
        const int descriptors = OpenDescriptors();
        uint8_t back[6] = {};
        ASSERT_EQ(Restore(30, cut, 6, back), KORU32_ERR_RESTORE_FILE);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_EQ(SlotInUse(30), length >= whole.size() - 6);
        if (SlotInUse(30)) { EXPECT_EQ(Saved(30), Bytes(whole.begin(), whole.end() - 6)); Kill(30); }
        EXPECT_EQ(MathModeIsFixed(), length >= 530 ? fixedFile : !fixedFile);  // set once the header is whole
        std::error_code error;
        EXPECT_TRUE(fs::remove(cut, error)) << error.message();  // closed: nothing holds it
    }
}

INSTANTIATE_TEST_SUITE_P(EachKindOfFile, TruncatedNetworkFile,
                         ::testing::Values(std::tuple(1, false), std::tuple(2, false), std::tuple(3, true),
                                           std::tuple(11, true), std::tuple(5, true), std::tuple(4, false),
                                           std::tuple(7, false), std::tuple(10, true), std::tuple(8, false),
                                           std::tuple(9, true)));

}  // namespace
}  // namespace koru_test
