// Helpers for tests that drive the library through its exports: value-taking
// wrappers (the exports take every argument by address) and a fixture that
// leaves the process-wide state as it found it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "common/export_readers.h"
#include "koru32.h"

namespace koru_test {

inline int16_t Math(uint16_t mode) { return SetMath(&mode); }
inline int16_t Net(int16_t net, uint16_t type) { return MakeNet(&net, &type); }
inline int16_t Kill(int16_t net) { return KillNet(&net); }
inline int16_t Slab(int16_t net, int16_t slab, int16_t neurons, int16_t kind) {
    return MakeSlab(&net, &slab, &neurons, &kind);
}
inline int16_t Link(int16_t net, int16_t link, float range, int16_t source, int16_t dest) {
    return MakeLink(&net, &link, &range, &source, &dest);
}
inline int16_t Seed(int16_t seed) { return SetSeed(&seed); }

// Net 0 of `type` with two slabs: input slab 0 of `inputs` neurons feeds
// slab 1 of `dests` neurons (of `destKind`, an output slab unless told)
// through `link`, its weights drawn within +-`range`.
inline void MakeLinkedPair(uint16_t type, int16_t inputs, int16_t dests, float range = 0.5f, int16_t link = 0,
                           int16_t destKind = KORU32_SLAB_OUTPUT) {
    ASSERT_EQ(Net(0, type), KORU32_OK);
    ASSERT_EQ(Slab(0, 0, inputs, KORU32_SLAB_INPUT), KORU32_OK);
    ASSERT_EQ(Slab(0, 1, dests, destKind), KORU32_OK);
    ASSERT_EQ(Link(0, link, range, 0, 1), KORU32_OK);
}

inline void SetValues(int16_t net, int16_t slab, const std::vector<float>& values) {
    EXPECT_EQ(PutSlab(&net, &slab, values.data()), KORU32_OK);
}

// Whether a slab's values are held in 8.24 fixed point: 0.1 reads back as
// the nearest single in float32 and as 1677722 / 2^24 in 8.24.
inline bool HoldsFixedPoint(int16_t net, int16_t slab) {
    const int16_t neuron = 1;
    const float tenth = 0.1f;
    float back = 0.0f;
    EXPECT_EQ(PutNeuron(&net, &slab, &neuron, &tenth), KORU32_OK);
    EXPECT_EQ(GetNeuron(&net, &slab, &neuron, &back), KORU32_OK);
    return back != tenth;
}

class NetTest : public ::testing::Test {
protected:
    void SetUp() override { Math(KORU32_MATH_FLOAT); }
    void TearDown() override {
        for (int16_t net = 0; net < 128; ++net) KillNet(&net);
        Math(KORU32_MATH_FLOAT);
        Seed(1);
    }
};

}  // namespace koru_test
