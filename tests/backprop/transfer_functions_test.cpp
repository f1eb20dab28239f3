// The transfer functions and their derivative forms, float and 8.24, against
// independent references: the derivative tables transcribed as written, the
// tables' reads, and the mathematics.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"
#include "bp_records.h"
#include "common/float_bits.h"
#include "core/fixed_point.h"
#include "core/portable_math.h"

namespace {

using namespace koru::bp;
using bptest::RefMul;
using koru_test::BitsOf;
constexpr int32_t kOne = 16777216;
constexpr auto Add = &bptest::RefAdd, Sub = &bptest::RefSub;

// The derivative tables of the 8.24 path, output and hidden forms.
int32_t RefOutputDeltaFixed(int code, int32_t y, int32_t s, int32_t e) {
    switch (code) {
        case 0: return RefMul(e, Add(RefMul(y, Sub(kOne, y)), 1677721)); case 1: return e;
        case 2: return RefMul(e, Sub(kOne, RefMul(y, y))); case 3: return RefMul(e, RefMul(y, RefMul(-0x2000000, s)));
        case 4: return RefMul(e, koru::TableLookup(koru::CosineTable, s)); case 5: return RefMul(0x1800000, RefMul(e, Sub(kOne, RefMul(y, y))));
        case 6: return RefMul(e, RefMul(0x800000, RefMul(Add(kOne, y), Sub(kOne, y)))); default: return RefMul(e, RefMul(Sub(kOne, y), RefMul(0x2000000, s)));
    }
}
int32_t RefHiddenDeltaFixed(int code, int32_t y, int32_t s, int32_t d) {
    switch (code) {
        case 0: return RefMul(RefMul(y, Sub(kOne, y)), d); case 1: return d;
        case 2: return RefMul(Sub(kOne, RefMul(y, y)), d); case 3: return RefMul(y, RefMul(-0x2000000, RefMul(s, d)));
        case 4: return RefMul(koru::TableLookup(koru::CosineTable, s), d); case 5: return RefMul(0x1800000, RefMul(Sub(kOne, RefMul(y, y)), d));
        case 6: return RefMul(0x800000, RefMul(Add(kOne, y), RefMul(Sub(kOne, y), d))); default: return RefMul(Sub(kOne, y), RefMul(0x2000000, RefMul(s, d)));
    }
}
// The float derivative tables, each evaluated in double left to right and
// rounded once to single.
float RefOutputDeltaFloat(int code, double y, double s, double e) {
    switch (code) {
        case 0: return float((y * (1 - y) + 0.1) * e); case 1: return float(e);
        case 2: return float((1 - y * y) * e); case 3: return float(s * -2 * e * y);
        case 4: return float(koru::Cos(s) * e); case 5: return float((1 - y * y) * e * 1.5);
        case 6: return float((1 + y) * (1 - y) * 0.5 * e); default: return float(s * 2 * (1 - y) * e);
    }
}
float RefHiddenDeltaFloat(int code, double y, double s, double d) {
    switch (code) {
        case 0: return float((1 - y) * d * y); case 1: return float(d);
        case 2: return float((1 - y * y) * d); case 3: return float(s * -2 * d * y);
        case 4: return float(koru::Cos(s) * d); case 5: return float((1 - y * y) * d * 1.5);
        case 6: return float((y + 1) * (1 - y) * d * 0.5); default: return float((1 - y) * (2 * s) * d);
    }
}

// The library's forms, by code.
template <int... C> struct Forms {
    static constexpr std::array<int32_t (*)(int32_t, int32_t, int32_t), 8> outputFixed{&OutputDeltaFixed<C>...}, hiddenFixed{&HiddenDeltaFixed<C>...};
    static constexpr std::array<float (*)(float, float, float), 8> outputFloat{&OutputDeltaFloat<C>...}, hiddenFloat{&HiddenDeltaFloat<C>...};
    static constexpr std::array<int32_t (*)(int32_t, int32_t&), 8> transferFixed{&TransferFixed<C>...};
    static constexpr std::array<float (*)(float, float&), 8> transferFloat{&TransferFloat<C>...};
};
using All = Forms<0, 1, 2, 3, 4, 5, 6, 7>;

TEST(FixedMul, FloorsAndWraps) {
    EXPECT_EQ(koru::FixedMul(-1, 1), -1);  // floor, not truncation toward 0
    std::mt19937 random(7);
    for (int i = 0; i < 10000; ++i) {
        const auto a = static_cast<int32_t>(random()), b = static_cast<int32_t>(random());
        ASSERT_EQ(koru::FixedMul(a, b), RefMul(a, b)) << a << " x " << b;
    }
}

TEST(TransferFixed, EachCodeFromItsTableOrLimitKeepingTheInputWhereItsDerivativeNeedsIt) {
    const int32_t xs[] = {0, 1, -1, 0x123456, -0x123456, 26353567, 26353568, -26353568, 0x0A000000, 0x0A000001, -0x0A000001, -0x0A000000, 50 << 24, -100 << 24, INT32_MIN, INT32_MAX};
    const auto limit = [](int32_t x, int32_t m) { return x > m ? m : x < -m ? -m : x; };
    for (int32_t x : xs) {
        const int32_t limited = limit(x, 26353567), none = 12345;  // codes 0, 1, 2, 5 and 6 keep no input
        const struct { int code; int32_t y, kept; } cases[] = {
            {0, koru::TableLookup(koru::LogisticTable, x), none}, {1, limit(x, 0x0A000000), none},  // no -50 guard in the logistic
            {2, koru::TableLookup(koru::TanhTable, x), none}, {5, koru::TableLookup(koru::Tanh15Table, x), none},
            {6, koru::TableLookup(koru::SymmetricLogisticTable, x), none}, {3, koru::TableLookup(koru::GaussianTable, x), x},
            {7, Sub(kOne, koru::TableLookup(koru::GaussianTable, x)), x}, {4, koru::TableLookup(koru::SineTable, limited), limited}};
        for (const auto& c : cases) {
            int32_t sum = none;
            EXPECT_EQ(All::transferFixed[c.code](x, sum), c.y) << c.code << ", " << x;
            EXPECT_EQ(sum, c.kept) << c.code << ", " << x;
        }
    }
}

TEST(DeltaForms, BothFormsOfEveryCodeInBothFormatsMatchTheirTables) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> unit(-kOne, kOne), wide(-3 * kOne, 3 * kOne);
    std::uniform_real_distribution<float> unitF(-1.0f, 1.0f), wideF(-3.0f, 3.0f);
    for (int code = 0; code < 8; ++code)
        for (int i = 0; i < 3000; ++i) {
            // Mostly values a net holds, now and then any word at all.
            const bool any = i % 10 == 0;
            const auto word = [&](auto& range) { return any ? static_cast<int32_t>(random()) : range(random); };
            const int32_t y = word(unit), s = word(wide), e = word(unit);
            const float yf = unitF(random), sf = wideF(random), ef = unitF(random);
            SCOPED_TRACE(testing::Message() << code << ": " << y << " " << s << " " << e << " / " << yf << " " << sf << " " << ef);
            ASSERT_EQ(All::outputFixed[code](y, s, e), RefOutputDeltaFixed(code, y, s, e));
            ASSERT_EQ(All::hiddenFixed[code](y, s, e), RefHiddenDeltaFixed(code, y, s, e));
            ASSERT_EQ(BitsOf(All::outputFloat[code](yf, sf, ef)), BitsOf(RefOutputDeltaFloat(code, yf, sf, ef)));
            ASSERT_EQ(BitsOf(All::hiddenFloat[code](yf, sf, ef)), BitsOf(RefHiddenDeltaFloat(code, yf, sf, ef)));
        }
}

