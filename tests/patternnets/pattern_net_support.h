// Three-slab pattern-unit nets built and driven through the exports, for the
// probabilistic and general regression net tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/export_readers.h"
#include "common/float_bits.h"
#include "koru32.h"

namespace patternnets_test {

inline constexpr int16_t kInput = 0, kPattern = 1, kOutput = 2, kInputLink = 0, kOutputLink = 1;
using Floats = std::vector<float>;
using koru_test::BitsOf;
using koru_test::Weights;

// Kills every net it made when the test ends and puts the float math mode back.
class PatternNetTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (int16_t net : made_) KillNet(&net);
        const uint16_t floatMode = KORU32_MATH_FLOAT;
        SetMath(&floatMode);
    }
    // Link 0 from the input to the pattern slab, link 1 from there to the output slab.
    int16_t MakeThreeSlabNet(uint16_t type, int16_t inputs, int16_t units, int16_t outputs) {
        const int16_t net = MakeEmptyNet(type);
        MakeSlabOf(net, kInput, inputs, KORU32_SLAB_INPUT);
        MakeSlabOf(net, kPattern, units, KORU32_SLAB_HIDDEN);
        MakeSlabOf(net, kOutput, outputs, KORU32_SLAB_OUTPUT);
        MakeLinkOf(net, kInputLink, kInput, kPattern);
        MakeLinkOf(net, kOutputLink, kPattern, kOutput);
        return net;
    }
    int16_t MakeEmptyNet(uint16_t type) {
        uint16_t free = 0;
        EXPECT_EQ(GetNextNet(&free), KORU32_OK);
        const auto net = static_cast<int16_t>(free);
        EXPECT_EQ(MakeNet(&net, &type), KORU32_OK);
        made_.push_back(net);
        return net;
    }
    static void MakeSlabOf(int16_t net, int16_t slab, int16_t neurons, int16_t kind) {
        ASSERT_EQ(MakeSlab(&net, &slab, &neurons, &kind), KORU32_OK);
    }
    static void MakeLinkOf(int16_t net, int16_t link, int16_t source, int16_t dest) {
        const float range = 0.0f;
        ASSERT_EQ(MakeLink(&net, &link, &range, &source, &dest), KORU32_OK);
    }
    static void Put(int16_t net, int16_t slab, const Floats& v) { ASSERT_EQ(PutSlab(&net, &slab, v.data()), KORU32_OK); }
    static Floats Get(int16_t net, int16_t slab, size_t neurons) { return koru_test::Values(net, slab, neurons); }
    // patternCount followed by the slab's counts.
    static Floats Counts(int16_t net, int16_t slab, size_t neurons) {
        Floats counts(neurons + 1, -99.0f);
        EXPECT_EQ(GetCounts(&net, &slab, counts.data()), KORU32_OK);
        return counts;
    }
    static void SetCounts(int16_t net, int16_t slab, const Floats& c) { ASSERT_EQ(PutCounts(&net, &slab, c.data()), KORU32_OK); }

    // The exports of the paradigm under test.
    bool grnn_ = false;
    int16_t Propagate(int16_t net, int16_t slab, float sigma) {
        return (grnn_ ? GrnnPropagate : PnnPropagate)(&net, &slab, &sigma);
    }
    int16_t Evaluate(int16_t net, int16_t slab, const Floats& targets, int16_t pattern) {
        return (grnn_ ? GrnnEvaluate : PnnEvaluate)(&net, &slab, targets.data(), &pattern);
    }
    int16_t Train(int16_t net, int16_t slab, int16_t pattern) {
        return (grnn_ ? GrnnTrain : PnnTrain)(&net, &slab, &pattern);
    }
    // PutSlab, Evaluate with pattern 0 (a new unit), Train the input and the pattern slab.
    void StoreOne(int16_t net, const Floats& input, const Floats& targets) {
        Put(net, kInput, input);
        ASSERT_EQ(Evaluate(net, kOutput, targets, 0), KORU32_OK);
        ASSERT_EQ(Train(net, kInput, 0), KORU32_OK);
        ASSERT_EQ(Train(net, kPattern, 0), KORU32_OK);
    }
    Floats Activations(int16_t net, const Floats& input, float sigma, size_t units) {
        Put(net, kInput, input);
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_OK);
        return Get(net, kPattern, units);
    }
    // The pattern slab propagated, then the output slab, whose code must be `outputCode`.
    Floats Outputs(int16_t net, const Floats& input, float sigma, size_t outputs, int16_t outputCode = KORU32_OK) {
        Put(net, kInput, input);
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_OK);
        EXPECT_EQ(Propagate(net, kOutput, sigma), outputCode);
        return Get(net, kOutput, outputs);
    }

private:
    std::vector<int16_t> made_;
};

}  // namespace patternnets_test
