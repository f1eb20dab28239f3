// LoadShell: a shell file built byte by byte, every weight and change checked
// in place, the variants, conversion to 8.24, the codes in their order, layer
// sizes that cannot be slabs, and a file cut at every byte.
#include <gtest/gtest.h>

#include "persist/persist_test_support.h"

namespace koru_test {
namespace {

// Values of block k, row r (source unit, bias first), destination unit d.
float Weight(int k, int r, int d) { return 0.1f * static_cast<float>(k + 1) + 0.01f * static_cast<float>(r) - 0.003f * static_cast<float>(d); }
float Change(int k, int r, int d) { return -0.001f * static_cast<float>(1 + 10 * k + 3 * r + d); }

struct ShellLayout {
    uint16_t units[3];
};

// The file as the shell writes it. `skipped` fills the value that leads each
// row and the pair of destination unit 0, neither of which reaches the net.
Bytes BuildShell(ShellLayout layout, float skipped) {
    Bytes file;
    for (uint16_t u : layout.units) AppendU16(file, u);
    for (int k = 0; k < 2; ++k) {
        for (int r = 0; r < layout.units[k]; ++r) {
            AppendF32(file, skipped + static_cast<float>(r));
            AppendF32(file, skipped * 2);
            AppendF32(file, skipped * 3);
            for (int d = 1; d < layout.units[k + 1]; ++d) {
                AppendF32(file, Weight(k, r, d));
                AppendF32(file, Change(k, r, d));
            }
        }
    }
    return file;
}

class ShellImport : public PersistTest {
protected:
    int16_t Load(int16_t net, const std::string& path) { return LoadShell(&net, path.c_str()); }

    void MakeNetOfType(int16_t net, uint16_t type) { ASSERT_EQ(MakeNet(&net, &type), 0); }

    // Every weight (and change, when `changes` says how) of links 0 and 1
    // against the file's values, each as `expect` maps it.
    template <typename Expect>
    void ExpectLinks(int16_t net, ShellLayout layout, bool changes, Expect expect) {
        for (int16_t k = 0; k < 2; ++k) {
            for (int16_t r = 0; r < layout.units[k]; ++r) {
                for (int16_t d = 1; d < layout.units[k + 1]; ++d) {
                    float w = 0, c = 0;
                    ASSERT_EQ(GetWeight(&net, &k, &r, &d, &w), 0);
                    EXPECT_EQ(BitsOf(w), BitsOf(expect(Weight(k, r, d)))) << k << " " << r << " " << d;
                    if (!changes) continue;
                    ASSERT_EQ(GetChange(&net, &k, &r, &d, &c), 0);
                    EXPECT_EQ(BitsOf(c), BitsOf(expect(Change(k, r, d)))) << k << " " << r << " " << d;
                }
            }
        }
    }

