// Nets: making and killing them, the free-slot search, and the process-wide
// settings with the math mode's side effects.
#include <cstdio>
#include <functional>

#include "net_fixture.h"

namespace koru_test {
namespace {

using NetExports = NetTest;

TEST_F(NetExports, MakeNetChecksNumberThenUseThenType) {
    EXPECT_EQ(Net(128, 1), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Net(-1, 1), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Net(-1, 0), KORU32_ERR_BAD_NET_NUMBER);
    ASSERT_EQ(Net(5, 1), KORU32_OK);
    EXPECT_EQ(Net(5, 99), KORU32_ERR_NET_IN_USE);
    for (uint16_t type : {0, 12, 15, 65535}) EXPECT_EQ(Net(6, type), KORU32_ERR_BAD_NET_TYPE) << type;
    for (uint16_t type = 1; type <= 11; ++type) EXPECT_EQ(Net(10 + type, type), KORU32_OK) << type;
    EXPECT_EQ(Kill(6), KORU32_ERR_NET_NOT_IN_USE);  // the refused types left the slot free
}

TEST_F(NetExports, GetNextNetAnswersTheLowestFreeSlotWithoutReservingIt) {
    uint16_t next = 999;
    ASSERT_EQ(GetNextNet(&next), KORU32_OK);
    EXPECT_EQ(next, 0);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Net(1, 4), KORU32_OK);
    ASSERT_EQ(GetNextNet(&next), KORU32_OK);
    EXPECT_EQ(next, 2);
    ASSERT_EQ(GetNextNet(&next), KORU32_OK);
    EXPECT_EQ(next, 2);
    for (int16_t net = 2; net < 128; ++net) ASSERT_EQ(Net(net, 6), KORU32_OK);
    next = 777;
    EXPECT_EQ(GetNextNet(&next), KORU32_ERR_NET_IN_USE);
    EXPECT_EQ(next, 777);  // a failed call writes nothing
    ASSERT_EQ(Kill(64), KORU32_OK);
    ASSERT_EQ(GetNextNet(&next), KORU32_OK);
    EXPECT_EQ(next, 64);
}

TEST_F(NetExports, KillNetReleasesEverythingAndFreesTheSlot) {
    ASSERT_EQ(Net(3, 3), KORU32_OK);
    ASSERT_EQ(Slab(3, 0, 4, 0), KORU32_OK);
    ASSERT_EQ(Slab(3, 1, 3, 1), KORU32_OK);
    ASSERT_EQ(Slab(3, 31, 2, 2), KORU32_OK);
    ASSERT_EQ(Link(3, 0, 0.5f, 0, 1), KORU32_OK);
    ASSERT_EQ(Link(3, 31, 0.5f, 1, 31), KORU32_OK);
    const int16_t net = 3, store = 5, width = 4;
    const uint32_t records = 10;
    ASSERT_EQ(MakeStore(&net, &store, &width, &records), KORU32_OK);
    EXPECT_EQ(Kill(3), KORU32_OK);  // the sanitizer build reports anything not released
    EXPECT_EQ(Kill(3), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(Kill(128), KORU32_ERR_BAD_NET_NUMBER);
    // The slot is as new: the same numbers can be made again.
    ASSERT_EQ(Net(3, 1), KORU32_OK);
    EXPECT_EQ(Slab(3, 0, 4, 0), KORU32_OK);
    EXPECT_EQ(MakeStore(&net, &store, &width, &records), KORU32_OK);
}

TEST_F(NetExports, SetMathChoosesTheFormatOfNetsMadeAfterwardsAndARefusalKeepsIt) {
    EXPECT_EQ(Math(2), KORU32_ERR_BAD_MATH_MODE);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    EXPECT_EQ(Math(7), KORU32_ERR_BAD_MATH_MODE);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FLOAT), KORU32_OK);
    ASSERT_EQ(Net(1, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 1, 0), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 1, 0), KORU32_OK);
    EXPECT_TRUE(HoldsFixedPoint(0, 0));
    EXPECT_FALSE(HoldsFixedPoint(1, 0));
}

// Which calls make the mode that the next MakeNet records: after
// SetMath(FIXED), a call that looks up a slab or a link of a float net loads
// that net's format, RestoreNet loads the file's, and nothing else touches
// the caller's choice.
struct MathModeCase {
    const char* label;
    std::function<int16_t()> call;
    bool stillFixed;
};

int16_t OnFloatNet(int16_t(KORU32_CALL* exportCall)(const int16_t*, const int16_t*, float*), int16_t object) {
    const int16_t net = 1;
    float out[8];
    return exportCall(&net, &object, out);
}

