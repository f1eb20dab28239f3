// Pattern stores: codes in their order, records in both formats, copies to
// and from slabs of any net, and stores of more than 65535 records.
#include "net_fixture.h"

namespace koru_test {
namespace {

using StoreExports = NetTest;

int16_t Store(int16_t net, int16_t store, int16_t width, uint32_t records) {
    return MakeStore(&net, &store, &width, &records);
}
int16_t Put(int16_t net, int16_t store, uint32_t record, const std::vector<float>& values) {
    return PutStore(&net, &store, &record, values.data());
}
std::vector<float> Get(int16_t net, int16_t store, uint32_t record, size_t width) {
    std::vector<float> values(width, -999.0f);
    EXPECT_EQ(GetStore(&net, &store, &record, values.data()), KORU32_OK);
    return values;
}

TEST_F(StoreExports, MakeStoreChecksInItsOrder) {
    EXPECT_EQ(Store(128, 6, 0, 0), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(Store(0, 6, 0, 0), KORU32_ERR_BAD_STORE_NUMBER);
    EXPECT_EQ(Store(0, -1, 0, 0), KORU32_ERR_BAD_STORE_NUMBER);
    EXPECT_EQ(Store(0, 0, 0, 0), KORU32_ERR_NET_NOT_IN_USE);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    EXPECT_EQ(Store(0, 0, 0, 0), KORU32_ERR_BAD_RECORD_COUNT);
    EXPECT_EQ(Store(0, 0, 0, 10), KORU32_ERR_BAD_SIZE);
    EXPECT_EQ(Store(0, 0, -3, 10), KORU32_ERR_BAD_SIZE);
    ASSERT_EQ(Store(0, 0, 4, 10), KORU32_OK);
    ASSERT_EQ(Put(0, 0, 3, {1, 2, 3, 4}), KORU32_OK);
    EXPECT_EQ(Store(0, 0, 4, 0), KORU32_ERR_BAD_RECORD_COUNT);
    EXPECT_EQ(Store(0, 0, 2, 5), KORU32_ERR_STORE_EXISTS);
    EXPECT_EQ(Get(0, 0, 3, 4), (std::vector<float>{1, 2, 3, 4}));  // untouched by the refusals
}

TEST_F(StoreExports, RecordsAreNumberedBelowTheCountAndKeepTheirValuesInBothFormats) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Store(0, 0, 4, 10), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Store(0, 1, 4, 10), KORU32_OK);
    for (int16_t store : {0, 1}) {
        ASSERT_EQ(Put(0, store, 2, {1, 2, 3, 4}), KORU32_OK);
        ASSERT_EQ(Put(0, store, 9, {-1, 0.5f, 0, 8}), KORU32_OK);
        EXPECT_EQ(Get(0, store, 2, 4), (std::vector<float>{1, 2, 3, 4})) << store;
        EXPECT_EQ(Get(0, store, 9, 4)[1], 0.5f) << store;
        EXPECT_EQ(Put(0, store, 10, {0, 0, 0, 0}), KORU32_ERR_BAD_RECORD);
        float out[4] = {7, 7, 7, 7};
        const int16_t net = 0;
        const uint32_t past = 10;
        EXPECT_EQ(GetStore(&net, &store, &past, out), KORU32_ERR_BAD_RECORD);
        EXPECT_EQ(out[0], 7.0f);
    }
    // Record 3 of the 8.24 store holds -1.0 written as -16777215 units.
    EXPECT_EQ(Get(0, 1, 9, 4)[0], -0.99999994f);
    EXPECT_EQ(Get(0, 1, 2, 4), Get(0, 0, 2, 4));
}

TEST_F(StoreExports, AStoreTakesTheModeCurrentWhenItIsMade) {
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FLOAT), KORU32_OK);
    ASSERT_EQ(Store(0, 0, 1, 1), KORU32_OK);
    ASSERT_EQ(Put(0, 0, 0, {0.1f}), KORU32_OK);
    EXPECT_EQ(Get(0, 0, 0, 1)[0], 0.1f);  // float32, though the net is 8.24
}

