// The transfer functions and their derivative forms, float and 8.24.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <random>

#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"
#include "bp_records.h"
#include "core/fixed_point.h"
#include "core/portable_math.h"

namespace {

using namespace koru::bp;

// ---- Independent references -------------------------------------------

// The 8.24 product from its definition and 32-bit wrapping sums.
using bptest::RefMul;
int32_t Add(int32_t a, int32_t b) { return bptest::RefAdd(a, b); }
int32_t Sub(int32_t a, int32_t b) { return bptest::RefSub(a, b); }
constexpr int32_t kOne = 16777216;

// The derivative tables of the fixed-point path, transcribed as written.
int32_t RefOutputDeltaFixed(int code, int32_t y, int32_t s, int32_t e) {
    switch (code) {
        case 0: return RefMul(e, Add(RefMul(y, Sub(kOne, y)), 1677721));
        case 1: return e;
        case 2: return RefMul(e, Sub(kOne, RefMul(y, y)));
        case 3: return RefMul(e, RefMul(y, RefMul(-0x2000000, s)));
        case 4: return RefMul(e, koru::TableLookup(koru::CosineTable, s));
        case 5: return RefMul(0x1800000, RefMul(e, Sub(kOne, RefMul(y, y))));
        case 6: return RefMul(e, RefMul(0x800000, RefMul(Add(kOne, y), Sub(kOne, y))));
        default: return RefMul(e, RefMul(Sub(kOne, y), RefMul(0x2000000, s)));
    }
}
int32_t RefHiddenDeltaFixed(int code, int32_t y, int32_t s, int32_t d) {
    switch (code) {
        case 0: return RefMul(RefMul(y, Sub(kOne, y)), d);
        case 1: return d;
        case 2: return RefMul(Sub(kOne, RefMul(y, y)), d);
        case 3: return RefMul(y, RefMul(-0x2000000, RefMul(s, d)));
        case 4: return RefMul(koru::TableLookup(koru::CosineTable, s), d);
        case 5: return RefMul(0x1800000, RefMul(Sub(kOne, RefMul(y, y)), d));
        case 6: return RefMul(0x800000, RefMul(Add(kOne, y), RefMul(Sub(kOne, y), d)));
        default: return RefMul(Sub(kOne, y), RefMul(0x2000000, RefMul(s, d)));
    }
}

// The float derivative tables, each evaluated in double left to right and
// rounded once to single.
float RefOutputDeltaFloat(int code, double y, double s, double e) {
    switch (code) {
        case 0: return float((y * (1 - y) + 0.1) * e);
        case 1: return float(e);
        case 2: return float((1 - y * y) * e);
        case 3: return float(s * -2 * e * y);
        case 4: return float(koru::Cos(s) * e);
        case 5: return float((1 - y * y) * e * 1.5);
        case 6: return float((1 + y) * (1 - y) * 0.5 * e);
        default: return float(s * 2 * (1 - y) * e);
    }
}
float RefHiddenDeltaFloat(int code, double y, double s, double d) {
    switch (code) {
        case 0: return float((1 - y) * d * y);
        case 1: return float(d);
        case 2: return float((1 - y * y) * d);
        case 3: return float(s * -2 * d * y);
        case 4: return float(koru::Cos(s) * d);
        case 5: return float((1 - y * y) * d * 1.5);
        case 6: return float((y + 1) * (1 - y) * d * 0.5);
        default: return float((1 - y) * (2 * s) * d);
    }
}

// ---- The library's forms, by code --------------------------------------

template <int... C>
struct Forms {
    static constexpr std::array<int32_t (*)(int32_t, int32_t, int32_t), 8> outputFixed{&OutputDeltaFixed<C>...};
    static constexpr std::array<int32_t (*)(int32_t, int32_t, int32_t), 8> hiddenFixed{&HiddenDeltaFixed<C>...};
    static constexpr std::array<float (*)(float, float, float), 8> outputFloat{&OutputDeltaFloat<C>...};
    static constexpr std::array<float (*)(float, float, float), 8> hiddenFloat{&HiddenDeltaFloat<C>...};
    static constexpr std::array<int32_t (*)(int32_t, int32_t&), 8> transferFixed{&TransferFixed<C>...};
    static constexpr std::array<float (*)(float, float&), 8> transferFloat{&TransferFloat<C>...};
};
using All = Forms<0, 1, 2, 3, 4, 5, 6, 7>;

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// ---- FixedMul ----------------------------------------------------------

TEST(FixedMul, FloorsAndWraps) {
    EXPECT_EQ(koru::FixedMul(0x1000000, 123456789), 123456789);
    EXPECT_EQ(koru::FixedMul(0x1000000, -7), -7);
    EXPECT_EQ(koru::FixedMul(-1, 1), -1);  // floor, not truncation toward 0
    EXPECT_EQ(koru::FixedMul(1, 1), 0);
    EXPECT_EQ(koru::FixedMul(0x800000, 0x800000), 0x400000);  // 0.5 x 0.5
    // 100 x 100 = 10000 leaves the 8.24 range and keeps its low 32 bits.
    EXPECT_EQ(koru::FixedMul(100 << 24, 100 << 24), RefMul(100 << 24, 100 << 24));
    EXPECT_EQ(koru::FixedMul(100 << 24, 100 << 24), static_cast<int32_t>(uint32_t(10000u << 24)));
    std::mt19937 random(7);
    for (int i = 0; i < 10000; ++i) {
        const auto a = static_cast<int32_t>(random()), b = static_cast<int32_t>(random());
        ASSERT_EQ(koru::FixedMul(a, b), RefMul(a, b)) << a << " x " << b;
    }
}

// ---- Fixed-point transfer ----------------------------------------------

TEST(TransferFixed, EachCodeFromItsTableOrLimit) {
    const int32_t xs[] = {0, 1, -1, 0x123456, -0x123456, 26353567, 26353568, -26353568, 0x0A000000,
                          0x0A000001, -0x0A000001, -0x0A000000, 50 << 24, INT32_MIN, INT32_MAX};
    for (int32_t x : xs) {
        int32_t sum = 12345;
        EXPECT_EQ(All::transferFixed[0](x, sum), koru::TableLookup(koru::LogisticTable, x));
        EXPECT_EQ(All::transferFixed[1](x, sum), x > 0x0A000000 ? 0x0A000000 : x < -0x0A000000 ? -0x0A000000 : x);
        EXPECT_EQ(All::transferFixed[2](x, sum), koru::TableLookup(koru::TanhTable, x));
        EXPECT_EQ(All::transferFixed[5](x, sum), koru::TableLookup(koru::Tanh15Table, x));
        EXPECT_EQ(All::transferFixed[6](x, sum), koru::TableLookup(koru::SymmetricLogisticTable, x));
        EXPECT_EQ(sum, 12345) << "codes 0, 1, 2, 5, 6 keep no input";

        EXPECT_EQ(All::transferFixed[3](x, sum), koru::TableLookup(koru::GaussianTable, x));
        EXPECT_EQ(sum, x);
        sum = 0;
        EXPECT_EQ(All::transferFixed[7](x, sum), Sub(kOne, koru::TableLookup(koru::GaussianTable, x)));
        EXPECT_EQ(sum, x);
        const int32_t limited = x > 26353567 ? 26353567 : x < -26353567 ? -26353567 : x;
        EXPECT_EQ(All::transferFixed[4](x, sum), koru::TableLookup(koru::SineTable, limited));
        EXPECT_EQ(sum, limited);
    }
}

TEST(TransferFixed, NoMinusFiftyGuard) {
    int32_t sum = 0;
    EXPECT_EQ(All::transferFixed[0](-100 << 24, sum), 5626);  // about 0.000335, not 0
}

// ---- Fixed-point deltas ------------------------------------------------

TEST(DeltaFixed, BothFormsOfEveryCodeMatchTheirNesting) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> unit(-kOne, kOne), wide(-3 * kOne, 3 * kOne);
    for (int code = 0; code < 8; ++code) {
        for (int i = 0; i < 3000; ++i) {
            // Mostly values a net holds, now and then anything at all.
            const bool any = i % 10 == 0;
            const int32_t y = any ? static_cast<int32_t>(random()) : unit(random);
            const int32_t s = any ? static_cast<int32_t>(random()) : wide(random);
            const int32_t e = any ? static_cast<int32_t>(random()) : unit(random);
            ASSERT_EQ(All::outputFixed[code](y, s, e), RefOutputDeltaFixed(code, y, s, e))
                << "code " << code << " y " << y << " s " << s << " e " << e;
            ASSERT_EQ(All::hiddenFixed[code](y, s, e), RefHiddenDeltaFixed(code, y, s, e))
                << "code " << code << " y " << y << " s " << s << " d " << e;
        }
    }
}

