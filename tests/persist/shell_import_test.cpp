// LoadShell: a shell file built byte by byte, every weight and change checked
// in place, the variants, conversion to 8.24, the codes in their order, layer
// sizes that cannot be slabs, and a file cut at every byte.
#include "exports/net_fixture.h"

namespace koru_test {
namespace {

// Values of block k, row r (source unit, bias first), destination unit d.
float Weight(int k, int r, int d) { return 0.1f * float(k + 1) + 0.01f * float(r) - 0.003f * float(d); }
float Change(int k, int r, int d) { return -0.001f * float(1 + 10 * k + 3 * r + d); }

// The file as the shell writes it for layers of `units`. `skipped` fills the
// value that leads each row and the pair of destination unit 0, neither of
// which reaches the net.
Bytes BuildShell(std::vector<uint16_t> units, float skipped) {
    Bytes file;
    for (uint16_t u : units) Append32(file, u, 2);
    for (int k = 0; k < 2; ++k) {
        for (int r = 0; r < units[k]; ++r) {
            for (float v : {skipped + float(r), skipped * 2, skipped * 3}) Append32(file, BitsOf(v));
            for (int d = 1; d < units[k + 1]; ++d) Append32(file, BitsOf(Weight(k, r, d))), Append32(file, BitsOf(Change(k, r, d)));
        }
    }
    return file;
}

int16_t Load(int16_t net, const std::string& path) { return LoadShell(&net, path.c_str()); }

// Link k of the file, each value of `value` (Weight or Change) mapped by `map`: rows bias first,
// destination units from 1.
template <typename Map>
std::vector<float> FromFile(int k, float (*value)(int, int, int), Map map) {
    std::vector<float> values;
    for (int r = 0; r < 3; ++r) {
        for (int d = 1; d < 3 - k; ++d) values.push_back(map(value(k, r, d)));
    }
    return values;
}

class ShellImport : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        Bytes file = BuildShell({3, 3, 2}, 500.0f);
        file.insert(file.end(), 13, 0xAB);  // bytes after the second block are not read
        WriteWholeFile(Path("shell.bin"), file);
    }
};

TEST_F(ShellImport, SlabsOfUnitsLessOneAndLinksOfTheirShapeAreMadeLeavingOtherLinksAlone) {
    ASSERT_EQ(All({Net(2, KORU32_NET_BP_MOMENTUM), Slab(2, 3, 4, 1), Link(2, 2, 0.5f, 3, 3)}), 0);
    const std::vector<float> other = Weights(2, 2, 20);
    ASSERT_EQ(Load(2, Path("shell.bin")), 0);
    EXPECT_EQ(Weights(2, 2, 20), other);
    const int16_t net = 2, zero = 0, one = 1, two = 2, three = 3;
    for (int16_t s = 0; s < 3; ++s) {  // 2, 2 and 1 neurons; slab 0 the input slab, without deltas
        const int16_t last = s == 2 ? 1 : 2, beyond = last + 1;
        float value;
        EXPECT_EQ(GetNeuron(&net, &s, &last, &value), 0);
        EXPECT_EQ(GetNeuron(&net, &s, &beyond, &value), KORU32_ERR_BAD_NEURON);
        EXPECT_EQ(GetDelta(&net, &s, &one, &value), s == 0 ? KORU32_ERR_WRONG_PARADIGM : 0);
    }
    float w;  // link 0 is 3 rows (bias, two neurons) by 2, link 1 is 3 by 1
    EXPECT_EQ(GetWeight(&net, &zero, &three, &one, &w), KORU32_ERR_BAD_SOURCE_NEURON);
    EXPECT_EQ(GetWeight(&net, &zero, &zero, &three, &w), KORU32_ERR_BAD_DEST_NEURON);
    EXPECT_EQ(GetWeight(&net, &one, &zero, &two, &w), KORU32_ERR_BAD_DEST_NEURON);
}

// Every variant takes the weights, in the net's own format; only momentum nets take the changes:
// batch keeps the zeros MakeLink left, plain has none, adaptive starts its step sizes at a quarter
// of the width of the last MakeLink (range 0.5).
TEST_F(ShellImport, EveryVariantTakesTheWeightsInItsFormatAndOnlyMomentumTheChanges) {
    ASSERT_EQ(All({Net(5, KORU32_NET_BP_ADAPTIVE), Slab(5, 10, 1, 0), Link(5, 10, 0.5f, 10, 10)}), 0);
    struct Case { const char* label; int16_t net; uint16_t type, mode; int16_t code; bool takes; float left; };
    const Case cases[] = {{"momentum", 2, KORU32_NET_BP_MOMENTUM, KORU32_MATH_FLOAT, 0, true, 0.0f},
                          {"momentum, 8.24", 6, KORU32_NET_BP_MOMENTUM, KORU32_MATH_FIXED, 0, true, 0.0f},
                          {"batch", 3, KORU32_NET_BP_BATCH, KORU32_MATH_FLOAT, 0, false, 0.0f},
                          {"plain", 4, KORU32_NET_BP_PLAIN, KORU32_MATH_FLOAT, KORU32_ERR_WRONG_PARADIGM, false, 0.0f},
                          {"adaptive", 5, 0, KORU32_MATH_FLOAT, 0, false, 0.25f}};
    for (const auto& [label, net, type, mode, code, takes, left] : cases) {
        SCOPED_TRACE(label);
        if (type != 0) { ASSERT_EQ(All({Math(mode), Net(net, type), Math(KORU32_MATH_FLOAT)}), 0); }
        ASSERT_EQ(Load(net, Path("shell.bin")), 0);  // in the net's format, not the current mode's
        const auto as = [fixed = mode == KORU32_MATH_FIXED](float v) { return fixed ? FloatOfFixed(FixedBits(v)) : v; };
        for (int16_t k = 0; k < 2; ++k) {
            const size_t n = k == 0 ? 6 : 3;
            const std::vector<float> changes = Changes(net, k, n, code);
            EXPECT_EQ(Weights(net, k, n), FromFile(k, Weight, as)) << k;
            if (code == 0) { EXPECT_EQ(changes, takes ? FromFile(k, Change, as) : std::vector<float>(n, left)) << k; }
        }
    }
    EXPECT_NE(BitsOf(FloatOfFixed(FixedBits(Weight(0, 1, 1)))), BitsOf(Weight(0, 1, 1)));  // the rounding is seen
}