TEST(TransferFloat, LimitsFloorsAndTheInputsKept) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct Case { const char* label; int code; float x, y, sum; } cases[] = {  // sum: the input kept, or 7 for none
        {"logistic below -50 exactly 0", 0, -50.0001f, 0.0f, 7.0f}, {"symmetric logistic below -50", 6, -50.0001f, -1.0f, 7.0f},
        {"tanh of NaN is 0", 2, nan, 0.0f, 7.0f}, {"tanh15 of NaN is 0", 5, nan, 0.0f, 7.0f}, {"tanh of infinity", 2, inf, 1.0f, 7.0f},
        {"tanh15 of -infinity", 5, -inf, -1.0f, 7.0f}, {"sine limits its input", 4, 3.0f, static_cast<float>(koru::Sin(1.570795f)), 1.570795f},
        {"gaussian keeps its input", 3, -0.75f, static_cast<float>(koru::Exp(-0.5625)), -0.75f},
        {"gaussian complement", 7, 2.0f, static_cast<float>(1.0 - koru::Exp(-4.0)), 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        float sum = 7.0f;
        EXPECT_EQ(BitsOf(All::transferFloat[c.code](c.x, sum)), BitsOf(c.y));
        EXPECT_EQ(BitsOf(sum), BitsOf(c.sum));
    }
    float sum = 0.0f;
    EXPECT_NEAR(All::transferFloat[0](-50.0f, sum), 1.9287498e-22f, 1e-28f);  // -50 itself by the formula
}

// Every code against the mathematics (long double), within an ulp of a single.
TEST(TransferFloat, AgreesWithTheMathematics) {
    using L = long double;
    L (*const f[8])(L) = {[](L x) { return 1 / (1 + std::exp(-x)); }, [](L x) { return std::fmax(std::fmin(x, L{10}), L{-10}); }, [](L x) { return std::tanh(x); },
                          [](L x) { return std::exp(-x * x); }, [](L x) { return std::sin(std::fmax(std::fmin(x, L{1.570795f}), -L{1.570795f})); },  // sine limited first
                          [](L x) { return std::tanh(1.5L * x); }, [](L x) { return 2 / (1 + std::exp(-x)) - 1; }, [](L x) { return 1 - std::exp(-x * x); }};
    for (int code = 0; code < 8; ++code)
        for (float x = -12.0f, sum; x <= 12.0f; x += 0.0625f) {
            const auto expected = static_cast<float>(f[code](x));
            EXPECT_NEAR(All::transferFloat[code](x, sum), f[code](x), std::nextafter(std::fabs(expected), INFINITY) - std::fabs(expected)) << code << " " << x;
        }
}

}  // namespace
