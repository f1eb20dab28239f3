// A straightforward model of backpropagation written from the rules, for the
// training tests: every loop walks in the defined order and every result is
// stored (and so rounded, or wrapped) where the rules store it. It works on
// copies of a net's arrays, so the library's results can be compared bit for
// bit.
#pragma once

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "backprop/transfer_code.h"
#include "backprop/transfer_fixed.h"
#include "backprop/transfer_float.h"
#include "bp_records.h"
#include "core/portable_math.h"

namespace bptest {

template <typename T>
struct RefSlab {
    int kind = 0;
    int code = 0;
    std::vector<T> values, sums, deltas;  // deltas empty for an input slab
};

template <typename T>
struct RefLink {
    int source = 0, dest = 0, status = 2;
    std::vector<T> w, q, g, p, t;  // weights, changes, gradients, previous gradients, last steps
};

template <typename T>
struct RefNet {
    int variant = 0;
    std::vector<RefSlab<T>> slabs;
    std::vector<RefLink<T>> links;  // in order of creation: every slab's list order
};

// Copies the arrays of slabs 0..slabCount-1 and links 0..linkCount-1.
template <typename T>
RefNet<T> Snapshot(int16_t net, int slabCount, int linkCount) {
    RefNet<T> ref;
    ref.variant = koru::netTable[net].variant;
    const auto copy = [](const koru::ValueArray* a) {
        std::vector<T> v;
        if (a != nullptr) v.assign(reinterpret_cast<const T*>(a->data), reinterpret_cast<const T*>(a->data) + a->count);
        return v;
    };
    for (int s = 0; s < slabCount; ++s) {
        const koru::SlabRecord& slab = SlabOf(net, static_cast<int16_t>(s));
        ref.slabs.push_back({slab.kind, slab.transfer, copy(slab.values), copy(slab.sums), copy(slab.deltas)});
    }
    koru::NetBlock& block = *koru::netTable[net].block;
    for (int l = 0; l < linkCount; ++l) {
        const koru::LinkRecord& link = block.links[l];
        ref.links.push_back({static_cast<int>(link.source - block.slabs), static_cast<int>(link.dest - block.slabs),
                             link.status, copy(link.weights), copy(link.changes), copy(link.gradients),
                             copy(link.prevGradients), copy(link.lastSteps)});
    }
    return ref;
}

// ---- Floating point ------------------------------------------------------

inline float F(double x) { return static_cast<float>(x); }

inline float HiddenFloat(int code, float y, float s, float d) {
    float out = d;
    koru::bp::WithTransferCode(code, [&](auto c) { out = koru::bp::HiddenDeltaFloat<decltype(c)::value>(y, s, d); });
    return out;
}

inline void TrainSlabRef(RefNet<float>& net, int s, float rate, float momentum, bool apply) {
    const bool keeps = net.slabs[s].kind != 0;
    if (keeps) std::fill(net.slabs[s].deltas.begin(), net.slabs[s].deltas.end(), 0.0f);
    bool trained = false;
    for (RefLink<float>& L : net.links) {
        if (L.source != s || L.status != 2 || net.slabs[L.dest].deltas.empty()) continue;
        trained = true;
        // Indexing the slabs afresh at every use: a link onto its own slab
        // reads the deltas it is building.
        RefSlab<float>& A = net.slabs[L.source];
        RefSlab<float>& B = net.slabs[L.dest];
        const size_t M = A.values.size(), N = B.values.size();
        for (size_t r = 0; r <= M; ++r) {
            for (size_t j = 0; j < N; ++j) {
                const size_t k = r * N + j;
                if (net.variant == 11) {
                    const double x = r == 0 ? 1.0 : A.values[r - 1];
                    const float g = F(B.deltas[j] * x);
                    L.g[k] = F(double(L.g[k]) + g);
                    if (apply) {
                        const double p = double(L.g[k]) * L.p[k];
                        const auto sign = [&](float z) { return L.g[k] > 0 ? z : L.g[k] < 0 ? -z : 0.0f; };
                        if (p > 0) {
                            L.q[k] = std::fmin(F(L.q[k] * 1.2), 1.0f);
                            L.t[k] = sign(L.q[k]);
                            L.w[k] = F(double(L.w[k]) + L.t[k]);
                        } else if (p < 0) {
                            L.q[k] = std::fmax(F(L.q[k] * 0.5), 1e-6f);
                            L.w[k] = F(double(L.w[k]) - L.t[k]);
                            L.g[k] = 0.0f;
                        } else {
                            L.t[k] = sign(L.q[k]);
                            L.w[k] = F(double(L.w[k]) + L.t[k]);
                        }
                        L.p[k] = L.g[k];
                        L.g[k] = 0.0f;
                    }
                } else {
                    const float factor = r == 0 ? rate : F(double(A.values[r - 1]) * rate);
                    float g = F(double(B.deltas[j]) * factor);
                    if (net.variant == 2) {
                        g = F(double(L.q[k]) * momentum + g);
                        L.q[k] = g;
                        L.w[k] = F(double(L.w[k]) + g);
                    } else if (net.variant == 3) {
                        L.q[k] = F(double(L.q[k]) + g);
                        if (apply) {
                            L.w[k] = F(double(L.w[k]) + L.q[k]);
                            L.q[k] = 0.0f;
                        }
                    } else {
                        L.w[k] = F(double(L.w[k]) + g);
                    }
                }
                if (keeps && r >= 1) A.deltas[r - 1] = F(A.deltas[r - 1] + double(B.deltas[j]) * L.w[k]);
            }
        }
    }
    if (trained && keeps) {
        RefSlab<float>& S = net.slabs[s];
        for (size_t j = 0; j < S.deltas.size(); ++j) S.deltas[j] = HiddenFloat(S.code, S.values[j], S.sums[j], S.deltas[j]);
    }
}

// ---- Fixed point ---------------------------------------------------------

inline int32_t HiddenFixed(int code, int32_t y, int32_t s, int32_t d) {
    int32_t out = d;
    koru::bp::WithTransferCode(code, [&](auto c) { out = koru::bp::HiddenDeltaFixed<decltype(c)::value>(y, s, d); });
    return out;
}

inline int32_t ToFixedRef(float x) { return static_cast<int32_t>(static_cast<int64_t>(std::trunc(double(x) * 16777216.0 + 0.5))); }

inline void TrainSlabRef(RefNet<int32_t>& net, int s, float rateF, float momentumF, bool apply) {
    const int32_t rate = ToFixedRef(rateF), momentum = ToFixedRef(momentumF);
    const bool keeps = net.slabs[s].kind != 0;
    if (keeps) std::fill(net.slabs[s].deltas.begin(), net.slabs[s].deltas.end(), 0);
    bool trained = false;
    for (RefLink<int32_t>& L : net.links) {
        if (L.source != s || L.status != 2 || net.slabs[L.dest].deltas.empty()) continue;
        trained = true;
        RefSlab<int32_t>& A = net.slabs[L.source];
        RefSlab<int32_t>& B = net.slabs[L.dest];
        const size_t M = A.values.size(), N = B.values.size();
        for (size_t r = 0; r <= M; ++r) {
            for (size_t j = 0; j < N; ++j) {
                const size_t k = r * N + j;
                if (net.variant == 11) {
                    const int32_t x = r == 0 ? 16777216 : A.values[r - 1];
                    L.g[k] = RefAdd(L.g[k], RefMul(B.deltas[j], x));
                    if (apply) {
                        const int32_t p = RefMul(L.g[k], L.p[k]);
                        const auto sign = [&](int32_t z) { return L.g[k] > 0 ? z : L.g[k] < 0 ? RefSub(0, z) : 0; };
                        if (p > 0) {
                            L.q[k] = std::min(RefMul(L.q[k], 0x1333333), 16777216);
                            L.t[k] = sign(L.q[k]);
                            L.w[k] = RefAdd(L.w[k], L.t[k]);
                        } else if (p < 0) {
                            L.q[k] = std::max(RefMul(L.q[k], 0x800000), 16);
                            L.w[k] = RefSub(L.w[k], L.t[k]);
                            L.g[k] = 0;
                        } else {
                            L.t[k] = sign(L.q[k]);
                            L.w[k] = RefAdd(L.w[k], L.t[k]);
                        }
                        L.p[k] = L.g[k];
                        L.g[k] = 0;
                    }
                } else {
                    const int32_t factor = r == 0 ? rate : RefMul(A.values[r - 1], rate);
                    int32_t g = RefMul(B.deltas[j], factor);
                    if (net.variant == 2) {
                        g = RefAdd(g, RefMul(momentum, L.q[k]));
                        L.q[k] = g;
                        L.w[k] = RefAdd(L.w[k], g);
                    } else if (net.variant == 3) {
                        L.q[k] = RefAdd(L.q[k], g);
                        if (apply) {
                            L.w[k] = RefAdd(L.w[k], L.q[k]);
                            L.q[k] = 0;
                        }
                    } else {
                        L.w[k] = RefAdd(L.w[k], g);
                    }
                }
                if (keeps && r >= 1) A.deltas[r - 1] = RefAdd(A.deltas[r - 1], RefMul(B.deltas[j], L.w[k]));
            }
        }
    }
    if (trained && keeps) {
        RefSlab<int32_t>& S = net.slabs[s];
        for (size_t j = 0; j < S.deltas.size(); ++j) S.deltas[j] = HiddenFixed(S.code, S.values[j], S.sums[j], S.deltas[j]);
    }
}

}  // namespace bptest
