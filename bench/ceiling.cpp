#include "ceiling.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

namespace {

inline float AddTerm(float value, double x, float w) { return static_cast<float>(value + x * w); }

}  // namespace

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void CeilingLayer(const float* __restrict x, const float* __restrict weights, float* __restrict values,
                  uint32_t rows, uint32_t cols) {
    uint32_t k = 0;
    for (; k + 4 <= rows; k += 4) {
        const double x0 = x[k], x1 = x[k + 1], x2 = x[k + 2], x3 = x[k + 3];
        const float* w0 = weights + size_t{k} * cols;
        const float* w1 = w0 + cols;
        const float* w2 = w1 + cols;
        const float* w3 = w2 + cols;
        for (uint32_t j = 0; j < cols; ++j) {
            float v = values[j];
            v = AddTerm(v, x0, w0[j]);
            v = AddTerm(v, x1, w1[j]);
            v = AddTerm(v, x2, w2[j]);
            v = AddTerm(v, x3, w3[j]);
            values[j] = v;
        }
    }
    for (; k < rows; ++k) {
        const double xk = x[k];
        const float* w = weights + size_t{k} * cols;
        for (uint32_t j = 0; j < cols; ++j) values[j] = AddTerm(values[j], xk, w[j]);
    }
}

double CeilingTermsPerSecond(uint32_t rows, uint32_t cols, double seconds) {
    std::vector<float> x(rows), w(size_t{rows} * cols), v(cols, 0.0f);
    for (uint32_t k = 0; k < rows; ++k) x[k] = 0.001f * static_cast<float>(k % 97);
    for (size_t i = 0; i < w.size(); ++i) w[i] = 0.0001f * static_cast<float>(i % 89) - 0.004f;
    using Clock = std::chrono::steady_clock;
    double best = 0.0;
    const uint64_t terms = uint64_t{rows} * cols;
    uint64_t passes = 1;
    // Grow the pass count until one run takes a tenth of the time budget.
    for (;;) {
        const auto start = Clock::now();
        for (uint64_t p = 0; p < passes; ++p) CeilingLayer(x.data(), w.data(), v.data(), rows, cols);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed >= seconds / 10 || passes > (uint64_t{1} << 40)) break;
        passes *= 2;
    }
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        for (uint64_t p = 0; p < passes; ++p) CeilingLayer(x.data(), w.data(), v.data(), rows, cols);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed > 0) best = std::max(best, static_cast<double>(terms * passes) / elapsed);
    }
    // Keep the values alive so the work is not dropped.
    volatile float sink = v[0];
    (void)sink;
    return best;
}

}  // namespace bench
