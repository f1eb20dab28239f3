// The transfer functions and their two derivative forms in 8.24 fixed point
// (nets of any format but float32): integer arithmetic only, the functions
// read from the interpolated tables, every product a FixedMul (floor of the
// exact product) and every sum a 32-bit wrapping addition. The products nest
// exactly as written beside each code.
#pragma once

#include <cstdint>

#include "backprop/transfer_code.h"
#include "backprop/transfer_tables.h"
#include "core/fixed_point.h"

namespace koru::bp {

inline constexpr int32_t kFixedHalf = 0x800000;
inline constexpr int32_t kFixedOneAndHalf = 0x1800000;
inline constexpr int32_t kFixedTwo = 0x2000000;
inline constexpr int32_t kFixedMinusTwo = -0x2000000;
inline constexpr int32_t kFixedTen = 0x0A000000;
inline constexpr int32_t kFixedTenth = 1677721;          // 0.1, truncated
inline constexpr int32_t kFixedSineLimit = 26353567;     // 1.570795, truncated

// Output of a neuron from its summed input x. There is no -50 guard: below
// the tables' range their first entry stands.
template <int Code>
inline int32_t TransferFixed(int32_t x, int32_t& sum) {
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return TableLookup(LogisticTable, x);
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        if (x > kFixedTen) return kFixedTen;
        if (x < -kFixedTen) return -kFixedTen;
        return x;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return TableLookup(TanhTable, x);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        sum = x;
        return TableLookup(GaussianTable, x);
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        if (x > kFixedSineLimit) x = kFixedSineLimit;
        if (x < -kFixedSineLimit) x = -kFixedSineLimit;
        sum = x;
        return TableLookup(SineTable, x);
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return TableLookup(Tanh15Table, x);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return TableLookup(SymmetricLogisticTable, x);
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        sum = x;
        return WrapSub(kFixedOneBits, TableLookup(GaussianTable, x));
    }
}

// Delta of an output neuron: output y, stored input s, error e = target - y.
template <int Code>
inline int32_t OutputDeltaFixed(int32_t y, int32_t s, int32_t e) {
    const int32_t oneMinusY = WrapSub(kFixedOneBits, y);
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return FixedMul(e, WrapAdd(FixedMul(y, oneMinusY), kFixedTenth));
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        return e;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return FixedMul(e, WrapSub(kFixedOneBits, FixedMul(y, y)));
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        return FixedMul(e, FixedMul(y, FixedMul(kFixedMinusTwo, s)));
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        return FixedMul(e, TableLookup(CosineTable, s));
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return FixedMul(kFixedOneAndHalf, FixedMul(e, WrapSub(kFixedOneBits, FixedMul(y, y))));
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return FixedMul(e, FixedMul(kFixedHalf, FixedMul(WrapAdd(kFixedOneBits, y), oneMinusY)));
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        return FixedMul(e, FixedMul(oneMinusY, FixedMul(kFixedTwo, s)));
    }
}

// Delta of a hidden neuron from y, s and its back-propagated error sum d.
template <int Code>
inline int32_t HiddenDeltaFixed(int32_t y, int32_t s, int32_t d) {
    const int32_t oneMinusY = WrapSub(kFixedOneBits, y);
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return FixedMul(FixedMul(y, oneMinusY), d);
    } else if constexpr (Code == KORU32_TRANSFER_LINEAR) {
        return d;
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return FixedMul(WrapSub(kFixedOneBits, FixedMul(y, y)), d);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        return FixedMul(y, FixedMul(kFixedMinusTwo, FixedMul(s, d)));
    } else if constexpr (Code == KORU32_TRANSFER_SINE) {
        return FixedMul(TableLookup(CosineTable, s), d);
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return FixedMul(kFixedOneAndHalf, FixedMul(WrapSub(kFixedOneBits, FixedMul(y, y)), d));
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return FixedMul(kFixedHalf, FixedMul(WrapAdd(kFixedOneBits, y), FixedMul(oneMinusY, d)));
    } else {
        static_assert(Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT);
        return FixedMul(oneMinusY, FixedMul(kFixedTwo, FixedMul(s, d)));
    }
}

}  // namespace koru::bp
