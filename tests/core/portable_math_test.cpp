// The engine's exp, tanh, sin and cos: special values, symmetry bit for bit,
// and accuracy against the C library evaluated in extended precision.
#include "core/portable_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

#include "common/float_bits.h"

namespace {

using koru::Cos;
using koru::Exp;
using koru::Sin;
using koru::Tanh;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kMinSubnormal = std::numeric_limits<double>::denorm_min();

// The sweeps are sized to run in a few seconds in an optimised build; the
// sanitizer build is unoptimised and many times slower, so it takes fewer.
#ifdef NDEBUG
constexpr int kSweep = 1000000;
#else
constexpr int kSweep = 200000;
#endif

using koru_test::BitsOf;

// Doubles mapped onto the integers in order (-0 and +0 both to 0), so that
// the difference of two mapped values counts the doubles between them,
// across binade and subnormal boundaries.
std::int64_t Ordinal(double x) {
    const std::uint64_t bits = BitsOf(x);
    const auto magnitude = static_cast<std::int64_t>(bits & 0x7fffffffffffffffull);
    return (bits >> 63) ? -magnitude : magnitude;
}

std::int64_t UlpDistance(double a, double b) {
    const std::int64_t d = Ordinal(a) - Ordinal(b);
    return d < 0 ? -d : d;
}

// Extended-precision references: glibc's long double functions carry 11 more
// bits than a double, so rounding them to double gives the correctly rounded
// result except in rare near-halfway cases, where it is off by one and the
// allowed distance of 1 still covers a result that is correct to within one
// unit. glibc's double tanh itself may be 2 units off, so it is no reference;
// other C libraries' long double functions (x87 instructions with a 66-bit
// pi) are not accurate enough, so the sweeps run against glibc only.
#if defined(__GLIBC__) && LDBL_MANT_DIG >= 64
constexpr bool kHaveReference = true;
#else
constexpr bool kHaveReference = false;
#endif

double ReferenceExp(double x) { return static_cast<double>(std::exp(static_cast<long double>(x))); }
double ReferenceTanh(double x) { return static_cast<double>(std::tanh(static_cast<long double>(x))); }
double ReferenceSin(double x) { return static_cast<double>(std::sin(static_cast<long double>(x))); }
double ReferenceCos(double x) { return static_cast<double>(std::cos(static_cast<long double>(x))); }

// Sweeps `count` arguments from `next` and checks every result against the
// reference within one unit in the last place; reports the first failure.
template <typename Function, typename Reference, typename Source>
void ExpectWithinOneUlp(const char* what, Function function, Reference reference,
                        Source next, int count) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const double x = next();
        const double got = function(x);
        const double want = reference(x);
        if (UlpDistance(got, want) > 1) {
            if (failures == 0) {
                ADD_FAILURE() << what << "(" << std::hexfloat << x << ") = " << got
                              << ", expected " << want << std::defaultfloat;
            }
            ++failures;
        }
    }
    EXPECT_EQ(failures, 0) << what;
}

// Uniform arguments in [lo, hi).
auto Uniform(std::mt19937_64& random, double lo, double hi) {
    return [&random, lo, hi] { return std::uniform_real_distribution<double>(lo, hi)(random); };
}

// Arguments of either sign with magnitudes spread evenly over the binades
// 2^lowExponent .. 2^highExponent.
auto Logarithmic(std::mt19937_64& random, double lowExponent, double highExponent) {
    return [&random, lowExponent, highExponent] {
        const double e = std::uniform_real_distribution<double>(lowExponent, highExponent)(random);
        const double x = std::exp2(e);
        return (random() & 1) ? -x : x;
    };
}

// --- special values -------------------------------------------------------

TEST(PortableMathTest, ExactValuesAtZeroAndOne) {
    for (double zero : {0.0, -0.0}) {
        EXPECT_EQ(BitsOf(Exp(zero)), BitsOf(1.0));
        EXPECT_EQ(BitsOf(Tanh(zero)), BitsOf(zero));
        EXPECT_EQ(BitsOf(Sin(zero)), BitsOf(zero));
        EXPECT_EQ(BitsOf(Cos(zero)), BitsOf(1.0));
    }
    EXPECT_EQ(Exp(1.0), 2.718281828459045);  // the double nearest e
}

TEST(PortableMathTest, NaNAndInfinities) {
    for (double nan : {kNaN, -kNaN}) {
        EXPECT_TRUE(std::isnan(Exp(nan)));
        EXPECT_TRUE(std::isnan(Tanh(nan)));
        EXPECT_TRUE(std::isnan(Sin(nan)));
        EXPECT_TRUE(std::isnan(Cos(nan)));
    }
    EXPECT_EQ(Exp(kInf), kInf);
    EXPECT_EQ(BitsOf(Exp(-kInf)), BitsOf(0.0));
    EXPECT_EQ(Tanh(kInf), 1.0);
    EXPECT_EQ(Tanh(-kInf), -1.0);
    for (double inf : {kInf, -kInf}) {
        EXPECT_TRUE(std::isnan(Sin(inf)));
        EXPECT_TRUE(std::isnan(Cos(inf)));
    }
}