TEST(DeltaFixed, TellingValues) {
    // The references above are transcriptions; these pin their constants by
    // hand: the logistic's output form adds 0.1 (1677721), its hidden form
    // does not; tanh15 scales by 1.5; the Gaussian by -2 s.
    EXPECT_EQ(All::outputFixed[0](0x800000, 0, 0x800000), (0x400000 + 1677721) / 2);
    EXPECT_EQ(All::hiddenFixed[0](0x800000, 0, 0x800000), 0x200000);
    EXPECT_EQ(All::outputFixed[5](0x800000, 0, kOne), 0x1200000);
    EXPECT_EQ(All::outputFixed[3](kOne, 0x800000, kOne), -kOne);
    EXPECT_EQ(RefOutputDeltaFloat(0, 0.5, 0.0, 2.0), static_cast<float>(0.35 * 2));
    EXPECT_EQ(RefHiddenDeltaFloat(6, 0.5, 0.0, 1.0), 0.375f);
}

// ---- Floating-point transfer -------------------------------------------

TEST(TransferFloat, LogisticForms) {
    float sum = 7.0f;
    EXPECT_NEAR(All::transferFloat[0](-50.0f, sum), 1.9287498e-22f, 1e-28f);  // computed by the formula
    EXPECT_EQ(Bits(All::transferFloat[0](-50.0001f, sum)), Bits(0.0f));      // below -50: exactly 0
    EXPECT_EQ(All::transferFloat[0](0.0f, sum), 0.5f);
    EXPECT_EQ(All::transferFloat[6](-50.0001f, sum), -1.0f);
    EXPECT_EQ(All::transferFloat[6](-1e30f, sum), -1.0f);
    EXPECT_EQ(All::transferFloat[6](0.0f, sum), 0.0f);
    EXPECT_EQ(sum, 7.0f);
}

