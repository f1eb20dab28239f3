// The transfer functions over a whole slab against their neuron-by-neuron
// forms, bit for bit, in slabs of odd sizes: the float vector loop (through
// the exponential's kernel) at every magnitude, at the -50 floor, where the
// exponential leaves the kernel's range (|x| near 708 for the logistic forms,
// near 26.6 for the Gaussian forms), NaN and infinities; the 8.24 table reads
// around every node and both ends of every table, and words of every size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "backprop/logistic_checked.h"
#include "backprop/transfer_fixed_slab.h"
#include "backprop/transfer_float.h"
#include "backprop/transfer_float_slab.h"
#include "backprop/transfer_tables.h"
#include "common/float_bits.h"
#include "core/portable_math.h"
#include "core/row_sums_wide.h"

namespace {

using namespace koru::bp;
using koru_test::BitsOf;

const uint32_t kSizes[] = {1, 3, 7, 8, 17, 33, 63, 257};

template <int Code> void ExpectSlabMatchesNeurons(const std::vector<float>& inputs, void (*slabForm)(float*, float*, uint32_t)) {
    std::vector<float> values = inputs, sums(inputs.size(), 12345.0f);
    slabForm(values.data(), sums.data(), static_cast<uint32_t>(values.size()));
    for (size_t j = 0; j < inputs.size(); ++j) {
        float sum = 12345.0f;
        const float expected = TransferFloat<Code>(inputs[j], sum);
        ASSERT_TRUE(BitsOf(values[j]) == BitsOf(expected) && BitsOf(sums[j]) == BitsOf(sum))
            << "code " << Code << ", neuron " << j << " of " << inputs.size() << ", input " << inputs[j] << ": " << values[j] << ", " << sums[j];
    }
}

void ExpectEveryForm(const std::vector<float>& inputs) {
    ExpectSlabMatchesNeurons<KORU32_TRANSFER_LOGISTIC>(inputs, [](float* v, float*, uint32_t n) { LogisticOfSlab(v, n); });
    ExpectSlabMatchesNeurons<KORU32_TRANSFER_SYMMETRIC_LOGISTIC>(inputs, [](float* v, float*, uint32_t n) { SymmetricLogisticOfSlab(v, n); });
    ExpectSlabMatchesNeurons<KORU32_TRANSFER_GAUSSIAN>(inputs, GaussianOfSlab);
    ExpectSlabMatchesNeurons<KORU32_TRANSFER_GAUSSIAN_COMPLEMENT>(inputs, GaussianComplementOfSlab);
}

TEST(TransferSlabReference, EdgeInputsAmongOrdinaryOnesAndRandomInputsOfEveryMagnitude) {
    const float inf = std::numeric_limits<float>::infinity(), max = std::numeric_limits<float>::max(), tiny = std::numeric_limits<float>::denorm_min();
    std::vector<float> edges = {inf, -inf, std::nanf(""), 0.0f, -0.0f, max, -max, tiny, -tiny};
    // sqrt(708) = 26.608..., where -x^2 leaves the kernel's range.
    for (float centre : {-50.0f, 50.0f, 708.0f, -708.0f, 709.78f, -745.13f, 26.6082f, -26.6082f, 27.3f, 0.0f}) koru_test::AppendNeighbours(edges, centre, 30);
    ExpectEveryForm(edges);
    std::mt19937 random(77);
    std::uniform_real_distribution<float> ordinary(-8.0f, 8.0f), mantissa(1.0f, 2.0f);
    for (int round = 0; round < 200; ++round)
        for (uint32_t size : kSizes) {
            std::vector<float> inputs(size), any(size);
            for (float& x : inputs) x = ordinary(random);
            inputs[random() % size] = edges[random() % edges.size()];
            for (float& x : any) x = std::ldexp(mantissa(random), static_cast<int>(random() % 24) - 14) * (random() % 2 ? -1.0f : 1.0f);
            ASSERT_NO_FATAL_FAILURE(ExpectEveryForm(inputs));
            ASSERT_NO_FATAL_FAILURE(ExpectEveryForm(any));
        }
}

#if defined(KORU_WIDE_ROW_SUMS)
// The logistic's shorter route in 512-bit registers keeps a result only far
// from a midpoint between singles: of inputs whose defined result (in double)
// lies within 2^9 units in the last place of one, every one is left to the
// defined function, of those beyond 2^11 none; every result has the defined bits.
TEST(TransferSlabReference, CheckedLogisticLeavesResultsNearAMidpointToTheDefinedFunction) {
    if (!koru::wide::Supported()) GTEST_SKIP() << "no 512-bit registers";
    std::vector<float> inputs;
    size_t near = 0;
    for (float x = -6.0f; near < 16 && x < 0.0f; x = std::nextafter(x, 0.0f)) {
        const int64_t low = static_cast<int64_t>(BitsOf(1.0 / (1.0 + koru::Exp(-static_cast<double>(x)))) & ((1u << 29) - 1));
        const int64_t distance = std::llabs(low - (int64_t{1} << 28));
        if (distance < (1 << 9)) inputs.push_back(x), ++near;
        else if (distance > (1 << 11) && inputs.size() < 40 * near + 7) inputs.push_back(x);
    }
    std::vector<float> values = inputs;
    EXPECT_EQ(checked::LogisticOfSlab(values.data(), static_cast<uint32_t>(values.size())), near);
    for (size_t j = 0; j < inputs.size(); ++j) {
        float unused = 0.0f;
        ASSERT_EQ(BitsOf(values[j]), BitsOf(TransferFloat<KORU32_TRANSFER_LOGISTIC>(inputs[j], unused))) << "input " << inputs[j];
    }
}
#endif

TEST(TransferSlabReference, FixedTableReadsEqualTheLookupOfEachNeuron) {
    std::vector<int32_t> inputs = {INT32_MIN, INT32_MAX, 0, -1, 1};
    for (int64_t node = -260; node <= 260; ++node)
        for (int64_t offset : {-1, 0, 1, 4095, 4096, (1 << 19) - 1}) inputs.push_back(static_cast<int32_t>(node * (1 << 19) + offset));
    std::mt19937 random(1208);
    for (int i = 0; i < 4000; ++i) {
        const uint32_t word = static_cast<uint32_t>(random()) >> (random() % 32);
        inputs.push_back(static_cast<int32_t>(i % 2 ? word : 0u - word));
    }
    for (const int32_t* table : {koru::LogisticTable, koru::TanhTable, koru::Tanh15Table, koru::SymmetricLogisticTable})
        for (uint32_t size : kSizes)
            for (size_t start = 0; start + size <= inputs.size(); start += size) {
                std::vector<int32_t> values(inputs.begin() + start, inputs.begin() + start + size);
                TableOfSlab(values.data(), size, table);
                for (uint32_t j = 0; j < size; ++j)
                    ASSERT_EQ(values[j], koru::TableLookup(table, inputs[start + j])) << "input " << inputs[start + j] << ", neuron " << j << " of " << size;
            }
}

}  // namespace
