// The defined logistic is 1 / (1 + e^-x) in double precision, e^-x from the
// engine's exponential (within 0.53 units in the last place), rounded to
// single once. Here e^-x takes the same reduction, -x = (32 m + j) ln2/32 + r
// with |r| <= ln2/64, but with fused multiply-adds, the table's head alone,
// a power of two added to its exponent and a Taylor polynomial of degree 5
// (remainder below 2^-48.6): together within 2^-48.5 of the exact value,
// relative. After the addition and the division, each rounded once, the
// result is within 2^-48.4 of the exact logistic and the defined result
// within 2^-51.4, so the two differ by less than 2^5 units in the last place
// of a double. Two doubles that close round to the same single unless a
// midpoint between two singles lies between them, and the low 29 bits of the
// result show how far it is from the nearest midpoint: within 2^10 units
// (a margin of more than 30 times) the neuron is computed by the defined
// function itself, about one neuron in 2^18. So are the inputs outside the
// reduction's range here (above 708, NaN); below -50 the result is the
// limit 0, as defined.
#include "backprop/logistic_checked.h"

#if defined(KORU_WIDE_ROW_SUMS)

// GCC 12's intrinsics fill the unused operand of some conversions with a
// deliberately undefined register, which its own flow analysis then reports.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "backprop/transfer_float.h"
#include "core/exp_kernel.h"
#include "core/lanes_avx512.h"

#define KORU_CHECKED __attribute__((target("avx512f")))
#define KORU_CHECKED_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace koru::bp::checked {

