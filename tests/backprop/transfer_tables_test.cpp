// The seven lookup tables against an independent extended-precision
// computation of their rule, and the interpolated table read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "backprop/transfer_tables.h"

namespace {

using koru::kTableSize;
using koru::TableLookup;

// trunc(2^24 f(x) + 0.5), in long double (64-bit significand): an entry
// would need its exact value within about 1e-12 units of a rounding
// boundary for this to misjudge it.
int32_t Entry(long double f) { return static_cast<int32_t>(std::trunc(f * 16777216.0L + 0.5L)); }

long double Node(int i) { return static_cast<long double>(i - 256) / 32.0L; }

struct TableCase {
    const char* name;
    const int32_t* table;
    long double (*f)(long double);
};

const TableCase kTables[] = {
    {"logistic", koru::LogisticTable, [](long double x) { return 1.0L / (1.0L + std::exp(-x)); }},
    {"tanh", koru::TanhTable, [](long double x) { return std::tanh(x); }},
    {"tanh15", koru::Tanh15Table, [](long double x) { return std::tanh(1.5L * x); }},
    {"symmetric logistic", koru::SymmetricLogisticTable,
     [](long double x) { return 2.0L / (1.0L + std::exp(-x)) - 1.0L; }},
    {"sine", koru::SineTable, [](long double x) { return std::sin(x); }},
    {"cosine", koru::CosineTable, [](long double x) { return std::cos(x); }},
    {"gaussian", koru::GaussianTable, [](long double x) { return std::exp(-x * x); }},
};

TEST(TransferTables, EveryEntryFollowsTheRoundingRule) {
    for (const TableCase& c : kTables) {
        int wrong = 0;
        for (int i = 0; i < kTableSize; ++i) {
            const int32_t expected = Entry(c.f(Node(i)));
            if (c.table[i] != expected && ++wrong <= 5) {
                ADD_FAILURE() << c.name << " entry " << i << ": " << c.table[i] << ", expected " << expected;
            }
        }
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

// The read, from its rule: node index from the arithmetic shift by 19, the
// 7 bits below it as the fraction, clamping outside 0..510, and linear
// interpolation with a 32-bit product shifted arithmetically.
TEST(TableLookup, ReadsNodesExactly) {
    EXPECT_EQ(TableLookup(koru::LogisticTable, 0), koru::LogisticTable[256]);
    EXPECT_EQ(TableLookup(koru::GaussianTable, 2 << 24), koru::GaussianTable[320]);
    EXPECT_EQ(TableLookup(koru::LogisticTable, -8 << 24), koru::LogisticTable[0]);  // index 0
}

TEST(TableLookup, ClampsOutsideTheTable) {
    // Just below -8.0 the index is -1: the first entry, not interpolated.
    EXPECT_EQ(TableLookup(koru::TanhTable, (-8 << 24) - 1), koru::TanhTable[0]);
    EXPECT_EQ(TableLookup(koru::TanhTable, INT32_MIN), koru::TanhTable[0]);
    // 7.96875 is node 511: the last entry; so is everything above it.
    const int32_t last = (511 - 256) << 19;
    EXPECT_EQ(TableLookup(koru::TanhTable, last), koru::TanhTable[511]);
    EXPECT_EQ(TableLookup(koru::TanhTable, last + (1 << 18)), koru::TanhTable[511]);
    EXPECT_EQ(TableLookup(koru::TanhTable, INT32_MAX), koru::TanhTable[511]);
    // Node 510 still interpolates toward 511.
    const int32_t t510 = koru::TanhTable[510], t511 = koru::TanhTable[511];
    EXPECT_EQ(TableLookup(koru::TanhTable, ((510 - 256) << 19) + (64 << 12)), t510 + (((t511 - t510) * 64) >> 7));
}

TEST(TableLookup, InterpolatesInsideAStep) {
    // x = 1/32 + 5/4096 + a few bits below the fraction: node 257, fraction 5.
    const int32_t x = (1 << 19) + (5 << 12) + 0x7FF;
    const int32_t a = koru::TanhTable[257], b = koru::TanhTable[258];
    EXPECT_EQ(TableLookup(koru::TanhTable, x), a + (((b - a) * 5) >> 7));

    // x = -1 (one unit below 0): the shift floors to node 255, fraction 127.
    const int32_t l = koru::LogisticTable[255], r = koru::LogisticTable[256];
    EXPECT_EQ(TableLookup(koru::LogisticTable, -1), l + (((r - l) * 127) >> 7));

    // A falling stretch: the negative product is shifted arithmetically
    // (toward minus infinity), e.g. the gaussian right of 0.
    const int32_t g0 = koru::GaussianTable[300], g1 = koru::GaussianTable[301];
    ASSERT_LT(g1, g0);
    const int32_t expected = g0 + static_cast<int32_t>(std::floor((g1 - g0) * 37 / 128.0));
    EXPECT_EQ(TableLookup(koru::GaussianTable, ((300 - 256) << 19) + (37 << 12)), expected);
}

}  // namespace
