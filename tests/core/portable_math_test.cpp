// The engine's exp, tanh, sin and cos: special values bit for bit, symmetry
// bit for bit, and accuracy against the C library in extended precision.
#include "core/portable_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <random>

#include "common/float_bits.h"

namespace {

using koru::Cos;
using koru::Exp;
using koru::Sin;
using koru::Tanh;
using koru_test::BitsOf;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// The sweeps run in a few seconds optimised; the unoptimised sanitizer build takes fewer.
#ifdef NDEBUG
constexpr int kSweep = 1000000;
#else
constexpr int kSweep = 200000;
#endif

// Distance in representable doubles, across binades and subnormals (-0 = +0).
int64_t UlpDistance(double a, double b) {
    const auto ordinal = [](double x) {
        const auto magnitude = static_cast<int64_t>(BitsOf(x) & 0x7fffffffffffffffull);
        return (BitsOf(x) >> 63) ? -magnitude : magnitude;
    };
    const int64_t d = ordinal(a) - ordinal(b);
    return d < 0 ? -d : d;
}

TEST(PortableMath, SpecialValuesBitForBit) {
    const struct Case {
        const char* label;
        double (*f)(double);
        double x, expected;
    } cases[] = {
        {"exp 0", Exp, 0.0, 1.0}, {"exp -0", Exp, -0.0, 1.0}, {"tanh -0", Tanh, -0.0, -0.0}, {"sin -0", Sin, -0.0, -0.0},
        {"cos -0", Cos, -0.0, 1.0}, {"exp 1: the double nearest e", Exp, 1.0, 2.718281828459045},
        {"exp inf", Exp, kInf, kInf}, {"exp -inf", Exp, -kInf, 0.0}, {"tanh inf", Tanh, kInf, 1.0}, {"tanh -inf", Tanh, -kInf, -1.0},
        // ln(largest double) = 709.78271289338399...: the double below it stays finite.
        {"exp just past ln max overflows", Exp, std::nextafter(0x1.62e42fefa39efp+9, kInf), kInf},
        {"exp 709.79", Exp, 709.79, kInf}, {"exp max", Exp, kMax, kInf},
        // e^x falls below half the smallest subnormal at -1075 ln 2 = -745.1332191...
        {"exp -745.13 is the smallest subnormal", Exp, -745.13, kTiny}, {"exp -745.14 is 0", Exp, -745.14, 0.0},
        {"exp -max", Exp, -kMax, 0.0}, {"exp -1074 ln 2", Exp, -1074.0 * std::numbers::ln2, kTiny},
        {"exp -740: e^4.4395 = 84.78 units", Exp, -740.0, 85 * kTiny},
        // 1 - tanh 20 = 8.5e-18, below half an ulp of 1.
        {"tanh 20", Tanh, 20.0, 1.0}, {"tanh -710", Tanh, -710.0, -1.0}, {"tanh max", Tanh, kMax, 1.0},
        {"tanh -1e300", Tanh, -1e300, -1.0},
    };
    for (const Case& c : cases) EXPECT_EQ(BitsOf(c.f(c.x)), BitsOf(c.expected)) << c.label;
    EXPECT_TRUE(std::isfinite(Exp(0x1.62e42fefa39efp+9)));
    EXPECT_GT(Exp(0x1.62e42fefa39efp+9), 0.99999999999997 * kMax);
    for (auto f : {Exp, Tanh, Sin, Cos}) {
        EXPECT_TRUE(std::isnan(f(std::numeric_limits<double>::quiet_NaN())));
        EXPECT_TRUE(std::isnan(f(-std::numeric_limits<double>::quiet_NaN())));
    }
    for (double inf : {kInf, -kInf}) EXPECT_TRUE(std::isnan(Sin(inf)) && std::isnan(Cos(inf)));
    // tanh x, sin x and cos x round to x, x and 1 once x^2/3 < 2^-54.
    for (double x : {1e-9, 0x1p-30, 1e-200, 0x1p-1022, kTiny, 3 * kTiny, -1e-9, -kTiny}) {
        EXPECT_EQ(BitsOf(Tanh(x)), BitsOf(x)) << x;
        EXPECT_EQ(BitsOf(Sin(x)), BitsOf(x)) << x;
        EXPECT_EQ(BitsOf(Cos(x)), BitsOf(1.0)) << x;
    }
}

TEST(PortableMath, OddAndEvenBitForBitAndHugeSinCosOnTheCircle) {
    std::mt19937_64 random(11);
    const auto magnitude = [&](double lo, double hi) {
        const double x = std::exp2(std::uniform_real_distribution<double>(lo, hi)(random));
        return (random() & 1) ? -x : x;
    };
    for (int i = 0; i < kSweep; ++i) {
        const double x = magnitude(-1074.0, 1023.9);
        ASSERT_EQ(BitsOf(Sin(-x)), BitsOf(Sin(x)) ^ (1ull << 63)) << x;
        ASSERT_EQ(BitsOf(Cos(-x)), BitsOf(Cos(x))) << x;
        ASSERT_EQ(BitsOf(Tanh(-x)), BitsOf(Tanh(x)) ^ (1ull << 63)) << x;
    }
    // Beyond the accurate range sin and cos still lie on the unit circle,
    // up to the largest double itself.
    std::vector<double> huge = {kMax, -kMax, std::nextafter(kMax, 0.0), 0x1p1023, 0x1p53, 0x1p52 + 1.0, 1e22};
    for (int i = 0; i < kSweep / 4; ++i) huge.push_back(magnitude(20.0, 1023.99));
    for (double x : huge) {
        const double s = Sin(x), c = Cos(x);
        ASSERT_NEAR(s * s + c * c, 1.0, 1e-15) << x;
        ASSERT_TRUE(s >= -1.0 && s <= 1.0 && c >= -1.0 && c <= 1.0) << x;
    }
}

// Extended-precision references: glibc's long double functions carry 11 more
// bits than a double, so rounded to double they are correct except in rare
// near-halfway cases, still within one unit. glibc's double tanh may be 2
// units off, so it is no reference; other C libraries' long double functions
// (x87 instructions with a 66-bit pi) are not accurate enough.
#if defined(__GLIBC__) && LDBL_MANT_DIG >= 64
constexpr bool kHaveReference = true;
#else
constexpr bool kHaveReference = false;
#endif

void ExpectWithinOneUlp(const char* what, double (*f)(double), long double (*reference)(long double),
                        const std::function<double()>& next, int count) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const double x = next();
        const double got = f(x), want = static_cast<double>(reference(x));
        if (UlpDistance(got, want) > 1 && failures++ == 0) {
            ADD_FAILURE() << what << "(" << std::hexfloat << x << ") = " << got << ", expected " << want;
        }
    }
    EXPECT_EQ(failures, 0) << what;
}