    bool HasSlab(int16_t net, int16_t slab) {
        const int16_t neuron = 1;
        float value;
        return GetNeuron(&net, &slab, &neuron, &value) == 0;
    }
    bool HasLink(int16_t net, int16_t link) {
        const int16_t zero = 0, one = 1;
        float value;
        return GetWeight(&net, &link, &zero, &one, &value) == 0;
    }
};

constexpr ShellLayout kExample{{3, 3, 2}};

TEST_F(ShellImport, ExampleFileIs150BytesAndEveryWeightAndChangeLandsInPlace) {
    const Bytes file = BuildShell(kExample, 500.0f);
    ASSERT_EQ(file.size(), 150u);
    WriteWholeFile(Path("shell.bin"), file);
    SetMathMode(false);
    MakeNetOfType(2, KORU32_NET_BP_MOMENTUM);
    ASSERT_EQ(Load(2, Path("shell.bin")), 0);

    // Slabs of L - 1 neurons: 2, 2 and 1.
    const int16_t net = 2;
    const int16_t neurons[3] = {2, 2, 1};
    for (int16_t s = 0; s < 3; ++s) {
        float value;
        const int16_t last = neurons[s], beyond = static_cast<int16_t>(last + 1);
        EXPECT_EQ(GetNeuron(&net, &s, &last, &value), 0);
        EXPECT_EQ(GetNeuron(&net, &s, &beyond, &value), KORU32_ERR_BAD_NEURON);
    }
    // Slab 0 is the input slab (no deltas); 1 and 2 have them.
    const int16_t zero = 0, one = 1, two = 2;
    float delta;
    EXPECT_EQ(GetDelta(&net, &zero, &one, &delta), KORU32_ERR_WRONG_PARADIGM);
    EXPECT_EQ(GetDelta(&net, &one, &one, &delta), 0);
    EXPECT_EQ(GetDelta(&net, &two, &one, &delta), 0);

    ExpectLinks(2, kExample, true, [](float v) { return v; });
    // Link 0 is 3 rows (bias, two neurons) by 2; link 1 is 3 by 1.
    const int16_t three = 3;
    float w;
    EXPECT_EQ(GetWeight(&net, &zero, &three, &one, &w), KORU32_ERR_BAD_SOURCE_NEURON);
    EXPECT_EQ(GetWeight(&net, &zero, &zero, &three, &w), KORU32_ERR_BAD_DEST_NEURON);
    EXPECT_EQ(GetWeight(&net, &one, &zero, &two, &w), KORU32_ERR_BAD_DEST_NEURON);
    // In element order: link 1 is the bias weight then one per hidden neuron.
    float link1[3];
    ASSERT_EQ(GetLink(&net, &one, link1), 0);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(BitsOf(link1[r]), BitsOf(Weight(1, r, 1)));
}

TEST_F(ShellImport, ChangesLandOnlyInMomentumNets) {
    WriteWholeFile(Path("shell.bin"), BuildShell(kExample, 1.0f));
    SetMathMode(false);
    // Batch: the changes stay as MakeLink's set-up left them, 0.
    MakeNetOfType(3, KORU32_NET_BP_BATCH);
    ASSERT_EQ(Load(3, Path("shell.bin")), 0);
    ExpectLinks(3, kExample, false, [](float v) { return v; });
    const int16_t three = 3, link0 = 0;
    float changes[6];
    ASSERT_EQ(GetLinkChanges(&three, &link0, changes), 0);
    for (float c : changes) EXPECT_EQ(BitsOf(c), 0u);

    // Plain: no changes at all.
    MakeNetOfType(4, KORU32_NET_BP_PLAIN);
    ASSERT_EQ(Load(4, Path("shell.bin")), 0);
    ExpectLinks(4, kExample, false, [](float v) { return v; });
    const int16_t four = 4;
    EXPECT_EQ(GetLinkChanges(&four, &link0, changes), KORU32_ERR_WRONG_PARADIGM);

    // Adaptive: step sizes of a quarter of the weight range the last
    // MakeLink left (range 0.5, so a width of 1.0).
    MakeNetOfType(5, KORU32_NET_BP_ADAPTIVE);
    const int16_t five = 5, slab = 10, neurons = 1, kind = 0;
    const float range = 0.5f;
    ASSERT_EQ(MakeSlab(&five, &slab, &neurons, &kind), 0);
    ASSERT_EQ(MakeLink(&five, &slab, &range, &slab, &slab), 0);  // link 10 on slab 10
    ASSERT_EQ(Load(5, Path("shell.bin")), 0);
    ExpectLinks(5, kExample, false, [](float v) { return v; });
    ASSERT_EQ(GetLinkChanges(&five, &link0, changes), 0);
    for (float c : changes) EXPECT_EQ(c, 0.25f);
}

// The weight range is process-wide: a restore rebuilds each link as MakeLink
// would, with range 0, so the shell import after it starts the adaptive
// rule's step sizes at 0; a restored net without links leaves the range be.
TEST_F(ShellImport, AdaptiveStepSizesFollowTheRangeARestoreLeaves) {
    WriteWholeFile(Path("shell.bin"), BuildShell(kExample, 1.0f));
    SetMathMode(false);
    const int16_t source = 0, dest = 1, link = 0, neurons = 2, input = 0, output = 2;
    const float range = 0.5f;
    struct Case {
        const char* label;
        bool savedWithLink;
        float stepSize;
    };
    for (const Case& c : {Case{"net without links", false, 0.25f}, Case{"net with a link", true, 0.0f}}) {
        SCOPED_TRACE(c.label);
        const int16_t saved = 0, restored = 1, shell = 2, scratch = 3;
        MakeNetOfType(saved, KORU32_NET_BP_PLAIN);
        ASSERT_EQ(MakeSlab(&saved, &source, &neurons, &input), 0);
        ASSERT_EQ(MakeSlab(&saved, &dest, &neurons, &output), 0);
        if (c.savedWithLink) {
            ASSERT_EQ(MakeLink(&saved, &link, &range, &source, &dest), 0);
        }
        ASSERT_EQ(Save(saved, Path("saved.net")), 0);
        // The range the shell import would draw with is set here, afterwards.
        MakeNetOfType(scratch, KORU32_NET_BP_PLAIN);
        ASSERT_EQ(MakeSlab(&scratch, &source, &neurons, &input), 0);
        ASSERT_EQ(MakeLink(&scratch, &link, &range, &source, &source), 0);
        ASSERT_EQ(Restore(restored, Path("saved.net")), 0);
        MakeNetOfType(shell, KORU32_NET_BP_ADAPTIVE);
        ASSERT_EQ(Load(shell, Path("shell.bin")), 0);
        float changes[6];
        ASSERT_EQ(GetLinkChanges(&shell, &link, changes), 0);
        for (float step : changes) EXPECT_EQ(step, c.stepSize);
        for (int16_t net : {saved, restored, shell, scratch}) ASSERT_EQ(KillNet(&net), 0);
    }
}

TEST_F(ShellImport, FixedPointNetReceivesEveryValueRoundedTo824) {
    WriteWholeFile(Path("shell.bin"), BuildShell(kExample, 1.0f));
    SetMathMode(true);
    MakeNetOfType(6, KORU32_NET_BP_MOMENTUM);
    // The arrays take the net's own format, not a mode set since.
    SetMathMode(false);
    ASSERT_EQ(Load(6, Path("shell.bin")), 0);
    ExpectLinks(6, kExample, true, [](float v) { return FloatOfFixed(FixedBits(v)); });
    // Most of the values chosen are not exact in 8.24, so the rounding is seen.
    int inexact = 0;
    for (int r = 0; r < 3; ++r) {
        for (int d = 1; d < 3; ++d) {
            inexact += BitsOf(FloatOfFixed(FixedBits(Weight(0, r, d)))) != BitsOf(Weight(0, r, d));
            inexact += BitsOf(FloatOfFixed(FixedBits(Change(0, r, d)))) != BitsOf(Change(0, r, d));
        }
    }
    EXPECT_GE(inexact, 6);
}

TEST_F(ShellImport, OtherSlabsAndLinksAndBytesAfterTheSecondBlockAreLeftAlone) {
    Bytes file = BuildShell(kExample, 1.0f);
    file.insert(file.end(), 13, 0xAB);
    WriteWholeFile(Path("shell.bin"), file);
    SetMathMode(false);
    MakeNetOfType(7, KORU32_NET_BP_MOMENTUM);
    const int16_t net = 7, slab3 = 3, link2 = 2, neurons = 4, kind = 1;
    const float range = 0.5f;
    ASSERT_EQ(MakeSlab(&net, &slab3, &neurons, &kind), 0);
    ASSERT_EQ(MakeLink(&net, &link2, &range, &slab3, &slab3), 0);
    float before[20], after[20];
    ASSERT_EQ(GetLink(&net, &link2, before), 0);
    ASSERT_EQ(Load(7, Path("shell.bin")), 0);
    ASSERT_EQ(GetLink(&net, &link2, after), 0);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
    ExpectLinks(7, kExample, true, [](float v) { return v; });
}

TEST_F(ShellImport, CodesComeInTheirOrder) {
    const std::string missing = Path("missing.bin");
    EXPECT_EQ(Load(128, missing), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Load(-1, missing), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Load(8, missing), KORU32_ERR_NET_NOT_IN_USE);

    const float range = 0.5f;
    const int16_t one = 1, kind = 1;
    // Slab 1 in use, and link 0 into it: 8 comes before 14.
    MakeNetOfType(8, KORU32_NET_BP_PLAIN);
    const int16_t n8 = 8, s1 = 1, s3 = 3, link0 = 0, link1 = 1;
    ASSERT_EQ(MakeSlab(&n8, &s1, &one, &kind), 0);
    ASSERT_EQ(MakeSlab(&n8, &s3, &one, &kind), 0);
    ASSERT_EQ(MakeLink(&n8, &link0, &range, &s3, &s1), 0);
    EXPECT_EQ(Load(8, missing), KORU32_ERR_SLAB_EXISTS);
    // Links 0 or 1 in use between other slabs: 14.
    MakeNetOfType(9, KORU32_NET_BP_PLAIN);
    const int16_t n9 = 9, s4 = 4;
    ASSERT_EQ(MakeSlab(&n9, &s3, &one, &kind), 0);
    ASSERT_EQ(MakeSlab(&n9, &s4, &one, &kind), 0);
    ASSERT_EQ(MakeLink(&n9, &link1, &range, &s3, &s4), 0);
    EXPECT_EQ(Load(9, missing), KORU32_ERR_LINK_EXISTS);
    // A net of another paradigm: 8 still comes first, then 16 before the file.
    MakeNetOfType(10, KORU32_NET_PNN_DISTANCE);
    EXPECT_EQ(Load(10, missing), KORU32_ERR_WRONG_PARADIGM);
    const int16_t n10 = 10, s2 = 2;
    ASSERT_EQ(MakeSlab(&n10, &s2, &one, &kind), 0);
    EXPECT_EQ(Load(10, missing), KORU32_ERR_SLAB_EXISTS);
    MakeNetOfType(11, KORU32_NET_LVQ_DOT);
    EXPECT_EQ(Load(11, missing), KORU32_ERR_WRONG_PARADIGM);
    MakeNetOfType(12, KORU32_NET_GRNN_DISTANCE);
    EXPECT_EQ(Load(12, missing), KORU32_ERR_WRONG_PARADIGM);
    // A backpropagation net with everything free: the file decides.
    MakeNetOfType(13, KORU32_NET_BP_PLAIN);
    EXPECT_EQ(Load(13, missing), KORU32_ERR_SHELL_FILE);
    EXPECT_FALSE(HasSlab(13, 0));
}

TEST_F(ShellImport, LayersThatCannotBeSlabsAreRefusedBeforeAnythingIsMade) {
    SetMathMode(false);
    MakeNetOfType(14, KORU32_NET_BP_MOMENTUM);
    const int descriptors = OpenDescriptors();
    for (const ShellLayout layout :
         {ShellLayout{{1, 3, 2}}, ShellLayout{{3, 0, 2}}, ShellLayout{{3, 3, 1}}, ShellLayout{{32769, 3, 2}},
          ShellLayout{{3, 3, 65535}}}) {
        SCOPED_TRACE(std::to_string(layout.units[0]) + " " + std::to_string(layout.units[1]) + " " +
                     std::to_string(layout.units[2]));
        // The header is followed by a full file's worth of values for 3, 3, 2.
        Bytes file = BuildShell(kExample, 1.0f);
        for (int k = 0; k < 3; ++k) SetU16(file, 2 * static_cast<size_t>(k), layout.units[k]);
        WriteWholeFile(Path("bad.bin"), file);
        EXPECT_EQ(Load(14, Path("bad.bin")), KORU32_ERR_SHELL_FILE);
        EXPECT_FALSE(HasSlab(14, 0) || HasSlab(14, 1) || HasSlab(14, 2));
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
    // 32768 units is the largest layer: 32767 neurons. The file is complete
    // (all values zero), so it loads.
    Bytes big;
    AppendU16(big, 2);
    AppendU16(big, 32768);
    AppendU16(big, 2);
    big.resize(6 + 2 * (4 + 8 * 32768) + 32768 * (4 + 8 * 2), 0);
    WriteWholeFile(Path("big.bin"), big);
    EXPECT_EQ(Load(14, Path("big.bin")), KORU32_OK);
    const int16_t net = 14, slab1 = 1, last = 32767;
    float value;
    EXPECT_EQ(GetNeuron(&net, &slab1, &last, &value), 0);
}

// The file cut at every byte: 25, the file closed, and nothing made, since
// the file is too short for what its header announces.
TEST_F(ShellImport, EveryCutGives25AndMakesNothing) {
    const ShellLayout layout{{4, 3, 3}};
    const Bytes whole = BuildShell(layout, 2.0f);
    ASSERT_EQ(whole.size(), 6u + 4 * 28 + 3 * 28);
    SetMathMode(false);
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteWholeFile(Path("cut.bin"), whole, length);
        MakeNetOfType(16, KORU32_NET_BP_MOMENTUM);
        const int descriptors = OpenDescriptors();
        ASSERT_EQ(Load(16, Path("cut.bin")), KORU32_ERR_SHELL_FILE);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        for (int16_t s = 0; s < 3; ++s) EXPECT_FALSE(HasSlab(16, s)) << s;
        for (int16_t l = 0; l < 2; ++l) EXPECT_FALSE(HasLink(16, l)) << l;
        std::error_code error;
        EXPECT_TRUE(fs::remove(Path("cut.bin"), error));
        const int16_t net = 16;
        ASSERT_EQ(KillNet(&net), 0);
    }
}

}  // namespace
}  // namespace koru_test
