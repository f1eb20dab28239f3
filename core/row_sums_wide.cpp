// The row sums with blocks of destination sums held in 512-bit registers.
//
// The portable loops keep the running sums in memory and pass over them once
// per few rows; the sum of one destination then waits on a store and a load
// as well as on its chain of convert-add-round steps. Here a block of up to
// 64 destination sums (eight registers of eight doubles, each holding a
// value already rounded to single) stays in registers while a chunk of rows
// is added, so the only wait is the chain itself and the eight chains of a
// block run side by side. The last block takes the columns left over with a
// masked register (masked lanes neither read nor write memory). Chunks of
// rows keep the weights a block walks within the cache on wide matrices.
//
// Each lane performs exactly the scalar steps: the weight widened to double,
// the term in double, the sum in double, rounded to single, so every
// destination's bits are those of the plain loop.
#include "core/row_sums_wide.h"

#if defined(KORU_WIDE_ROW_SUMS)

// GCC 12's intrinsics fill the unused operand of the conversions with a
// deliberately undefined register, which its own flow analysis then reports.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <algorithm>

#define KORU_WIDE __attribute__((target("avx512f")))
#define KORU_WIDE_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace koru::wide {

namespace {

// Each term in double precision and, for the comparison terms, also in
// single precision (used only where it is exact: see AddBlockOnGrid).
struct Dot {
    static constexpr bool kHasSingles = false;
    static KORU_WIDE_INLINE __m512d Of(__m512d x, __m512d w) { return _mm512_mul_pd(x, w); }
};
struct CityBlock {
    static constexpr bool kHasSingles = true;
    static KORU_WIDE_INLINE __m512d Of(__m512d x, __m512d w) { return _mm512_abs_pd(_mm512_sub_pd(x, w)); }
    static KORU_WIDE_INLINE __m512 Of(__m512 x, __m512 w) { return _mm512_abs_ps(_mm512_sub_ps(x, w)); }
};
struct Squared {
    static constexpr bool kHasSingles = true;
    static KORU_WIDE_INLINE __m512d Of(__m512d x, __m512d w) {
        const __m512d difference = _mm512_sub_pd(x, w);
        return _mm512_mul_pd(difference, difference);
    }
    static KORU_WIDE_INLINE __m512 Of(__m512 x, __m512 w) {
        const __m512 difference = _mm512_sub_ps(x, w);
        return _mm512_mul_ps(difference, difference);
    }
};

constexpr uint32_t kLanes = 8;

KORU_WIDE_INLINE __m512d LoadWidened(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }

KORU_WIDE_INLINE __m512d LoadWidenedMasked(const float* p, __mmask16 lanes) {
    return _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_maskz_loadu_ps(lanes, p)));
}

KORU_WIDE_INLINE __m512d RoundedToSingle(__m512d sum) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(sum)); }

// Asks for the cache lines of `columns` floats of row k of the next block.
KORU_WIDE_INLINE void PrefetchRow(const float* prefetch, uint32_t k, uint32_t stride, uint32_t columns) {
    if (prefetch == nullptr) return;
    const float* next = prefetch + size_t{k} * stride;
    for (uint32_t line = 0; line < columns; line += 16) __builtin_prefetch(next + line);
}

// Full registers 0 .. Full - 1 and, if Partial, one more holding the lanes
// set in `lanes`: columns 0 .. 8 * Full (+ popcount(lanes)) - 1 of dest and
// of each weight row, over `rows` rows. With `prefetch` (the next block's
// columns of the first row, in the same matrix) each row also asks for the
// lines the next block will read of it, so that a wide matrix (the pattern
// units' store, one column per unit) arrives from the outer caches ahead of
// its block.
template <typename Term, uint32_t Full, bool Partial>
KORU_WIDE_INLINE void AddBlock(float* dest, const float* source, const float* w, uint32_t rows, uint32_t stride,
                               __mmask16 lanes, const float* prefetch = nullptr) {
    constexpr uint32_t kRegisters = Full + (Partial ? 1 : 0);
    __m512d sum[kRegisters];
    for (uint32_t r = 0; r < Full; ++r) sum[r] = LoadWidened(dest + r * kLanes);
    if constexpr (Partial) sum[Full] = LoadWidenedMasked(dest + Full * kLanes, lanes);
    for (uint32_t k = 0; k < rows; ++k, w += stride) {
        const __m512d x = _mm512_set1_pd(static_cast<double>(source[k]));
        PrefetchRow(prefetch, k, stride, kRegisters * kLanes);
#pragma GCC unroll 9
        for (uint32_t r = 0; r < kRegisters; ++r) {
            const __m512d weight =
                Partial && r == Full ? LoadWidenedMasked(w + r * kLanes, lanes) : LoadWidened(w + r * kLanes);
            sum[r] = RoundedToSingle(_mm512_add_pd(sum[r], Term::Of(x, weight)));
        }
    }
    for (uint32_t r = 0; r < Full; ++r) _mm256_storeu_ps(dest + r * kLanes, _mm512_cvtpd_ps(sum[r]));
    if constexpr (Partial) {
        _mm512_mask_storeu_ps(dest + Full * kLanes, lanes, _mm512_castps256_ps512(_mm512_cvtpd_ps(sum[Full])));
    }
}

