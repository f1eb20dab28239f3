// The engine's exp, tanh, sin and cos: special values bit for bit, symmetry
// bit for bit, and accuracy against the C library in extended precision.
#include "core/portable_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "common/float_bits.h"

namespace {

using koru::Cos, koru::Exp, koru::Sin, koru::Tanh, koru_test::BitsOf;
constexpr double kInf = INFINITY, kMax = DBL_MAX, kTiny = std::numeric_limits<double>::denorm_min();

// The sweeps run in a few seconds optimised; the unoptimised sanitizer build takes fewer.
#ifdef NDEBUG
constexpr int kSweep = 1000000;
#else
constexpr int kSweep = 200000;
#endif

// Distance in representable doubles, across binades and subnormals (-0 = +0).
int64_t UlpDistance(double a, double b) {
    const auto ordinal = [](double x) { return static_cast<int64_t>(BitsOf(x) & 0x7fffffffffffffffull) * ((BitsOf(x) >> 63) ? -1 : 1); };
    return std::llabs(ordinal(a) - ordinal(b));
}

TEST(PortableMath, SpecialValuesBitForBit) {
    const struct Case { const char* label; double (*f)(double); double x, expected; } cases[] = {
        {"exp 0", Exp, 0.0, 1.0}, {"exp -0", Exp, -0.0, 1.0}, {"tanh -0", Tanh, -0.0, -0.0}, {"sin -0", Sin, -0.0, -0.0},
        {"cos -0", Cos, -0.0, 1.0}, {"exp 1: the double nearest e", Exp, 1.0, 2.718281828459045},
        {"exp inf", Exp, kInf, kInf}, {"exp -inf", Exp, -kInf, 0.0}, {"tanh inf", Tanh, kInf, 1.0}, {"tanh -inf", Tanh, -kInf, -1.0},
        // ln(largest double) = 709.78271289338399...: the double below it stays finite.
        {"exp just past ln max overflows", Exp, std::nextafter(0x1.62e42fefa39efp+9, kInf), kInf}, {"exp 709.79", Exp, 709.79, kInf}, {"exp max", Exp, kMax, kInf},
        // e^x falls below half the smallest subnormal at -1075 ln 2 = -745.1332191...
        {"exp -745.13 is the smallest subnormal", Exp, -745.13, kTiny}, {"exp -745.14 is 0", Exp, -745.14, 0.0}, {"exp -max", Exp, -kMax, 0.0},
        {"exp -1074 ln 2", Exp, -1074.0 * std::numbers::ln2, kTiny}, {"exp -740: e^4.4395 = 84.78 units", Exp, -740.0, 85 * kTiny},
        // 1 - tanh 20 = 8.5e-18, below half an ulp of 1.
        {"tanh 20", Tanh, 20.0, 1.0}, {"tanh -710", Tanh, -710.0, -1.0}, {"tanh max", Tanh, kMax, 1.0}, {"tanh -1e300", Tanh, -1e300, -1.0},
    };
    for (const Case& c : cases) EXPECT_EQ(BitsOf(c.f(c.x)), BitsOf(c.expected)) << c.label;
    EXPECT_GT(Exp(0x1.62e42fefa39efp+9), 0.99999999999997 * kMax);  // finite
    for (auto f : {Exp, Tanh, Sin, Cos}) EXPECT_TRUE(std::isnan(f(NAN)) && std::isnan(f(-NAN)));
    for (double inf : {kInf, -kInf}) EXPECT_TRUE(std::isnan(Sin(inf)) && std::isnan(Cos(inf)));
    // tanh x, sin x and cos x round to x, x and 1 once x^2/3 < 2^-54.
    for (double x : {1e-9, 0x1p-30, 1e-200, 0x1p-1022, kTiny, 3 * kTiny, -1e-9, -kTiny})
        EXPECT_TRUE(BitsOf(Tanh(x)) == BitsOf(x) && BitsOf(Sin(x)) == BitsOf(x) && Cos(x) == 1.0) << x;
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
        ASSERT_TRUE(std::fabs(s * s + c * c - 1.0) <= 1e-15 && std::fabs(s) <= 1.0 && std::fabs(c) <= 1.0) << x;
    }
}

