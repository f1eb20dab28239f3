// A straightforward model of backpropagation training written from the
// rules: every loop walks in the defined order and every result is stored
// (and so rounded, or wrapped) where the rules store it. It works on copies
// of a net's arrays, so the library's results can be compared bit for bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "backprop/transfer_code.h"
#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"
#include "bp_records.h"
#include "common/fixed_point.h"

namespace bptest {

// Deltas empty for an input slab; a link's weights, changes, gradients, previous gradients and last steps.
template <typename T> struct RefSlab { int kind = 0, code = 0; std::vector<T> values, sums, deltas; };
template <typename T> struct RefLink { int source = 0, dest = 0, status = 2; std::vector<T> w, q, g, p, t; };
template <typename T> struct RefNet { int variant = 0; std::vector<RefSlab<T>> slabs; std::vector<RefLink<T>> links; };  // links in creation order

template <typename T> RefNet<T> Snapshot(int16_t net, int slabCount, int linkCount) {
    RefNet<T> ref;
    ref.variant = koru::netTable[net].variant;
    const koru::NetBlock& block = *koru::netTable[net].block;
    for (const koru::SlabRecord& s : std::span(block.slabs, slabCount)) ref.slabs.push_back({s.kind, s.transfer, ElementsOf<T>(s.values), ElementsOf<T>(s.sums), ElementsOf<T>(s.deltas)});
    for (const koru::LinkRecord& k : std::span(block.links, linkCount))
        ref.links.push_back({static_cast<int>(k.source - block.slabs), static_cast<int>(k.dest - block.slabs), k.status, ElementsOf<T>(k.weights),
                             ElementsOf<T>(k.changes), ElementsOf<T>(k.gradients), ElementsOf<T>(k.prevGradients), ElementsOf<T>(k.lastSteps)});
    return ref;
}

inline float F(double x) { return static_cast<float>(x); }

// Float32: every operation in double, rounded once to single where stored.
struct FloatRules {
    static constexpr float kOne = 1.0f;
    static float Param(float x) { return x; } static float Mul(float a, float b) { return F(double(a) * b); }
    static float Add(float a, float b) { return F(double(a) + b); } static float Sub(float a, float b) { return F(double(a) - b); }
    static float MulAdd(float a, float b, float c) { return F(double(a) * b + c); }
    static double Product(float a, float b) { return double(a) * b; }  // only its sign is used
    static float Neg(float z) { return -z; } static float Grow(float q) { return std::fmin(F(q * 1.2), 1.0f); }
    static float Shrink(float q) { return std::fmax(F(q * 0.5), 1e-6f); }
};

// 8.24: the product floored, every sum wrapping at 32 bits.
struct FixedRules {
    static constexpr int32_t kOne = 1 << 24;
    static int32_t Param(float x) { return koru_test::FixedFromReal(x); } static int32_t Mul(int32_t a, int32_t b) { return RefMul(a, b); }
    static int32_t Add(int32_t a, int32_t b) { return RefAdd(a, b); } static int32_t Sub(int32_t a, int32_t b) { return RefSub(a, b); }
    static int32_t MulAdd(int32_t a, int32_t b, int32_t c) { return RefAdd(c, RefMul(a, b)); }
    static double Product(int32_t a, int32_t b) { return RefMul(a, b); }
    static int32_t Neg(int32_t z) { return RefSub(0, z); } static int32_t Grow(int32_t q) { return std::min(RefMul(q, 0x1333333), kOne); }
    static int32_t Shrink(int32_t q) { return std::max(RefMul(q, 0x800000), 16); }
};

template <typename T> using RulesOf = std::conditional_t<std::is_same_v<T, float>, FloatRules, FixedRules>;

// One BpTrain call on slab s: every trained outgoing link into a slab with
// deltas learns by the net's rule (1 plain, 2 momentum, 3 batch, 11
// adaptive), and the slab's deltas are built through the new weights.
template <typename T, typename R = RulesOf<T>>
void TrainSlabRef(RefNet<T>& net, int s, float rateF, float momentumF, bool apply) {
    const T rate = R::Param(rateF), momentum = R::Param(momentumF);
    const bool keeps = net.slabs[s].kind != 0;
    if (keeps) std::fill(net.slabs[s].deltas.begin(), net.slabs[s].deltas.end(), T{});
    bool trained = false;
    for (RefLink<T>& L : net.links) {
        if (L.source != s || L.status != 2 || net.slabs[L.dest].deltas.empty()) continue;
        trained = true;
        // The slabs indexed afresh at every use: a link onto its own slab
        // reads the deltas it is building.
        RefSlab<T>&A = net.slabs[L.source], &B = net.slabs[L.dest];
        const size_t M = A.values.size(), N = B.values.size();
        for (size_t r = 0; r <= M; ++r)
            for (size_t j = 0; j < N; ++j) {
                const size_t k = r * N + j;
                if (net.variant == 11) {
                    L.g[k] = R::Add(L.g[k], R::Mul(B.deltas[j], r == 0 ? R::kOne : A.values[r - 1]));
                    if (apply) {
                        const double p = R::Product(L.g[k], L.p[k]);
                        const auto sign = [&](T z) { return L.g[k] > 0 ? z : L.g[k] < 0 ? R::Neg(z) : T{}; };
                        if (p < 0) L.q[k] = R::Shrink(L.q[k]), L.w[k] = R::Sub(L.w[k], L.t[k]), L.g[k] = T{};
                        else L.q[k] = p > 0 ? R::Grow(L.q[k]) : L.q[k], L.t[k] = sign(L.q[k]), L.w[k] = R::Add(L.w[k], L.t[k]);
                        L.p[k] = L.g[k], L.g[k] = T{};
                    }
                } else {
                    T g = R::Mul(B.deltas[j], r == 0 ? rate : R::Mul(A.values[r - 1], rate));
                    if (net.variant == 2) L.q[k] = g = R::MulAdd(L.q[k], momentum, g), L.w[k] = R::Add(L.w[k], g);
                    else if (net.variant == 3) { L.q[k] = R::Add(L.q[k], g); if (apply) L.w[k] = R::Add(L.w[k], L.q[k]), L.q[k] = T{}; }
                    else L.w[k] = R::Add(L.w[k], g);
                }
                if (keeps && r >= 1) A.deltas[r - 1] = R::MulAdd(B.deltas[j], L.w[k], A.deltas[r - 1]);
            }
    }
    if (trained && keeps) {
        RefSlab<T>& S = net.slabs[s];
        for (size_t j = 0; j < S.deltas.size(); ++j) {
            koru::bp::WithTransferCode(S.code, [&](auto c) {  // the library's own derivative forms, checked on their own
                if constexpr (std::is_same_v<T, float>) S.deltas[j] = koru::bp::HiddenDeltaFloat<decltype(c)::value>(S.values[j], S.sums[j], S.deltas[j]);
                else S.deltas[j] = koru::bp::HiddenDeltaFixed<decltype(c)::value>(S.values[j], S.sums[j], S.deltas[j]);
            });
        }
    }
}

}  // namespace bptest