// ln(largest double) = 1024 ln 2 - 2^-53 = 709.78271289338399...; the double
// 0x1.62e42fefa39efp+9 lies just below it, the next one just above, where
// e^x exceeds the largest double by more than half an ulp.
TEST(PortableMathTest, ExpOverflowsExactlyPastLogOfLargestDouble) {
    const double below = 0x1.62e42fefa39efp+9;
    const double above = std::nextafter(below, kInf);
    const double nearMax = Exp(below);
    EXPECT_TRUE(std::isfinite(nearMax));
    EXPECT_GT(nearMax, 0.99999999999997 * kMax);
    EXPECT_EQ(Exp(above), kInf);
    EXPECT_EQ(Exp(709.79), kInf);
    EXPECT_EQ(Exp(1000.0), kInf);
    EXPECT_EQ(Exp(kMax), kInf);
}

// e^x falls below 2^-1075 (half the smallest subnormal) at
// x = -1075 ln 2 = -745.13321910194120...; just above that it rounds up to
// the smallest subnormal, below it to zero.
TEST(PortableMathTest, ExpUnderflowsThroughTheSubnormals) {
    EXPECT_EQ(Exp(-745.13), kMinSubnormal);
    EXPECT_EQ(BitsOf(Exp(-745.14)), BitsOf(0.0));
    EXPECT_EQ(BitsOf(Exp(-746.0)), BitsOf(0.0));
    EXPECT_EQ(BitsOf(Exp(-kMax)), BitsOf(0.0));
    // e^(-1074 ln 2) is 2^-1074 up to the rounding of the argument (a
    // relative 1e-13, far from a rounding boundary).
    EXPECT_EQ(Exp(-1074.0 * std::numbers::ln2), kMinSubnormal);
    // e^-740 / 2^-1074 = e^(1074 ln 2 - 740) = e^4.43951... = 84.78, so
    // e^-740 rounds to 85 subnormal units.
    EXPECT_EQ(Exp(-740.0), 85 * kMinSubnormal);
}

TEST(PortableMathTest, SaturationAndLinearityNearZero) {
    // 1 - tanh 20 = 2e^-40/(1 + e^-40) = 8.5e-18, below half an ulp of 1.
    for (double x : {20.0, 22.0, 710.0, 1e300, kMax}) {
        EXPECT_EQ(BitsOf(Tanh(x)), BitsOf(1.0)) << x;
        EXPECT_EQ(BitsOf(Tanh(-x)), BitsOf(-1.0)) << x;
    }
    // tanh x = x (1 - x^2/3 + ...), sin x = x (1 - x^2/6 + ...) and
    // cos x = 1 - x^2/2 + ... round to x, x and 1 once x^2/3 < 2^-54.
    for (double x : {1e-9, 0x1p-30, 1e-200, 0x1p-1022, kMinSubnormal, 3 * kMinSubnormal}) {
        EXPECT_EQ(BitsOf(Tanh(x)), BitsOf(x)) << x;
        EXPECT_EQ(BitsOf(Tanh(-x)), BitsOf(-x)) << x;
        EXPECT_EQ(BitsOf(Sin(x)), BitsOf(x)) << x;
        EXPECT_EQ(BitsOf(Sin(-x)), BitsOf(-x)) << x;
        EXPECT_EQ(BitsOf(Cos(x)), BitsOf(1.0)) << x;
    }
}

// --- symmetry -------------------------------------------------------------

TEST(PortableMathTest, OddAndEvenBitForBit) {
    std::mt19937_64 random(11);
    auto source = Logarithmic(random, -1074.0, 1023.9);
    for (int i = 0; i < kSweep; ++i) {
        const double x = source();
        ASSERT_EQ(BitsOf(Sin(-x)), BitsOf(Sin(x)) ^ (1ull << 63)) << x;
        ASSERT_EQ(BitsOf(Cos(-x)), BitsOf(Cos(x))) << x;
        ASSERT_EQ(BitsOf(Tanh(-x)), BitsOf(Tanh(x)) ^ (1ull << 63)) << x;
    }
}

// --- arguments beyond the accurate range ----------------------------------

