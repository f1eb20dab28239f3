// The engine's own exponential, hyperbolic tangent, sine and cosine.
//
// Every routine uses only IEEE double additions, subtractions,
// multiplications, divisions and bit operations, each rounded once to nearest
// (the build keeps the compiler from fusing a multiply and an add, and the
// 32-bit build computes in SSE registers, not in the x87 unit). No runtime
// library function is called, so the results are the same bits on every
// platform. Each function stays within one unit in the last place of the
// exact result; the error budget of each step is noted where it is spent.
//
// Building blocks:
// - exp (its kernel in core/exp_kernel.h, shared with the array loops):
//   x = (32 m + j) ln2/32 + r with |r| <= ln2/64, so
//   e^x = 2^m * 2^(j/32) * e^r; 2^(j/32) comes from a 32-entry table held as
//   a head and a tail (together accurate to about 2^-106), e^r - 1 from a
//   short polynomial.
// - tanh: the polynomial x + x^3 R(x^2) near zero; further out
//   1 - 2/(e^(2|x|) + 1), with e^(2|x|) from the exp kernel and the division
//   carried in double-double so that the cancellation 1 - q costs nothing.
// - sin, cos: x = n pi/2 + r with |r| <= pi/4 (pi/2 held in four parts, so
//   the reduced argument keeps its relative accuracy even for x very close
//   to a multiple of pi/2), then the polynomial for sin or cos of r chosen by
//   the quadrant n mod 4.
//
// The polynomial coefficients are weighted minimax fits computed in 50-digit
// arithmetic, each coefficient rounded to double before the following ones
// were refitted; the maximum approximation error of each is given with it.
#include "core/portable_math.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "core/exp_kernel.h"