// ---- Values on a grid: the comparison terms exact in single precision ----
//
// When the source values and the weights of a block are all multiples of
// 2^-10 no larger than 2 in magnitude (grey levels in sixteenths, binary
// attributes), each difference is a multiple of 2^-10 up to 4 and its
// square one of 2^-20 up to 16: both exact in single precision, as
// they are in double. The sum of two singles rounded to double and then to
// single is the sum rounded once to single (a double holds more than twice
// the bits of a single), so adding the terms in single precision, sixteen
// lanes to a register and with no conversions, gives the bits of the double
// loop. A block with any other value (or a sum that is not finite) takes the
// double loop.
constexpr float kGridScale = 1024.0f;  // 2^10
constexpr float kGridLimit = 2048.0f;  // 2 in units of 2^-10

KORU_WIDE_INLINE __mmask16 OnGrid(__m512 v) {
    const __m512 scaled = _mm512_mul_ps(v, _mm512_set1_ps(kGridScale));  // exact, or infinite
    const __m512 whole = _mm512_roundscale_ps(scaled, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    return _mm512_cmp_ps_mask(scaled, whole, _CMP_EQ_OQ) &
           _mm512_cmp_ps_mask(_mm512_abs_ps(scaled), _mm512_set1_ps(kGridLimit), _CMP_LE_OQ);
}

KORU_WIDE_INLINE bool SourceOnGrid(const float* source, uint32_t rows) {
    __mmask16 all = 0xFFFF;
    for (uint32_t k = 0; k < rows; k += 16) {
        const __mmask16 lanes =
            rows - k >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (rows - k)) - 1u);
        all &= OnGrid(_mm512_maskz_loadu_ps(lanes, source + k));  // unused lanes hold 0
    }
    return all == 0xFFFF;
}

// 64 columns of `rows` rows, as AddBlock<Term, 8, false>; `sourceOnGrid`
// tells whether source[0 .. rows - 1] are all on the grid.
template <typename Term>
KORU_WIDE_INLINE void AddBlockOnGrid(float* dest, const float* source, const float* w, uint32_t rows,
                                     uint32_t stride, bool sourceOnGrid, const float* prefetch) {
    constexpr uint32_t kRegisters = 4;
    if (sourceOnGrid) {
        __m512 sum[kRegisters];
        __mmask16 usable = 0xFFFF;
        for (uint32_t r = 0; r < kRegisters; ++r) {
            sum[r] = _mm512_loadu_ps(dest + 16 * r);
            usable &= _mm512_cmp_ps_mask(_mm512_abs_ps(sum[r]), _mm512_set1_ps(3.4028235e38f), _CMP_LE_OQ);
        }
        // The weights are checked row by row as they are added; at the first
        // one off the grid the sums, never stored, are redone in double.
        uint32_t k = 0;
        for (const float* row = w; k < rows && usable == 0xFFFF; ++k, row += stride) {
            __m512 weight[kRegisters];
            for (uint32_t r = 0; r < kRegisters; ++r) {
                weight[r] = _mm512_loadu_ps(row + 16 * r);
                usable &= OnGrid(weight[r]);
            }
            const __m512 x = _mm512_set1_ps(source[k]);
            PrefetchRow(prefetch, k, stride, 64);
            for (uint32_t r = 0; r < kRegisters; ++r) sum[r] = _mm512_add_ps(sum[r], Term::Of(x, weight[r]));
        }
        if (usable == 0xFFFF) {
            for (uint32_t r = 0; r < kRegisters; ++r) _mm512_storeu_ps(dest + 16 * r, sum[r]);
            return;
        }
    }
    AddBlock<Term, 8, false>(dest, source, w, rows, stride, 0, prefetch);
}

