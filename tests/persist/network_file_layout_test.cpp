// The network file's bytes: the momentum net of three slabs and two links
// that gives the 634-byte file, in float32 and in 8.24; the codes of SaveNet
// and RestoreNet in their order, each refusal leaving files, slots and mode alone.
#include "exports/net_fixture.h"

namespace koru_test {
namespace {

// Link 0 from slab 0 (2 neurons) to slab 1 (3), bias row first; link 1 from slab 1 to slab 2 (1).
constexpr float kWeights0[9] = {0.5f, -1.5f, 0.25f, 2.0f, -0.125f, 1.0f, 0.1f, -0.3f, 3.75f};
constexpr float kChanges0[9] = {0.01f, -0.02f, 0.03f, -0.04f, 0.05f, -0.06f, 0.07f, -0.08f, 0.09f};
constexpr float kWeights1[4] = {-2.5f, 0.75f, -0.7f, 1.25f};
constexpr float kChanges1[4] = {0.0625f, -0.5f, 0.2f, -0.001f};

class NetworkFileLayout : public NetTest {
protected:
    void BuildExample(int16_t net) {
        ASSERT_EQ(Net(net, KORU32_NET_BP_MOMENTUM), 0);
        const int16_t neurons[3] = {2, 3, 1}, transfers[3] = {0, 2, 6}, link0 = 0, link1 = 1;
        for (int16_t s = 0; s < 3; ++s) ASSERT_EQ(All({Slab(net, s, neurons[s], s), Transfer(&net, &s, &transfers[s])}), 0);
        ASSERT_EQ(All({Link(net, 0, 1.0f, 0, 1), Link(net, 1, 1.0f, 1, 2)}), 0);
        ASSERT_EQ(All({PutLink(&net, &link0, kWeights0), PutLinkChanges(&net, &link0, kChanges0)}), 0);
        ASSERT_EQ(All({PutLink(&net, &link1, kWeights1), PutLinkChanges(&net, &link1, kChanges1)}), 0);
    }
    // The example's file as the element rule `element` encodes the arrays.
    template <typename Encode>
    Bytes ExampleFile(uint16_t format, Encode element) {
        Bytes file(530, 0);
        const std::pair<size_t, uint16_t> fields[] = {
            {0, 32}, {2, 32}, {4, 2}, {6, 1}, {8, 2}, {10, format}, {12, 2}, {14, 3},  // sizes, type, counts
            {16, 2}, {18, 3}, {20, 1}, {80, 0}, {82, 1}, {84, 2}, {144, 0}, {146, 2}, {148, 6},  // slabs
            {208, 2}, {210, 2}, {272, 0}, {274, 1}, {336, 1}, {338, 2}, {400, 9}, {404, 4}};   // links
        for (const auto& [at, value] : fields) file = With16(file, at, value);
        for (const float* array : {kWeights0, kChanges0}) for (int i = 0; i < 9; ++i) Append32(file, element(array[i]));
        for (const float* array : {kWeights1, kChanges1}) for (int i = 0; i < 4; ++i) Append32(file, element(array[i]));
        return file;
    }
};

TEST_F(NetworkFileLayout, MomentumExampleIs634BytesInFloat32AndIn824) {
    BuildExample(3);
    EXPECT_EQ(Saved(3), ExampleFile(3, [](float v) { return BitsOf(v); }));
    Math(KORU32_MATH_FIXED);
    BuildExample(4);
    EXPECT_EQ(Saved(4), ExampleFile(0, [](float v) { return FixedBits(v); }));
}

TEST_F(NetworkFileLayout, CodesComeInTheirOrderAndARefusalLeavesFilesSlotsAndModeAlone) {
    BuildExample(3);
    ASSERT_EQ(Save(3, Path("net.bin")), 0);
    const Bytes kept = ReadWholeFile(Path("net.bin"));
    const std::string missing = Path("missing.bin"), net = Path("net.bin");
    uint8_t back[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    Math(KORU32_MATH_FIXED);  // the float file would set float
    struct Case { const char* label; int16_t code, expected; } const cases[] = {
        {"save 128", Save(128, missing), KORU32_ERR_BAD_NET_NUMBER}, {"save -1", Save(-1, missing), KORU32_ERR_BAD_NET_NUMBER},
        {"save free net", Save(4, missing, -1), KORU32_ERR_NET_NOT_IN_USE},  // number checks before the length
        {"save onto a directory", Save(3, dir_.string()), KORU32_ERR_SAVE_FILE},
        {"save into a missing directory", Save(3, Path("missing/net.bin")), KORU32_ERR_SAVE_FILE},
        {"save, length -1", Save(3, net, -1, back), KORU32_ERR_SAVE_FILE},
        {"save, length INT32_MIN, new file", Save(3, missing, INT32_MIN), KORU32_ERR_SAVE_FILE},
        {"restore 128", Restore(128, missing), KORU32_ERR_BAD_NET_NUMBER}, {"restore -3", Restore(-3, missing), KORU32_ERR_BAD_NET_NUMBER},
        {"restore into a used slot", Restore(3, missing, -1), KORU32_ERR_NET_IN_USE},
        {"restore a missing file", Restore(4, missing), KORU32_ERR_RESTORE_FILE},
        {"restore, length -100000", Restore(4, net, -100000, back), KORU32_ERR_RESTORE_FILE}};
    for (const Case& c : cases) EXPECT_EQ(c.code, c.expected) << c.label;
    EXPECT_FALSE(fs::exists(missing) || SlotInUse(4));
    EXPECT_EQ(Bytes(back, back + 4), Bytes(4, 0xEE));
    EXPECT_TRUE(MathModeIsFixed());
    EXPECT_EQ(ReadWholeFile(net), kept);
}

}  // namespace
}  // namespace koru_test