TEST(TransferFloat, LinearLimits) {
    float sum = 0.0f;
    const float cases[][2] = {{12.5f, 10.0f}, {-10.0f, -10.0f}, {-10.5f, -10.0f}, {3.25f, 3.25f}};
    for (const auto& c : cases) EXPECT_EQ(All::transferFloat[1](c[0], sum), c[1]) << c[0];
}

TEST(TransferFloat, SineLimitsItsInputAndKeepsIt) {
    float sum = 0.0f;
    const float y = All::transferFloat[4](3.0f, sum);
    EXPECT_EQ(sum, 1.5707951f);
    EXPECT_EQ(Bits(sum), Bits(1.570795f));
    EXPECT_EQ(y, static_cast<float>(koru::Sin(1.5707951f)));
    All::transferFloat[4](-3.0f, sum);
    EXPECT_EQ(sum, -1.5707951f);
    // Its derivative uses the cosine of the limited input.
    EXPECT_EQ(All::outputFloat[4](y, sum, 1.0f), static_cast<float>(koru::Cos(-1.5707951f)));
}

TEST(TransferFloat, GaussianFormsKeepTheirInput) {
    float sum = 0.0f;
    EXPECT_EQ(All::transferFloat[3](0.0f, sum), 1.0f);
    EXPECT_EQ(All::transferFloat[3](-0.75f, sum), static_cast<float>(koru::Exp(-0.5625)));
    EXPECT_EQ(sum, -0.75f);
    EXPECT_EQ(All::transferFloat[7](2.0f, sum), static_cast<float>(1.0 - koru::Exp(-4.0)));
    EXPECT_EQ(sum, 2.0f);
}

// Every code against the mathematics (long double), to within one unit in
// the last place of a single.
TEST(TransferFloat, AgreesWithTheMathematics) {
    const auto f = [](int code, long double x) -> long double {
        switch (code) {
            case 0: return 1.0L / (1.0L + std::exp(-x));
            case 1: return x > 10 ? 10 : x < -10 ? -10 : x;
            case 2: return std::tanh(x);
            case 3: return std::exp(-x * x);
            case 4: return std::sin(x);
            case 5: return std::tanh(1.5L * x);
            case 6: return 2.0L / (1.0L + std::exp(-x)) - 1.0L;
            default: return 1.0L - std::exp(-x * x);
        }
    };
    for (int code = 0; code < 8; ++code) {
        for (float x = -12.0f; x <= 12.0f; x += 0.0625f) {
            float sum = 0.0f;
            const float y = All::transferFloat[code](x, sum);
            // The sine limits its input to the single 1.570795 first.
            const long double limit = 1.570795f;
            const long double input = code == 4 ? std::fmax(std::fmin(x, limit), -limit) : x;
            const long double expected = f(code, input);
            const float ulp = std::nextafter(std::fabs(static_cast<float>(expected)), INFINITY) -
                              std::fabs(static_cast<float>(expected));
            EXPECT_NEAR(y, static_cast<double>(expected), ulp) << "code " << code << " x " << x;
        }
    }
}

TEST(TransferFloat, TanhMathErrorYieldsZero) {
    float sum = 0.0f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Bits(All::transferFloat[2](nan, sum)), Bits(0.0f));
    EXPECT_EQ(Bits(All::transferFloat[5](nan, sum)), Bits(0.0f));
    EXPECT_EQ(All::transferFloat[2](INFINITY, sum), 1.0f);
    EXPECT_EQ(All::transferFloat[5](-INFINITY, sum), -1.0f);
}

// ---- Floating-point deltas ---------------------------------------------

TEST(DeltaFloat, BothFormsOfEveryCodeRoundOnce) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f), wide(-3.0f, 3.0f);
    for (int code = 0; code < 8; ++code) {
        for (int i = 0; i < 3000; ++i) {
            const float y = unit(random), s = wide(random), e = unit(random);
            ASSERT_EQ(Bits(All::outputFloat[code](y, s, e)), Bits(RefOutputDeltaFloat(code, y, s, e)))
                << "code " << code << " y " << y << " s " << s << " e " << e;
            ASSERT_EQ(Bits(All::hiddenFloat[code](y, s, e)), Bits(RefHiddenDeltaFloat(code, y, s, e)))
                << "code " << code << " y " << y << " s " << s << " d " << e;
        }
    }
}


}  // namespace
