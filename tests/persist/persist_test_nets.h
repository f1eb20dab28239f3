// A net of every type with slabs and links spread over the tables (slabs 3
// and 4 and link 2 left free), filled through the core exports with values
// that differ element by element, and a snapshot of what the exports read
// back from it.
#pragma once

#include <cmath>
#include <vector>

#include "persist/persist_test_support.h"

namespace koru_test {

struct SlabPlan {
    int16_t slab, neurons, kind, transfer;
};
struct LinkPlan {
    int16_t link, source, dest;
};

inline constexpr SlabPlan kSlabs[] = {{0, 3, 0, 3}, {1, 4, 1, 2}, {2, 2, 2, 6}, {5, 2, 1, 7}};
inline constexpr LinkPlan kLinks[] = {{0, 0, 1}, {1, 1, 2}, {3, 0, 5}, {4, 5, 2}};

inline bool IsBackprop(uint16_t type) { return type == 1 || type == 2 || type == 3 || type == 11; }
inline bool IsPnn(uint16_t type) { return type == 6 || type == 7 || type == 10; }
inline bool IsGrnn(uint16_t type) { return type == 8 || type == 9; }
inline bool KeepsChanges(uint16_t type) { return type == 2 || type == 3 || type == 11; }
inline bool SavesChanges(uint16_t type) { return type == 2 || type == 3; }
// Slabs whose counts a net of this type keeps.
inline bool Counted(uint16_t type, const SlabPlan& s) {
    return (IsPnn(type) && s.kind == 2) || (IsGrnn(type) && s.kind == 1);
}

inline int16_t NeuronsOf(int16_t slab) {
    for (const SlabPlan& s : kSlabs) {
        if (s.slab == slab) return s.neurons;
    }
    return 0;
}
inline uint32_t WeightCount(uint16_t type, const LinkPlan& l) {
    return static_cast<uint32_t>((NeuronsOf(l.source) + (IsBackprop(type) ? 1 : 0)) * NeuronsOf(l.dest));
}

struct NetSnapshot {
    std::vector<std::vector<float>> weights, changes, counts;
};

inline void BuildNet(int16_t net, uint16_t type) {
    ASSERT_EQ(MakeNet(&net, &type), 0);
    for (const SlabPlan& s : kSlabs) {
        ASSERT_EQ(MakeSlab(&net, &s.slab, &s.neurons, &s.kind), 0);
        if (IsBackprop(type)) {
            ASSERT_EQ(Transfer(&net, &s.slab, &s.transfer), 0);
        }
    }
    int index = 0;
    for (const LinkPlan& l : kLinks) {
        const float range = 0.5f;
        ASSERT_EQ(MakeLink(&net, &l.link, &range, &l.source, &l.dest), 0);
        std::vector<float> w(WeightCount(type, l)), c(WeightCount(type, l));
        for (size_t i = 0; i < w.size(); ++i) {
            w[i] = static_cast<float>(std::sin(1.0 + 0.7 * static_cast<double>(i) + 3.1 * index) * 1.7);
            c[i] = static_cast<float>(std::cos(0.3 + 0.9 * static_cast<double>(i) + 2.3 * index) * 0.3);
        }
        ASSERT_EQ(PutLink(&net, &l.link, w.data()), 0);
        if (KeepsChanges(type)) {
            ASSERT_EQ(PutLinkChanges(&net, &l.link, c.data()), 0);
        }
        ++index;
    }
    for (const SlabPlan& s : kSlabs) {
        if (!Counted(type, s)) continue;
        std::vector<float> counts(1 + static_cast<size_t>(s.neurons));
        counts[0] = 5.0f;  // pattern units in use
        for (int16_t i = 1; i <= s.neurons; ++i) counts[static_cast<size_t>(i)] = static_cast<float>((i * s.slab) % 3);
        ASSERT_EQ(PutCounts(&net, &s.slab, counts.data()), 0);
    }
}

inline NetSnapshot TakeSnapshot(int16_t net, uint16_t type) {
    NetSnapshot snap;
    for (const LinkPlan& l : kLinks) {
        std::vector<float> w(WeightCount(type, l)), c(WeightCount(type, l));
        EXPECT_EQ(GetLink(&net, &l.link, w.data()), 0);
        snap.weights.push_back(w);
        if (KeepsChanges(type)) {
            EXPECT_EQ(GetLinkChanges(&net, &l.link, c.data()), 0);
            snap.changes.push_back(c);
        }
    }
    for (const SlabPlan& s : kSlabs) {
        if (!Counted(type, s)) continue;
        std::vector<float> counts(1 + static_cast<size_t>(s.neurons));
        EXPECT_EQ(GetCounts(&net, &s.slab, counts.data()), 0);
        snap.counts.push_back(counts);
    }
    return snap;
}

// Floats compared bit for bit.
inline bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace koru_test
