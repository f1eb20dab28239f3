// The row sums against the loop as the rule reads (destination by
// destination, source by source, one rounding to single after each term),
// with the register-block loops and with the portable ones: every column
// count from 1 to 70 (blocks of 64 and 32, whole registers after them, a
// masked register, the few-column path), strides wider than the columns, row
// counts crossing the chunks of rows, long rows over few columns, and values
// of every magnitude plus zeros of both signs, subnormals, infinities and NaN,
// and dot products whose first term meets the double rounding's ties.
// A guard element past the last column and past the weights must stay.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "common/float_bits.h"
#include "core/row_sums.h"

namespace {

struct Rule { const char* name; void (*rows)(float*, const float*, const float*, uint32_t, uint32_t, uint32_t); double (*term)(double, double); };
const Rule kRules[] = {
    {"dot", koru::AddRowsDot, [](double x, double w) { return x * w; }},
    {"city block", koru::AddRowsCityBlock, [](double x, double w) { return std::fabs(x - w); }},
    {"squared", koru::AddRowsSquared, [](double x, double w) { return (x - w) * (x - w); }},
};

float RandomValue(std::mt19937& random) {
    const float specials[] = {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), -1e-40f,
                              std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 3e38f, -3e38f};
    if (random() % 64 == 0) return specials[random() % 8];
    const float value = std::ldexp(std::uniform_real_distribution<float>(1.0f, 2.0f)(random), static_cast<int>(random() % 25) - 12);
    return random() % 2 ? -value : value;
}

// Equal bits, or NaN on both sides (which NaN a sum of two NaNs keeps is the processor's choice).
bool SameValue(float a, float b) { return koru_test::BitsOf(a) == koru_test::BitsOf(b) || (std::isnan(a) && std::isnan(b)); }

// Multiples of 2^-10 within +-2 (the grid on which the comparison terms are
// exact in single precision), its edges, and now and then a value just off it.
float GridValue(std::mt19937& random) {
    const float edges[] = {2.0f, -2.0f, 2.0009766f, 0x1p-11f, -0.0f};
    if (random() % 1500 == 0) return edges[random() % 5];
    return random() % 2 ? static_cast<float>(static_cast<int>(random() % 4097) - 2048) / 1024.0f : static_cast<float>(random() % 17) / 16.0f;
}

// Forced onto the register-block loops, and chosen by shape (the portable
// ones); then the register blocks on values on the grid, the matrices up to
// 600 columns wide; then the dot product over long rows of weights 0, 1 and
// -1, now and then another; last the dot product's ties.
TEST(RowSums, EveryShapeGivesTheBitsOfTheDefinedOrder) {
    std::mt19937 random(61206);
    const bool previous = koru::UseWideRowSums(false);
    for (int pass = 0; pass < 3 * 3 + 2; ++pass) {
        koru::UseWideRowSums(pass >= 3);
        const bool grid = pass >= 6 && pass < 9, units = pass == 9, ties = pass == 10;
        const Rule& rule = kRules[ties ? 0 : pass % 3];
        const uint32_t first = grid ? 60 : 1, last = grid ? 600 : units ? 15 : 70, step = grid ? 28 : 1;
        for (uint32_t cols = first; cols <= last; cols += step) {
            // Long rows over few columns: the link out of the pattern units.
            const uint32_t rows = cols % 3 == 0 ? 300 : cols % 3 == 1 ? 5 : cols < 16 ? 257 : grid ? 40 : 0, stride = cols + cols % 4;
            std::vector<float> source(rows), weights(size_t{rows} * stride + 1), dest(stride + 1);
            for (auto* v : {&source, &weights, &dest})
                for (float& x : *v) x = grid && v != &dest ? GridValue(random) : RandomValue(random);
            // A first block whose first row has weights, or a source value, off
            // the grid, where single precision would show: it must take the double loop.
            const bool offWeights = cols % 3 == 1;
            for (uint32_t j = 0; grid && cols % 3 != 0 && j < 64; ++j)
                source[0] = offWeights ? 2.0f : 0.1f, dest[j] = 0.0f, weights[j] = offWeights ? 0.1f * (j + 1) : (j % 33) / 16.0f;
            const float unitWeights[] = {0.0f, 1.0f, -1.0f, -0.0f, 1.0f, 0.0f, 0.0f, 0.3f};
            for (float& w : weights) w = units ? unitWeights[random() % (random() % 600 == 0 ? 8 : 7)] : w;
            // In the last column (the first for odd counts) 1 + 2^-23 plus a product 2^-54
            // short of 2^-24: rounded to double a tie between singles, which goes to even,
            // where a fused step would not; the later source values 0, so that no larger
            // term hides it.
            const uint32_t tied = cols % 2 ? 0 : cols - 1;
            if (ties && rows > 0) source[0] = 1.0f - 0x1p-15f, dest[tied] = 1.0f + 0x1p-23f, weights[tied] = 0x1.0002p-24f;
            for (uint32_t k = 1; ties && k < rows; ++k) source[k] = 0.0f;
            std::vector<float> expected = dest;
            for (uint32_t j = 0; j < cols; ++j)
                for (uint32_t k = 0; k < rows; ++k) expected[j] = static_cast<float>(double(expected[j]) + rule.term(source[k], weights[size_t{k} * stride + j]));
            rule.rows(dest.data(), source.data(), weights.data(), rows, cols, stride);
            for (size_t j = 0; j < dest.size(); ++j)
                ASSERT_TRUE(SameValue(dest[j], expected[j])) << rule.name << (pass >= 3 ? " wide, " : ", ") << (grid ? "on the grid, " : "") << rows << " rows x " << cols << " columns, column " << j;
        }
    }
    koru::UseWideRowSums(previous);
}

}  // namespace