namespace {

namespace ek = koru::exp_kernel;

constexpr double kLargestInput = 708.0;  // -x stays inside the normal range of e^-x
constexpr int64_t kMidpointBits = int64_t{1} << 28;  // the low 29 bits of a double halfway between singles
constexpr int64_t kBelowSingle = (int64_t{1} << 29) - 1;
constexpr int64_t kMargin = int64_t{1} << 10;

// 2^(j/32) for the low five bits of each lane of j, from four registers.
KORU_CHECKED_INLINE __m512d TableHead(__m512i j, const __m512d* head) {
    const __m512d low = _mm512_permutex2var_pd(head[0], j, head[1]);
    const __m512d high = _mm512_permutex2var_pd(head[2], j, head[3]);
    return _mm512_mask_blend_pd(_mm512_test_epi64_mask(j, _mm512_set1_epi64(16)), low, high);
}

// Eight neurons' results and, as the return value, the lanes whose result is
// not certain (to be left to the defined function).
KORU_CHECKED_INLINE __mmask8 EightNeurons(__m256 inputs, __m256& results, const __m512d* head) {
    const __m512d x = _mm512_cvtps_pd(inputs);
    const __m512d t = _mm512_castsi512_pd(_mm512_xor_epi64(_mm512_castpd_si512(x), _mm512_set1_epi64(INT64_MIN)));
    const __m512d shifted = _mm512_add_pd(_mm512_mul_pd(t, _mm512_set1_pd(ek::kThirtyTwoOverLn2)),
                                          _mm512_set1_pd(ek::kRoundShift));
    const __m512d n = _mm512_sub_pd(shifted, _mm512_set1_pd(ek::kRoundShift));
    __m512d r = _mm512_fmadd_pd(n, _mm512_set1_pd(-ek::kLn2By32Head), t);
    r = _mm512_fmadd_pd(n, _mm512_set1_pd(-ek::kLn2By32Tail), r);
    __m512d poly = _mm512_fmadd_pd(r, _mm512_set1_pd(1.0 / 120), _mm512_set1_pd(1.0 / 24));
    poly = _mm512_fmadd_pd(poly, r, _mm512_set1_pd(1.0 / 6));
    poly = _mm512_fmadd_pd(poly, r, _mm512_set1_pd(0.5));
    const __m512d expm1R = _mm512_fmadd_pd(_mm512_mul_pd(r, r), poly, r);
    // The integer n in the low 32 bits of the shifted sum: j its low five
    // bits, m the rest, added to the exponent of the table's entry.
    const __m512i integer = _mm512_castpd_si512(shifted);
    const __m512i m = _mm512_srai_epi64(_mm512_slli_epi64(integer, 32), 37);
    const __m512d scaled = _mm512_castsi512_pd(
        _mm512_add_epi64(_mm512_castpd_si512(TableHead(integer, head)), _mm512_slli_epi64(m, 52)));
    const __m512d e = _mm512_fmadd_pd(scaled, expm1R, scaled);
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d y = _mm512_div_pd(one, _mm512_add_pd(one, e));

    const __m512i distance = _mm512_abs_epi64(_mm512_sub_epi64(
        _mm512_and_epi64(_mm512_castpd_si512(y), _mm512_set1_epi64(kBelowSingle)), _mm512_set1_epi64(kMidpointBits)));
    const __mmask8 nearMidpoint = _mm512_cmplt_epi64_mask(distance, _mm512_set1_epi64(kMargin));
    const double floor = kLogisticFloor;
    const __mmask8 belowFloor = _mm512_cmp_pd_mask(x, _mm512_set1_pd(floor), _CMP_LT_OQ);
    const __mmask8 inRange = _mm512_cmp_pd_mask(x, _mm512_set1_pd(floor), _CMP_GE_OQ) &
                             _mm512_cmp_pd_mask(x, _mm512_set1_pd(kLargestInput), _CMP_LE_OQ);
    // Below the floor the limit 0 (all bits zero).
    results = _mm512_castps512_ps256(_mm512_maskz_mov_ps(static_cast<__mmask8>(~belowFloor),
                                                          _mm512_castps256_ps512(_mm512_cvtpd_ps(y))));
    return static_cast<__mmask8>(~(belowFloor | (inRange & static_cast<__mmask8>(~nearMidpoint))));
}

// The neurons of `left` taken by the defined function from their inputs;
// returns their number.
KORU_CHECKED uint32_t Redo(float* v, __m256 inputs, unsigned left) {
    if (left == 0) return 0;
    float x[8];
    _mm256_storeu_ps(x, inputs);
    uint32_t count = 0;
    for (; left != 0; left &= left - 1, ++count) {
        const auto lane = static_cast<uint32_t>(__builtin_ctz(left));
        float unused = 0.0f;
        v[lane] = TransferFloat<KORU32_TRANSFER_LOGISTIC>(x[lane], unused);
    }
    return count;
}

}  // namespace

// Whole blocks of eight through 256-bit loads and stores, so that no store
// covers the next block's load; the last few lanes loaded and stored in
// whole pieces (core/lanes_avx512.h).
KORU_CHECKED uint32_t LogisticOfSlab(float* values, uint32_t n) {
    const __m512d head[4] = {_mm512_loadu_pd(ek::kExp2Head), _mm512_loadu_pd(ek::kExp2Head + 8),
                             _mm512_loadu_pd(ek::kExp2Head + 16), _mm512_loadu_pd(ek::kExp2Head + 24)};
    uint32_t j = 0, redone = 0;
    __m256 results;
    for (; j + 8 <= n; j += 8) {
        const __m256 inputs = _mm256_loadu_ps(values + j);
        const __mmask8 left = EightNeurons(inputs, results, head);
        _mm256_storeu_ps(values + j, results);
        redone += Redo(values + j, inputs, left);
    }
    if (j == n) return redone;
    const __m256 inputs = LoadHalf(values + j, n - j);
    const unsigned left = EightNeurons(inputs, results, head) & ((1u << (n - j)) - 1u);
    StorePieces(values + j, _mm512_castps256_ps512(results), n - j);
    return redone + Redo(values + j, inputs, left);
}

}  // namespace koru::bp::checked

#endif