TEST_F(ShellImport, CodesComeInTheirOrder) {
    // Slab 1, or links 0 or 1, in use: 8 comes before 14, and both before the paradigm's 16.
    ASSERT_EQ(All({Net(8, KORU32_NET_BP_PLAIN), Slab(8, 1, 1, 1), Slab(8, 3, 1, 1), Link(8, 0, 0.5f, 3, 1)}), 0);
    ASSERT_EQ(All({Net(9, KORU32_NET_BP_PLAIN), Slab(9, 3, 1, 1), Slab(9, 4, 1, 1), Link(9, 1, 0.5f, 3, 4)}), 0);
    ASSERT_EQ(All({Net(10, KORU32_NET_PNN_DISTANCE), Slab(10, 2, 1, 1), Net(11, KORU32_NET_LVQ_DOT)}), 0);
    ASSERT_EQ(All({Net(12, KORU32_NET_GRNN_DISTANCE), Net(13, KORU32_NET_BP_PLAIN), Net(14, KORU32_NET_PNN_DISTANCE)}), 0);
    const std::pair<int16_t, int16_t> cases[] = {
        {128, KORU32_ERR_BAD_NET_NUMBER},  {-1, KORU32_ERR_BAD_NET_NUMBER},      {20, KORU32_ERR_NET_NOT_IN_USE},
        {8, KORU32_ERR_SLAB_EXISTS},       {9, KORU32_ERR_LINK_EXISTS},          {10, KORU32_ERR_SLAB_EXISTS},
        {11, KORU32_ERR_WRONG_PARADIGM},   {12, KORU32_ERR_WRONG_PARADIGM},      {14, KORU32_ERR_WRONG_PARADIGM},
        {13, KORU32_ERR_SHELL_FILE}};  // everything free: the file decides
    std::vector<Bytes> before;
    for (int16_t net = 8; net <= 14; ++net) before.push_back(Saved(net));
    for (const auto& [net, code] : cases) EXPECT_EQ(Load(net, Path("missing.bin")), code) << net;
    for (int16_t net = 8; net <= 14; ++net) EXPECT_EQ(Saved(net), before[size_t(net - 8)]) << net;
}

TEST_F(ShellImport, LayersThatCannotBeSlabsAreRefusedBeforeAnythingIsMade) {
    ASSERT_EQ(Net(14, KORU32_NET_BP_MOMENTUM), 0);
    const Bytes empty = Saved(14);
    const std::vector<std::vector<uint16_t>> layouts = {{1, 3, 2}, {3, 0, 2}, {3, 3, 1}, {32769, 3, 2}, {3, 3, 65535}};
    for (const auto& units : layouts) {
        SCOPED_TRACE(testing::Message() << units[0] << " " << units[1] << " " << units[2]);
        Bytes file = BuildShell({3, 3, 2}, 1.0f);  // values enough for 3, 3, 2
        for (size_t k = 0; k < 3; ++k) file = With16(file, 2 * k, units[k]);
        WriteWholeFile(Path("bad.bin"), file);
        EXPECT_EQ(Load(14, Path("bad.bin")), KORU32_ERR_SHELL_FILE);
        EXPECT_EQ(Saved(14), empty);
    }
    // The smallest layers (2 units) and the largest (32768 units, 32767 neurons) load.
    WriteWholeFile(Path("big.bin"), BuildShell({2, 32768, 2}, 0.0f));
    EXPECT_EQ(Load(14, Path("big.bin")), KORU32_OK);
    const int16_t net = 14, slab = 1, last = 32767;
    float value;
    EXPECT_EQ(GetNeuron(&net, &slab, &last, &value), 0);
}

// The file cut at every byte: 25, the file closed, and the net as it was.
TEST_F(ShellImport, EveryCutGives25AndMakesNothing) {
    const Bytes whole = BuildShell({4, 3, 3}, 2.0f);
    ASSERT_EQ(Net(16, KORU32_NET_BP_MOMENTUM), 0);
    const Bytes empty = Saved(16);
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteWholeFile(Path("cut.bin"), whole, length);
        const int descriptors = OpenDescriptors();
        ASSERT_EQ(Load(16, Path("cut.bin")), KORU32_ERR_SHELL_FILE);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ASSERT_EQ(Saved(16), empty);
    }
}

}  // namespace
}  // namespace koru_test