// Dekker's product against quadruple precision, whose 113 bits hold the
// exact product of any two doubles and its difference from the rounded one:
// the high part is a * b rounded, the low part exactly the rest.
TEST(PortableMath, ExactProductLeavesNoRest) {
#ifdef __SIZEOF_FLOAT128__
    std::mt19937_64 random(5);
    const auto magnitude = [&] { return std::exp2(std::uniform_real_distribution<double>(-450.0, 450.0)(random)) * ((random() & 1) ? -1 : 1); };
    std::vector<std::pair<double, double>> operands = {{1.0, 1.0}, {0x1.fffffffffffffp0, 0x1.fffffffffffffp0}, {-0x1.0000000000001p0, 0x1.fffffffffffffp-1},
                                                       {0x1p500, 0x1.8p-520}, {3.0, -1.0 / 3.0}, {0.0, -5.0}, {0x1.fffffffffffffp450, -0x1.fffffffffffffp400}};
    for (int i = 0; i < kSweep; ++i) operands.emplace_back(magnitude(), magnitude());
    for (auto [a, b] : operands) {
        double high = 0.0, low = 0.0;
        koru::ExactProduct(a, b, high, low);
        ASSERT_TRUE(BitsOf(high) == BitsOf(a * b) && __float128{low} == __float128{a} * b - high) << std::hexfloat << a << " x " << b << ": " << high << " + " << low;
    }
#else
    GTEST_SKIP() << "no quadruple precision on this compiler";
#endif
}

// Extended-precision references: glibc's long double functions carry 11 more
// bits than a double, so rounded to double they are within one unit (glibc's
// double tanh may be 2 off; other C libraries' long double is not enough).
#if defined(__GLIBC__) && LDBL_MANT_DIG >= 64
constexpr bool kHaveReference = true;
#else
constexpr bool kHaveReference = false;
#endif

// Each function against its reference over a domain: uniform in [lo, hi],
// or (logarithmic) +-2^u for u uniform in [lo, hi].
TEST(PortableMathAccuracy, WithinOneUlpOverEveryRange) {
    if (!kHaveReference) GTEST_SKIP() << "no extended-precision reference on this C library";
    using Ref = long double (*)(long double);
    const Ref expL = [](long double x) { return std::exp(x); }, tanhL = [](long double x) { return std::tanh(x); };
    const Ref sinL = [](long double x) { return std::sin(x); }, cosL = [](long double x) { return std::cos(x); };
    const struct Case { const char* label; double (*f)(double); Ref reference; double lo, hi; bool logarithmic; } cases[] = {
        {"exp", Exp, expL, -745.2, 709.8, false}, {"exp near 0", Exp, expL, -2.0, 2.0, false}, {"exp tiny", Exp, expL, -60.0, 0.0, true},
        {"exp subnormal results", Exp, expL, -745.2, -707.0, false}, {"exp near overflow", Exp, expL, 707.0, 709.79, false},
        {"tanh", Tanh, tanhL, -25.0, 25.0, false}, {"tanh near 0", Tanh, tanhL, -1.0, 1.0, false}, {"tanh leaving the series", Tanh, tanhL, 0.2, 0.3, false},
        {"tanh every magnitude", Tanh, tanhL, -80.0, 5.0, true}, {"sin", Sin, sinL, -4.0, 4.0, false}, {"cos", Cos, cosL, -4.0, 4.0, false},
        {"sin wide", Sin, sinL, -1e6, 1e6, false}, {"cos wide", Cos, cosL, -1e6, 1e6, false}, {"sin every magnitude", Sin, sinL, -80.0, 20.5, true},
        {"cos every magnitude", Cos, cosL, -80.0, 20.5, true},
    };
    std::mt19937_64 random(2026);
    for (const Case& c : cases) {
        int failures = 0;
        for (int i = 0; i < kSweep; ++i) {
            double x = std::uniform_real_distribution<double>(c.lo, c.hi)(random);
            if (c.logarithmic) x = (random() & 1) ? -std::exp2(x) : std::exp2(x);
            const double got = c.f(x), want = static_cast<double>(c.reference(x));
            if (UlpDistance(got, want) > 1 && failures++ == 0) ADD_FAILURE() << c.label << std::hexfloat << " at " << x << ": " << got;
        }
        EXPECT_EQ(failures, 0) << c.label;
    }
    // The doubles nearest k pi/2 and two below leave a reduced argument of
    // about an ulp of x: sin is tiny at even k and cos at odd k.
    for (long k = 1; k < kSweep / 2; ++k) {
        double x = static_cast<double>((1 + (k * 7919L) % 1018000) * (std::numbers::pi_v<long double> / 2));
        for (int step = 0; step < 3; step += 2, x = std::nextafter(std::nextafter(x, 0.0), 0.0)) {
            ASSERT_LE(UlpDistance(Sin(x), static_cast<double>(std::sin((long double)x))), 1) << std::hexfloat << x;
            ASSERT_LE(UlpDistance(Cos(x), static_cast<double>(std::cos((long double)x))), 1) << std::hexfloat << x;
        }
    }
}

}  // namespace
