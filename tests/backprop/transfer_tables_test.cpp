// The seven lookup tables against an independent extended-precision
// computation of their rule, and the interpolated table read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "backprop/transfer_tables.h"

namespace {

using koru::TableLookup;

// trunc(2^24 f(x) + 0.5) at the node x = (i - 256) / 32, in long double
// (64-bit significand): an entry would need its exact value within about
// 1e-12 units of a rounding boundary for this to misjudge it.
TEST(TransferTables, EveryEntryFollowsTheRoundingRule) {
    const struct { const char* name; const int32_t* table; long double (*f)(long double); } tables[] = {
        {"logistic", koru::LogisticTable, [](long double x) { return 1.0L / (1.0L + std::exp(-x)); }},
        {"tanh", koru::TanhTable, [](long double x) { return std::tanh(x); }}, {"tanh15", koru::Tanh15Table, [](long double x) { return std::tanh(1.5L * x); }},
        {"symmetric logistic", koru::SymmetricLogisticTable, [](long double x) { return 2.0L / (1.0L + std::exp(-x)) - 1.0L; }},
        {"sine", koru::SineTable, [](long double x) { return std::sin(x); }}, {"cosine", koru::CosineTable, [](long double x) { return std::cos(x); }},
        {"gaussian", koru::GaussianTable, [](long double x) { return std::exp(-x * x); }},
    };
    for (const auto& t : tables) {
        int wrong = 0;
        for (int i = 0; i < koru::kTableSize; ++i) {
            const auto expected = static_cast<int32_t>(std::trunc(t.f((i - 256) / 32.0L) * 16777216.0L + 0.5L));
            if (t.table[i] != expected && ++wrong <= 5) ADD_FAILURE() << t.name << " entry " << i << ": " << t.table[i] << ", expected " << expected;
        }
        EXPECT_EQ(wrong, 0) << t.name;
    }
}

// The read, from its rule: node index from the arithmetic shift by 19, the
// 7 bits below it as the fraction, clamping outside 0..510, and linear
// interpolation with a 32-bit product shifted arithmetically (toward minus
// infinity on a falling stretch).
TEST(TableLookup, NodesClampingAndInterpolation) {
    const int32_t *tanh = koru::TanhTable, *logistic = koru::LogisticTable, *gaussian = koru::GaussianTable;
    const auto between = [](const int32_t* t, int node, int fraction) {
        return t[node] + static_cast<int32_t>(std::floor((t[node + 1] - t[node]) * fraction / 128.0));
    };
    const struct { const char* label; const int32_t* table; int32_t x, expected; } cases[] = {
        {"node 256 at 0", logistic, 0, logistic[256]}, {"node 320 at 2", gaussian, 2 << 24, gaussian[320]},
        {"node 0 at -8", logistic, -8 << 24, logistic[0]}, {"index -1 clamps to the first entry", tanh, (-8 << 24) - 1, tanh[0]},
        {"most negative word", tanh, INT32_MIN, tanh[0]}, {"node 511 is the last entry", tanh, (511 - 256) << 19, tanh[511]},
        {"past node 511", tanh, ((511 - 256) << 19) + (1 << 18), tanh[511]}, {"most positive word", tanh, INT32_MAX, tanh[511]},
        {"node 510 interpolates toward 511", tanh, ((510 - 256) << 19) + (64 << 12), between(tanh, 510, 64)},
        {"fraction 5, lower bits ignored", tanh, (1 << 19) + (5 << 12) + 0x7FF, between(tanh, 257, 5)},
        {"-1 floors to node 255, fraction 127", logistic, -1, between(logistic, 255, 127)},
        {"falling stretch", gaussian, ((300 - 256) << 19) + (37 << 12), between(gaussian, 300, 37)},
    };
    for (const auto& c : cases) EXPECT_EQ(TableLookup(c.table, c.x), c.expected) << c.label;
}

}  // namespace