TEST(PortableMathTest, HugeSinCosArgumentsStayInRange) {
    std::mt19937_64 random(12);
    auto source = Logarithmic(random, 20.0, 1023.99);
    for (int i = 0; i < kSweep; ++i) {
        const double x = source();
        const double s = Sin(x);
        const double c = Cos(x);
        ASSERT_TRUE(s >= -1.0 && s <= 1.0) << x;
        ASSERT_TRUE(c >= -1.0 && c <= 1.0) << x;
    }
    for (double x : {kMax, -kMax, 0x1p1023, 0x1p53, 0x1p52 + 1.0, 1e22}) {
        EXPECT_TRUE(Sin(x) >= -1.0 && Sin(x) <= 1.0) << x;
        EXPECT_TRUE(Cos(x) >= -1.0 && Cos(x) <= 1.0) << x;
    }
}

// --- accuracy -------------------------------------------------------------

class PortableMathAccuracyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kHaveReference) GTEST_SKIP() << "no extended-precision reference on this C library";
    }
    std::mt19937_64 random{2026};
};

TEST_F(PortableMathAccuracyTest, Exp) {
    ExpectWithinOneUlp("Exp", Exp, ReferenceExp, Uniform(random, -745.2, 709.8), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ReferenceExp, Uniform(random, -2.0, 2.0), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ReferenceExp, Logarithmic(random, -60.0, 0.0), kSweep);
    // The subnormal results and the overflow edge.
    ExpectWithinOneUlp("Exp", Exp, ReferenceExp, Uniform(random, -745.2, -707.0), kSweep);
    ExpectWithinOneUlp("Exp", Exp, ReferenceExp, Uniform(random, 707.0, 709.79), kSweep / 4);
    // glibc's double exp is within about half an ulp as well.
    ExpectWithinOneUlp("Exp", Exp, [](double x) { return std::exp(x); },
                       Uniform(random, -745.2, 709.8), kSweep / 4);
}

TEST_F(PortableMathAccuracyTest, Tanh) {
    ExpectWithinOneUlp("Tanh", Tanh, ReferenceTanh, Uniform(random, -25.0, 25.0), kSweep);
    ExpectWithinOneUlp("Tanh", Tanh, ReferenceTanh, Uniform(random, -1.0, 1.0), kSweep);
    // Both sides of the switch from the series to the exponential form.
    ExpectWithinOneUlp("Tanh", Tanh, ReferenceTanh, Uniform(random, 0.2, 0.3), kSweep);
    ExpectWithinOneUlp("Tanh", Tanh, ReferenceTanh, Logarithmic(random, -80.0, 5.0), kSweep);
}

TEST_F(PortableMathAccuracyTest, SinAndCos) {
    for (auto [lo, hi] : {std::pair{-4.0, 4.0}, std::pair{-1e6, 1e6}}) {
        ExpectWithinOneUlp("Sin", Sin, ReferenceSin, Uniform(random, lo, hi), kSweep);
        ExpectWithinOneUlp("Cos", Cos, ReferenceCos, Uniform(random, lo, hi), kSweep);
    }
    ExpectWithinOneUlp("Sin", Sin, ReferenceSin, Logarithmic(random, -80.0, 20.5), kSweep);
    ExpectWithinOneUlp("Cos", Cos, ReferenceCos, Logarithmic(random, -80.0, 20.5), kSweep);
    // glibc's double sin and cos are within about half an ulp as well.
    ExpectWithinOneUlp("Sin", Sin, [](double x) { return std::sin(x); },
                       Uniform(random, -1e6, 1e6), kSweep / 4);
    ExpectWithinOneUlp("Cos", Cos, [](double x) { return std::cos(x); },
                       Uniform(random, -1e6, 1e6), kSweep / 4);
}

// The doubles nearest to k pi/2 leave a reduced argument of about an ulp of
// x, where the reduction must keep its relative accuracy: sin is tiny at
// even k and cos at odd k.
TEST_F(PortableMathAccuracyTest, SinCosNearMultiplesOfHalfPi) {
    const long double halfPi = std::numbers::pi_v<long double> / 2;
    int count = 0;
    auto source = [&] {
        const long double k = static_cast<long double>(1 + (count++ * 7919L) % 1018000);
        return static_cast<double>(k * halfPi);
    };
    ExpectWithinOneUlp("Sin", Sin, ReferenceSin, source, kSweep / 2);
    count = 0;
    ExpectWithinOneUlp("Cos", Cos, ReferenceCos, source, kSweep / 2);
    // And their neighbours a few units away.
    count = 0;
    auto neighbours = [&] { return std::nextafter(std::nextafter(source(), 0.0), 0.0); };
    ExpectWithinOneUlp("Sin", Sin, ReferenceSin, neighbours, kSweep / 2);
    count = 0;
    ExpectWithinOneUlp("Cos", Cos, ReferenceCos, neighbours, kSweep / 2);
}

}  // namespace
