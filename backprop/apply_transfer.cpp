// The transfer function applied to a whole slab, after its forward pass.
#include "backprop/backprop.h"
#include "backprop/transfer_fixed.h"
#include "backprop/transfer_fixed_slab.h"
#include "backprop/transfer_float.h"
#include "backprop/transfer_float_slab.h"

namespace koru::bp {

namespace {

template <int Code>
void ApplyFloat(float* values, float* sums, uint32_t n) {
    // The forms built on the exponential go through its vector loop.
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return LogisticOfSlab(values, n);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return SymmetricLogisticOfSlab(values, n);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN) {
        return GaussianOfSlab(values, sums, n);
    } else if constexpr (Code == KORU32_TRANSFER_GAUSSIAN_COMPLEMENT) {
        return GaussianComplementOfSlab(values, sums, n);
    }
    float unused = 0.0f;
    for (uint32_t j = 0; j < n; ++j) {
        if constexpr (KeepsSum(Code)) {
            values[j] = TransferFloat<Code>(values[j], sums[j]);
        } else {
            values[j] = TransferFloat<Code>(values[j], unused);
        }
    }
}

template <int Code>
void ApplyFixed(int32_t* values, int32_t* sums, uint32_t n) {
    // The forms that are a plain table read go through its vector loop.
    if constexpr (Code == KORU32_TRANSFER_LOGISTIC) {
        return TableOfSlab(values, n, LogisticTable);
    } else if constexpr (Code == KORU32_TRANSFER_TANH) {
        return TableOfSlab(values, n, TanhTable);
    } else if constexpr (Code == KORU32_TRANSFER_TANH15) {
        return TableOfSlab(values, n, Tanh15Table);
    } else if constexpr (Code == KORU32_TRANSFER_SYMMETRIC_LOGISTIC) {
        return TableOfSlab(values, n, SymmetricLogisticTable);
    }
    int32_t unused = 0;
    for (uint32_t j = 0; j < n; ++j) {
        if constexpr (KeepsSum(Code)) {
            values[j] = TransferFixed<Code>(values[j], sums[j]);
        } else {
            values[j] = TransferFixed<Code>(values[j], unused);
        }
    }
}

}  // namespace

void ApplyTransfer(SlabRecord& slab, bool floatNet) {
    ValueArray& values = *slab.values;
    ValueArray& sums = *slab.sums;
    const uint32_t n = values.count;
    // A code outside 0..7 passes the values unchanged.
    if (floatNet) {
        WithTransferCode(slab.transfer, [&](auto code) {
            ApplyFloat<decltype(code)::value>(values.Floats(), sums.Floats(), n);
        });
    } else {
        WithTransferCode(slab.transfer, [&](auto code) {
            ApplyFixed<decltype(code)::value>(values.Fixed(), sums.Fixed(), n);
        });
    }
}

}  // namespace koru::bp