class PortableMathAccuracy : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kHaveReference) GTEST_SKIP() << "no extended-precision reference on this C library";
    }
    std::function<double()> Uniform(double lo, double hi) {
        return [this, lo, hi] { return std::uniform_real_distribution<double>(lo, hi)(random); };
    }
    std::function<double()> Logarithmic(double lo, double hi) {
        return [this, lo, hi] {
            const double x = std::exp2(std::uniform_real_distribution<double>(lo, hi)(random));
            return (random() & 1) ? -x : x;
        };
    }
    std::mt19937_64 random{2026};
};

long double ExpL(long double x) { return std::exp(x); }
long double TanhL(long double x) { return std::tanh(x); }
long double SinL(long double x) { return std::sin(x); }
long double CosL(long double x) { return std::cos(x); }

TEST_F(PortableMathAccuracy, WithinOneUlpOverEveryRange) {
    ExpectWithinOneUlp("Exp", Exp, ExpL, Uniform(-745.2, 709.8), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ExpL, Uniform(-2.0, 2.0), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ExpL, Logarithmic(-60.0, 0.0), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ExpL, Uniform(-745.2, -707.0), kSweep);  // the subnormal results
    ExpectWithinOneUlp("Exp", Exp, ExpL, Uniform(707.0, 709.79), kSweep / 4);
    ExpectWithinOneUlp("Tanh", Tanh, TanhL, Uniform(-25.0, 25.0), kSweep);
    ExpectWithinOneUlp("Tanh", Tanh, TanhL, Uniform(-1.0, 1.0), kSweep);
    ExpectWithinOneUlp("Tanh", Tanh, TanhL, Uniform(0.2, 0.3), kSweep);  // the switch from the series
    ExpectWithinOneUlp("Tanh", Tanh, TanhL, Logarithmic(-80.0, 5.0), kSweep);
    for (auto [lo, hi] : {std::pair{-4.0, 4.0}, std::pair{-1e6, 1e6}}) {
        ExpectWithinOneUlp("Sin", Sin, SinL, Uniform(lo, hi), kSweep);
        ExpectWithinOneUlp("Cos", Cos, CosL, Uniform(lo, hi), kSweep);
    }
    ExpectWithinOneUlp("Sin", Sin, SinL, Logarithmic(-80.0, 20.5), kSweep);
    ExpectWithinOneUlp("Cos", Cos, CosL, Logarithmic(-80.0, 20.5), kSweep);
}

// The doubles nearest to k pi/2 and their neighbours leave a reduced
// argument of about an ulp of x, where the reduction must keep its relative
// accuracy: sin is tiny at even k and cos at odd k.
TEST_F(PortableMathAccuracy, SinCosNearMultiplesOfHalfPi) {
    for (int step : {0, 2}) {
        for (bool sine : {true, false}) {
            long count = 0;
            ExpectWithinOneUlp(sine ? "Sin" : "Cos", sine ? Sin : Cos, sine ? SinL : CosL, [&] {
                double x = static_cast<double>((1 + (count++ * 7919L) % 1018000) * (std::numbers::pi_v<long double> / 2));
                for (int i = 0; i < step; ++i) x = std::nextafter(x, 0.0);
                return x;
            }, kSweep / 2);
        }
    }
}

}  // namespace