const MathModeCase kMathModeCases[] = {
    {"no call", [] { return int16_t{0}; }, true},
    {"MakeNet of a PNN net", [] { return Net(5, KORU32_NET_PNN_DISTANCE); }, true},
    {"MakeSlab on the float net", [] { return Slab(1, 5, 1, KORU32_SLAB_INPUT); }, true},
    {"KillNet of the float net", [] { return Kill(1); }, true},
    {"GetStore on the float net", [] { const int16_t n = 1, s = 0; const uint32_t r = 0; float v[2];
                                       return GetStore(&n, &s, &r, v); }, true},
    {"SaveNet of the float net", [] { const int16_t n = 1; const int32_t none = 0;
                                      return SaveNet(&n, "math_mode_case.net", &none, nullptr); }, true},
    {"GetSlab on a missing slab (9)", [] { return OnFloatNet(GetSlab, 7) == KORU32_ERR_NO_SLAB ? 0 : -1; }, true},
    {"GetLink on a missing link (15)", [] { return OnFloatNet(GetLink, 7) == KORU32_ERR_NO_LINK ? 0 : -1; }, true},
    {"GetSlab on the float net", [] { return OnFloatNet(GetSlab, 0); }, false},
    {"GetLink on the float net", [] { return OnFloatNet(GetLink, 0); }, false},
    {"BpPropagate on the float net", [] { const int16_t n = 1, s = 1; return BpPropagate(&n, &s); }, false},
    {"CopyToStore from the float net", [] { const int16_t n = 1, st = 0, s = 0; const uint32_t r = 0;
                                            return CopyToStore(&n, &st, &r, &n, &s); }, false},
    {"building a PNN net", [] { return int16_t(Net(5, KORU32_NET_PNN_DISTANCE) | Slab(5, 0, 1, KORU32_SLAB_INPUT) |
                                               Slab(5, 1, 1, KORU32_SLAB_HIDDEN) | Link(5, 0, 0.0f, 0, 1)); }, false},
    {"RestoreNet of a float file", [] { const int16_t n = 6; const int32_t none = 0;
                                        return RestoreNet(&n, "math_mode_float.net", &none, nullptr); }, false},
    {"GetSlab on the float net, then SetMath", [] { return int16_t(OnFloatNet(GetSlab, 0) | Math(1)); }, true},
};

TEST_F(NetExports, OnlySetMathLookupsAndRestoreNetSetTheModeTheNextNetTakes) {
    for (const MathModeCase& c : kMathModeCases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(Math(KORU32_MATH_FLOAT), KORU32_OK);
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(KORU32_NET_BP_PLAIN, 2, 2));  // net 0, saved as the float file
        const int16_t zero = 0, store = 0, width = 2;
        const int32_t none = 0;
        ASSERT_EQ(SaveNet(&zero, "math_mode_float.net", &none, nullptr), KORU32_OK);
        ASSERT_EQ(Kill(0), KORU32_OK);
        const int16_t one = 1;
        const uint32_t records = 1;
        ASSERT_EQ(RestoreNet(&one, "math_mode_float.net", &none, nullptr), KORU32_OK);
        ASSERT_EQ(MakeStore(&one, &store, &width, &records), KORU32_OK);

        ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
        ASSERT_EQ(c.call(), KORU32_OK);
        ASSERT_EQ(Net(3, KORU32_NET_BP_PLAIN), KORU32_OK);
        ASSERT_EQ(Slab(3, 0, 1, KORU32_SLAB_INPUT), KORU32_OK);
        EXPECT_EQ(HoldsFixedPoint(3, 0), c.stillFixed);
        for (int16_t net = 0; net < 8; ++net) KillNet(&net);
    }
    std::remove("math_mode_float.net");
    std::remove("math_mode_case.net");
}

TEST_F(NetExports, ProbabilisticAndRegressionNetsStayFloatInFixedMode) {
    // They compute in floating point only, so their arrays never take 8.24.
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    for (uint16_t type : {6, 7, 8, 9, 10}) {
        ASSERT_EQ(Net(0, type), KORU32_OK);
        ASSERT_EQ(Slab(0, 0, 1, 0), KORU32_OK);
        EXPECT_FALSE(HoldsFixedPoint(0, 0)) << type;
        ASSERT_EQ(Kill(0), KORU32_OK);
    }
}

TEST_F(NetExports, SettingsWithFixedAnswers) {
    const int16_t anything = 123;
    EXPECT_EQ(SetCPU(&anything), KORU32_ERR_NO_CPU_SELECTION);
    EXPECT_EQ(Seed(-1), KORU32_OK);
    EXPECT_EQ(Seed(32767), KORU32_OK);
    EXPECT_EQ(WEP(0), 1);
    EXPECT_EQ(WEP(-5), 1);
}

}  // namespace
}  // namespace koru_test