// The columns after the blocks of 32: 0 to 3 full registers and possibly a
// partial one, in one block so that their chains run side by side.
template <typename Term, bool Partial>
KORU_WIDE_INLINE void AddLastBlock(uint32_t full, float* dest, const float* source, const float* w, uint32_t rows,
                                   uint32_t stride, __mmask16 lanes) {
    switch (full) {
        case 0:
            if constexpr (Partial) AddBlock<Term, 0, true>(dest, source, w, rows, stride, lanes);
            break;
        case 1:
            AddBlock<Term, 1, Partial>(dest, source, w, rows, stride, lanes);
            break;
        case 2:
            AddBlock<Term, 2, Partial>(dest, source, w, rows, stride, lanes);
            break;
        default:
            AddBlock<Term, 3, Partial>(dest, source, w, rows, stride, lanes);
            break;
    }
}

// About 16 KB of weights per chunk of rows (at least 16 rows).
constexpr uint32_t kChunkElements = 4096;
constexpr uint32_t kMinChunkRows = 16;

template <typename Term>
KORU_WIDE_INLINE void AddRowsWide(float* dest, const float* source, const float* weights, uint32_t rows,
                                  uint32_t cols, uint32_t stride) {
    if (cols == 0) return;
    const uint32_t chunkRows = std::max(kMinChunkRows, kChunkElements / cols);
    const uint32_t blocksOf64 = cols / 64;
    const bool blockOf32 = cols % 64 >= 32;
    const uint32_t lastStart = cols - cols % 32;
    const uint32_t lastFull = cols % 32 / kLanes;
    const uint32_t partialLanes = cols % kLanes;
    const auto lanes = static_cast<__mmask16>((1u << partialLanes) - 1u);
    for (uint32_t k = 0; k < rows; k += chunkRows) {
        const uint32_t chunk = std::min(chunkRows, rows - k);
        const float* x = source + k;
        const float* w = weights + size_t{k} * stride;
        uint32_t j = 0;
        const bool sourceOnGrid = Term::kHasSingles && blocksOf64 > 0 && SourceOnGrid(x, chunk);
        for (uint32_t b = 0; b < blocksOf64; ++b, j += 64) {
            const float* next = b + 1 < blocksOf64 ? w + j + 64 : nullptr;
            if constexpr (Term::kHasSingles) {
                AddBlockOnGrid<Term>(dest + j, x, w + j, chunk, stride, sourceOnGrid, next);
            } else {
                AddBlock<Term, 8, false>(dest + j, x, w + j, chunk, stride, 0, next);
            }
        }
        if (blockOf32) AddBlock<Term, 4, false>(dest + j, x, w + j, chunk, stride, 0);
        if (partialLanes != 0) {
            AddLastBlock<Term, true>(lastFull, dest + lastStart, x, w + lastStart, chunk, stride, lanes);
        } else if (lastFull != 0) {
            AddLastBlock<Term, false>(lastFull, dest + lastStart, x, w + lastStart, chunk, stride, lanes);
        }
    }
}

}  // namespace

bool Supported() {
    __builtin_cpu_init();  // may run before the runtime's own initialisation
    return __builtin_cpu_supports("avx512f");
}

KORU_WIDE void AddRowsDot(float* dest, const float* source, const float* weights, uint32_t rows, uint32_t cols,
                          uint32_t stride) {
    AddRowsWide<Dot>(dest, source, weights, rows, cols, stride);
}

KORU_WIDE void AddRowsCityBlock(float* dest, const float* source, const float* weights, uint32_t rows,
                                uint32_t cols, uint32_t stride) {
    AddRowsWide<CityBlock>(dest, source, weights, rows, cols, stride);
}

KORU_WIDE void AddRowsSquared(float* dest, const float* source, const float* weights, uint32_t rows,
                              uint32_t cols, uint32_t stride) {
    AddRowsWide<Squared>(dest, source, weights, rows, cols, stride);
}

}  // namespace koru::wide

#endif
