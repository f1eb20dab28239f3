// Nets: making and killing them, the free-slot search, and the process-wide
// settings with the math mode's side effects.
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

TEST_F(NetExports, ASlabLookupLoadsItsNetsFormatAsTheMathMode) {
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 1, 0), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FLOAT), KORU32_OK);
    float value = 0.0f;
    const int16_t net = 0, slab = 0;
    ASSERT_EQ(SetSlab(&net, &slab, &value), KORU32_OK);  // loads net 0's fixed format
    ASSERT_EQ(Net(1, 1), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 1, 0), KORU32_OK);
    EXPECT_TRUE(HoldsFixedPoint(1, 0));
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
    // The lookups above loaded the float format of those nets as the mode.
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(0, 4), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, 1, 0), KORU32_OK);
    EXPECT_TRUE(HoldsFixedPoint(0, 0));
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