namespace koru {

namespace {

using namespace exp_kernel;

// The magnitude of `value` with the sign of `signSource`.
inline double WithSignOf(double value, double signSource) {
    return FromBits((BitsOf(value) & ~kSignBit) | (BitsOf(signSource) & kSignBit));
}

// Exact sum: a + b == sum + error, for any a and b (Knuth's TwoSum).
inline void TwoSum(double a, double b, double& sum, double& error) {
    sum = a + b;
    const double bPart = sum - a;
    const double aPart = sum - bPart;
    error = (a - aPart) + (b - bPart);
}

// Exact product without a fused multiply-add: a * b == product + error, for
// operands far from overflow (Dekker's product with Veltkamp's splitting into
// two halves of 26 bits, whose partial products are all exact).
inline void SplitHalves(double a, double& high, double& low) {
    const double scaled = a * 134217729.0;  // 2^27 + 1
    high = scaled - (scaled - a);
    low = a - high;
}

inline void TwoProduct(double a, double b, double& product, double& error) {
    product = a * b;
    double aHigh, aLow, bHigh, bLow;
    SplitHalves(a, aHigh, aLow);
    SplitHalves(b, bHigh, bLow);
    error = ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// ---------------------------------------------------------------------------
// Hyperbolic tangent

// Below this magnitude tanh x = x + x^3 R(x^2); from here on the exponential
// form, whose only cancellation (1 - q) is carried exactly.
constexpr double kTanhSeriesLimit = 0.25;
// From here on tanh x rounds to 1 (1 - tanh x < 2e-19 < 2^-54).
constexpr double kTanhSaturation = 22.0;

// tanh x = x + x^3 R(x^2) on |x| <= 1/4; error below 2^-64 relative to x.
constexpr double kTanhR0 = -0x1.5555555555555p-2;
constexpr double kTanhR1 = 0x1.1111111110f10p-3;
constexpr double kTanhR2 = -0x1.ba1ba1b9b2e67p-5;
constexpr double kTanhR3 = 0x1.664f4835c47c2p-6;
constexpr double kTanhR4 = -0x1.226e170741732p-7;
constexpr double kTanhR5 = 0x1.d6c617d477247p-9;
constexpr double kTanhR6 = -0x1.7bd965b5ddde9p-10;
constexpr double kTanhR7 = 0x1.151d0246f7e7cp-11;

// tanh a for 1/4 <= a < 22, as 1 - q with q = 2/(e^(2a) + 1).
inline double TanhFromExp(double a) {
    const ExpParts e = ExpKernel(a + a);
    // e^(2a) = big + small exactly scaled (0 <= scale <= 63).
    const double power = PowerOfTwo(e.scale);
    const double big = e.head * power;
    const double small = e.tail * power;
    // d = e^(2a) + 1 as a normalised double-double (big >= 1, so the first
    // sum is Fast2Sum and its error is exact).
    const double sum = big + 1.0;
    const double sumError = ((big - sum) + 1.0) + small;
    const double dHigh = sum + sumError;
    const double dLow = (sum - dHigh) + sumError;
    // q = 2/d: the quotient of the heads, corrected by the exact remainder.
    const double qHigh = 2.0 / dHigh;
    double product, productError;
    TwoProduct(qHigh, dHigh, product, productError);
    const double remainder = ((2.0 - product) - productError) - qHigh * dLow;
    const double qLow = remainder / dHigh;
    // 1 - q: the difference of the heads with its exact rounding error.
    const double difference = 1.0 - qHigh;
    const double differenceError = (1.0 - difference) - qHigh;
    return difference + (differenceError - qLow);
}

// ---------------------------------------------------------------------------
// Sine and cosine

// Up to here the reduction keeps n below 2^20, so n times each 33-bit part of
// pi/2 is exact; beyond it only a coarse reduction is made.
constexpr double kAccurateReductionLimit = 1.6e6;

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiOverTwo = 0x1.921fb54442d18p+0;
// pi/2 = kPiOverTwo1 + kPiOverTwo2 + kPiOverTwo3 + kPiOverTwo4 to about
// 2^-156; the first three parts have at most 33 significant bits.
constexpr double kPiOverTwo1 = 0x1.921fb54400000p+0;
constexpr double kPiOverTwo2 = 0x1.0b4611a600000p-34;
constexpr double kPiOverTwo3 = 0x1.3198a2e000000p-69;
constexpr double kPiOverTwo4 = 0x1.b839a252049c1p-104;

// sin r = r + r^3 S(r^2) on |r| <= pi/4; error below 2^-58 relative to r.
constexpr double kSinS1 = -0x1.5555555555549p-3;
constexpr double kSinS2 = 0x1.111111110f8a6p-7;
constexpr double kSinS3 = -0x1.a01a019c16180p-13;
constexpr double kSinS4 = 0x1.71de357b1887ep-19;
constexpr double kSinS5 = -0x1.ae5e689b04ed3p-26;
constexpr double kSinS6 = 0x1.5d93a2f1f1c0ap-33;

// cos r = 1 - r^2/2 + r^4 C(r^2) on |r| <= pi/4; error below 2^-64.
constexpr double kCosC1 = 0x1.555555555554cp-5;
constexpr double kCosC2 = -0x1.6c16c16c1521fp-10;
constexpr double kCosC3 = 0x1.a01a019cbf61dp-16;
constexpr double kCosC4 = -0x1.27e4f812b50fdp-22;
constexpr double kCosC5 = 0x1.1ee9f150fef6dp-29;
constexpr double kCosC6 = -0x1.8fb12fd1ca6f3p-37;

// sin(r + t) for |r| <= pi/4 (a little beyond is harmless) and |t| at most
// half an ulp of r: sin(r + t) ~ sin r + t cos r ~ r + r^3 S + t - t r^2/2,
// summed from the smallest terms up so that r is added last.
inline double SinKernel(double r, double t) {
    const double z = r * r;
    const double v = z * r;
    const double rest = kSinS2 + z * (kSinS3 + z * (kSinS4 + z * (kSinS5 + z * kSinS6)));
    return r - ((z * (0.5 * t - v * rest) - t) - v * kSinS1);
}

// cos(r + t) ~ 1 - r^2/2 + r^4 C - r t. 1 - r^2/2 is rounded once and its
// exact rounding error put back with the small terms (1 - w is exact since
// w lies in [0.69, 1]).
inline double CosKernel(double r, double t) {
    const double z = r * r;
    const double tail =
        z * z * (kCosC1 + z * (kCosC2 + z * (kCosC3 + z * (kCosC4 + z * (kCosC5 + z * kCosC6)))));
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    return w + (((1.0 - w) - half) + (tail - r * t));
}

// a reduced to r + t (double-double) in [-pi/4, pi/4] about the multiple
// quadrant * pi/2 nearest to a, for 0 <= a < kAccurateReductionLimit.
inline void ReduceAccurately(double a, double& r, double& t, std::int32_t& quadrant) {
    const RoundedInteger n = RoundToInteger(a * kTwoOverPi);
    // a - n P1 is exact (n P1 has at most 53 bits and lies within a factor of
    // two of a when n > 0); the next two parts are subtracted exactly with
    // their rounding errors kept, the last part's product rounds below 2^-136.
    const double first = a - n.value * kPiOverTwo1;
    double second, secondError, third, thirdError;
    TwoSum(first, -(n.value * kPiOverTwo2), second, secondError);
    TwoSum(second, -(n.value * kPiOverTwo3), third, thirdError);
    const double rest = (secondError + thirdError) - n.value * kPiOverTwo4;
    TwoSum(third, rest, r, t);
    quadrant = n.integer;
}

// An integral double nearest to v >= 0 (doubles from 2^52 up are integral).
inline double RoundNonNegative(double v) {
    return v < 0x1p52 ? (v + 0x1p52) - 0x1p52 : v;
}

// For a >= kAccurateReductionLimit: the fractional part of a * 2/pi, taken
// after the product has rounded, so r is only loosely related to the exact
// reduced argument (the product's rounding error grows with a, and from
// 2^53 on the product is an integer and r is 0). It always lies in
// [-pi/4, pi/4], so the result stays in [-1, 1], and needs no loop.
inline void ReduceCoarsely(double a, double& r, double& t, std::int32_t& quadrant) {
    const double turns = a * kTwoOverPi;
    const double n = RoundNonNegative(turns);
    r = (turns - n) * kPiOverTwo;
    t = 0.0;
    // n mod 4 exactly: n/4 is exact, and n - 4 * floor(n/4) is a small
    // integer computed without rounding.
    const double quarter = n * 0.25;
    double whole = RoundNonNegative(quarter);
    if (whole > quarter) whole -= 1.0;
    quadrant = static_cast<std::int32_t>(n - 4.0 * whole);
}

// sin a (cosine = false) or cos a (cosine = true) for a >= 0, not NaN or
// infinite. Both kernels are evaluated and the quadrant picks one by bit
// masks, so no branch depends on the argument's value.
inline double SinOrCosOfMagnitude(double a, bool cosine) {
    double r, t;
    std::int32_t quadrant;
    if (a < kAccurateReductionLimit) {
        ReduceAccurately(a, r, t, quadrant);
    } else {
        ReduceCoarsely(a, r, t, quadrant);
    }
    // cos a = sin(a + pi/2): one quadrant further.
    const auto q = static_cast<std::uint32_t>(quadrant) + (cosine ? 1u : 0u);
    const std::uint64_t sinBits = BitsOf(SinKernel(r, t));
    const std::uint64_t cosBits = BitsOf(CosKernel(r, t));
    const std::uint64_t takeCos = 0 - static_cast<std::uint64_t>(q & 1u);
    const std::uint64_t negate = static_cast<std::uint64_t>(q & 2u) << 62;
    return FromBits(((cosBits & takeCos) | (sinBits & ~takeCos)) ^ negate);
}

}  // namespace

double Exp(double x) {
    if (InsideNormalRange(x)) return ExpInsideNormalRange(x);
    if (x != x) return x + x;           // NaN stays NaN
    if (x > 709.79) return std::numeric_limits<double>::infinity();  // above e^709.79
    if (x < kZeroExpLimit) return 0.0;  // below 2^-1075: rounds to zero
    // Near overflow or in the subnormal range: scale in two halves so both
    // factors are normal; the second product is the only inexact step and
    // overflows or rounds into the subnormals correctly.
    const ExpParts e = ExpKernel(x);
    const int firstHalf = e.scale >> 1;
    return ((e.head + e.tail) * PowerOfTwo(firstHalf)) * PowerOfTwo(e.scale - firstHalf);
}

double Tanh(double x) {
    const double a = Magnitude(x);
    double result;
    if (a < kTanhSeriesLimit) {
        const double z = a * a;
        const double series =
            kTanhR0 + z * (kTanhR1 + z * (kTanhR2 + z * (kTanhR3 + z * (kTanhR4 +
            z * (kTanhR5 + z * (kTanhR6 + z * kTanhR7))))));
        result = a + (a * z) * series;  // x^3 R is below 2% of x
    } else if (a < kTanhSaturation) {
        result = TanhFromExp(a);
    } else if (x != x) {
        return x + x;
    } else {
        result = 1.0;
    }
    // Odd function: computing on |x| and restoring the sign keeps
    // Tanh(-x) == -Tanh(x) bit for bit, zeros included.
    return WithSignOf(result, x);
}

double Sin(double x) {
    const double a = Magnitude(x);
    if (!(a <= 0x1.fffffffffffffp+1023)) return x - x;  // NaN or infinite: NaN
    // Odd function: reduce |x| and restore the sign, so that
    // Sin(-x) == -Sin(x) bit for bit.
    return FromBits(BitsOf(SinOrCosOfMagnitude(a, false)) ^ (BitsOf(x) & kSignBit));
}

double Cos(double x) {
    const double a = Magnitude(x);
    if (!(a <= 0x1.fffffffffffffp+1023)) return x - x;  // NaN or infinite: NaN
    return SinOrCosOfMagnitude(a, true);  // even function
}

void ExactProduct(double a, double b, double& product, double& error) { TwoProduct(a, b, product, error); }

}  // namespace koru
