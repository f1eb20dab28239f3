#include "ceiling.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/row_terms.h"
#include "core/rows_in_memory_order.h"
#include "core/vector_clones.h"

namespace bench {

// The engine's own portable row sum with the forward pass's term: every term
// exact in double, the sum rounded to single after each.
KORU_VECTOR_CLONES void CeilingLayer(const float* x, const float* weights, float* values, uint32_t rows,
                                     uint32_t cols) {
    koru::AddRowsInMemoryOrder(values, x, weights, rows, cols, cols,
                               [](float v, float xk, float w) __attribute__((always_inline)) {
                                   return koru::row_terms::AddTerm<koru::row_terms::Dot>(v, xk, w);
                               });
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