TEST_F(StoreExports, CopiesBetweenSlabsAndRecordsMoveTheSmallerWidth) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK);
    ASSERT_EQ(Net(1, 4), KORU32_OK);
    ASSERT_EQ(Slab(1, 3, 6, 0), KORU32_OK);
    ASSERT_EQ(Store(0, 2, 4, 3), KORU32_OK);  // 8.24, in a float net
    ASSERT_EQ(Put(0, 2, 1, {9, 9, 9, 9}), KORU32_OK);
    SetValues(1, 3, {1, 2, 3, 4, 5, 6});
    const int16_t storeNet = 0, store = 2, slabNet = 1, slab = 3;
    const uint32_t record = 1;
    ASSERT_EQ(CopyToStore(&storeNet, &store, &record, &slabNet, &slab), KORU32_OK);
    EXPECT_EQ(Get(0, 2, 1, 4), (std::vector<float>{1, 2, 3, 4}));
    ASSERT_EQ(Put(0, 2, 1, {-1, -2, -3, -4}), KORU32_OK);
    ASSERT_EQ(CopyFromStore(&storeNet, &store, &record, &slabNet, &slab), KORU32_OK);
    // Negative values written in 8.24 come back one unit toward zero.
    const auto fixed = [](double v) { return static_cast<float>(static_cast<int32_t>(v * 16777216.0 + 0.5) / 16777216.0); };
    EXPECT_EQ(Values(1, 3, 6), (std::vector<float>{fixed(-1), fixed(-2), fixed(-3), fixed(-4), 5, 6}));
    EXPECT_NE(fixed(-1), -1.0f);
    const uint32_t past = 3;
    EXPECT_EQ(CopyToStore(&storeNet, &store, &past, &slabNet, &slab), KORU32_ERR_BAD_RECORD);
    EXPECT_EQ(CopyFromStore(&storeNet, &store, &past, &slabNet, &slab), KORU32_ERR_BAD_RECORD);
}

TEST_F(StoreExports, CopiesLookUpTheSlabBeforeTheStore) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    const int16_t net = 0, missingStore = 4, missingSlab = 4, badStore = 6, badNet = -1;
    const uint32_t record = 0;
    EXPECT_EQ(CopyToStore(&net, &missingStore, &record, &net, &missingSlab), KORU32_ERR_NO_SLAB);
    EXPECT_EQ(CopyFromStore(&badNet, &badStore, &record, &net, &missingSlab), KORU32_ERR_NO_SLAB);
    ASSERT_EQ(Slab(0, 4, 2, 0), KORU32_OK);
    EXPECT_EQ(CopyToStore(&net, &badStore, &record, &net, &missingSlab), KORU32_ERR_BAD_STORE_NUMBER);
    EXPECT_EQ(CopyToStore(&net, &missingStore, &record, &net, &missingSlab), KORU32_ERR_NO_STORE);
}

TEST_F(StoreExports, KilledStoresAreGone) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Store(0, 5, 2, 2), KORU32_OK);
    const int16_t net = 0, store = 5;
    ASSERT_EQ(KillStore(&net, &store), KORU32_OK);
    float out[2];
    const uint32_t record = 0;
    EXPECT_EQ(GetStore(&net, &store, &record, out), KORU32_ERR_NO_STORE);
    EXPECT_EQ(KillStore(&net, &store), KORU32_ERR_NO_STORE);
    EXPECT_EQ(Store(0, 5, 2, 2), KORU32_OK);
}

TEST_F(StoreExports, HoldsMoreThan65535RecordsAndRefusesOnlyUnaddressableSizes) {
    ASSERT_EQ(Net(0, 1), KORU32_OK);
    ASSERT_EQ(Store(0, 0, 3, 70000), KORU32_OK);
    ASSERT_EQ(Put(0, 0, 69999, {1, 2, 3}), KORU32_OK);
    ASSERT_EQ(Put(0, 0, 65536, {4, 5, 6}), KORU32_OK);
    EXPECT_EQ(Get(0, 0, 69999, 3), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(Get(0, 0, 65536, 3), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(Get(0, 0, 0, 3), (std::vector<float>{0, 0, 0}));  // records start at zero
    EXPECT_EQ(Put(0, 0, 70000, {0, 0, 0}), KORU32_ERR_BAD_RECORD);
    // 2 x 4294967295 elements cannot be numbered with 32 bits.
    EXPECT_EQ(Store(0, 1, 2, 0xFFFFFFFFu), KORU32_ERR_BAD_RECORD_COUNT);
    EXPECT_EQ(Store(0, 1, 1, 1), KORU32_OK);  // the refusal left the store free
}

}  // namespace
}  // namespace koru_test
