// Each form names the argument of its exponential and how the result follows
// from it, written exactly as in TransferFloat, so that the vector loop of
// MapThroughExp gives the bits of the scalar function; arguments outside the
// kernel's range are redone by TransferFloat itself.
#include "backprop/transfer_float_slab.h"

#include <cstring>

#include "backprop/logistic_checked.h"
#include "backprop/transfer_float.h"
#include "core/exp_map.h"
#include "core/row_sums_wide.h"
#include "core/select_bits.h"

namespace koru::bp {

namespace {

template <int Code>
struct ScalarTransfer {
    static float Scalar(float x) {
        float sum = 0.0f;
        return TransferFloat<Code>(x, sum);
    }
};

// The logistic forms give their limit below -50: the quotient is computed
// for every neuron and the limit picked by its bits, so the loop never
// branches.
struct Logistic : ScalarTransfer<KORU32_TRANSFER_LOGISTIC> {
    static double Argument(float x) { return -static_cast<double>(x); }
    static float Finish(float x, double, double e) {
        return SelectBits(x < kLogisticFloor, 0.0f, static_cast<float>(1.0 / (1.0 + e)));
    }
};

struct SymmetricLogistic : ScalarTransfer<KORU32_TRANSFER_SYMMETRIC_LOGISTIC> {
    static double Argument(float x) { return -static_cast<double>(x); }
    static float Finish(float x, double, double e) {
        return SelectBits(x < kLogisticFloor, -1.0f, static_cast<float>(2.0 / (1.0 + e) - 1.0));
    }
};

struct Gaussian : ScalarTransfer<KORU32_TRANSFER_GAUSSIAN> {
    static double Argument(float x) {
        const double xd = x;
        return -(xd * xd);
    }
    static float Finish(float, double, double e) { return static_cast<float>(e); }
};

struct GaussianComplement : ScalarTransfer<KORU32_TRANSFER_GAUSSIAN_COMPLEMENT> {
    static double Argument(float x) {
        const double xd = x;
        return -(xd * xd);
    }
    static float Finish(float, double, double e) { return static_cast<float>(1.0 - e); }
};

KORU_VECTOR_CLONES void LogisticThroughExp(float* values, uint32_t n) { MapThroughExp(values, n, Logistic{}); }

#if defined(KORU_WIDE_ROW_SUMS)
const bool checkedLogistic = wide::Supported();
#endif

}  // namespace

void LogisticOfSlab(float* values, uint32_t n) {
#if defined(KORU_WIDE_ROW_SUMS)
    // In 512-bit registers the shorter route, checked neuron by neuron.
    if (checkedLogistic) {
        checked::LogisticOfSlab(values, n);
        return;
    }
#endif
    LogisticThroughExp(values, n);
}

KORU_VECTOR_CLONES void SymmetricLogisticOfSlab(float* values, uint32_t n) {
    MapThroughExp(values, n, SymmetricLogistic{});
}

// The input each neuron's derivative needs is its value before the transfer.
KORU_VECTOR_CLONES void GaussianOfSlab(float* values, float* sums, uint32_t n) {
    std::memmove(sums, values, size_t{n} * sizeof(float));
    MapThroughExp(values, n, Gaussian{});
}

KORU_VECTOR_CLONES void GaussianComplementOfSlab(float* values, float* sums, uint32_t n) {
    std::memmove(sums, values, size_t{n} * sizeof(float));
    MapThroughExp(values, n, GaussianComplement{});
}

}  // namespace koru::bp
