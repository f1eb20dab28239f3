// Building and driving three-slab pattern-unit nets through the exports, for
// the tests of the probabilistic and general regression nets.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/export_readers.h"
#include "common/float_bits.h"
#include "koru32.h"

namespace patternnets_test {

inline constexpr int16_t kInput = 0;
inline constexpr int16_t kPattern = 1;
inline constexpr int16_t kOutput = 2;
inline constexpr int16_t kInputLink = 0;
inline constexpr int16_t kOutputLink = 1;

using EvaluateExport = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const float*, const int16_t*);
using TrainExport = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const int16_t*);
using PropagateExport = int16_t(KORU32_CALL*)(const int16_t*, const int16_t*, const float*);

using koru_test::BitsOf;
using koru_test::Weights;

// Kills every net it made when the test ends, and puts the math mode back.
class PatternNetTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (int16_t net : made_) KillNet(&net);
        const uint16_t floatMode = KORU32_MATH_FLOAT;
        SetMath(&floatMode);
    }

    // A net of `type` with `inputs` input neurons, `units` pattern units and
    // `outputs` output neurons; link 0 from input to pattern slab, link 1 from
    // pattern to output slab.
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

    static void Put(int16_t net, int16_t slab, const std::vector<float>& values) {
        ASSERT_EQ(PutSlab(&net, &slab, values.data()), KORU32_OK);
    }

    static std::vector<float> Get(int16_t net, int16_t slab, size_t neurons) {
        return koru_test::Values(net, slab, neurons);
    }

    // patternCount followed by the slab's counts.
    static std::vector<float> Counts(int16_t net, int16_t slab, size_t neurons) {
        std::vector<float> counts(neurons + 1, -99.0f);
        EXPECT_EQ(GetCounts(&net, &slab, counts.data()), KORU32_OK);
        return counts;
    }

    static void SetCounts(int16_t net, int16_t slab, const std::vector<float>& counts) {
        ASSERT_EQ(PutCounts(&net, &slab, counts.data()), KORU32_OK);
    }

    // The exports of the paradigm under test, for the by-value shorthands below.
    struct Exports {
        PropagateExport propagate;
        EvaluateExport evaluate;
        TrainExport train;
    };
    static Exports PnnExports() { return {PnnPropagate, PnnEvaluate, PnnTrain}; }
    static Exports GrnnExports() { return {GrnnPropagate, GrnnEvaluate, GrnnTrain}; }
    Exports use_{PnnPropagate, PnnEvaluate, PnnTrain};

    int16_t Propagate(int16_t net, int16_t slab, float sigma) { return use_.propagate(&net, &slab, &sigma); }
    int16_t Evaluate(int16_t net, int16_t slab, const std::vector<float>& targets, int16_t pattern) {
        return use_.evaluate(&net, &slab, targets.data(), &pattern);
    }
    int16_t Train(int16_t net, int16_t slab, int16_t pattern) { return use_.train(&net, &slab, &pattern); }
    // The ordinary storing sequence: PutSlab, Evaluate with pattern 0, Train on
    // the input slab, Train on the pattern slab.
    void StoreOne(int16_t net, const std::vector<float>& input, const std::vector<float>& targets) {
        Put(net, kInput, input);
        ASSERT_EQ(Evaluate(net, kOutput, targets, 0), KORU32_OK);
        ASSERT_EQ(Train(net, kInput, 0), KORU32_OK);
        ASSERT_EQ(Train(net, kPattern, 0), KORU32_OK);
    }
    std::vector<float> Activations(int16_t net, const std::vector<float>& input, float sigma, size_t units) {
        Put(net, kInput, input);
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_OK);
        return Get(net, kPattern, units);
    }
    // PutSlab, propagation of the pattern slab and the output slab, GetSlab;
    // the output slab's code goes to `code` if given, else must be 0.
    std::vector<float> Outputs(int16_t net, const std::vector<float>& input, float sigma, size_t outputs,
                               int16_t* code = nullptr) {
        Put(net, kInput, input);
        EXPECT_EQ(Propagate(net, kPattern, sigma), KORU32_OK);
        const int16_t outputCode = Propagate(net, kOutput, sigma);
        if (code != nullptr) {
            *code = outputCode;
        } else {
            EXPECT_EQ(outputCode, KORU32_OK);
        }
        return Get(net, kOutput, outputs);
    }

private:
    std::vector<int16_t> made_;
};

// A small linear congruential generator, so that the generated data sets are
// the same everywhere.
class TestRandom {
public:
    explicit TestRandom(uint32_t seed) : state_(seed) {}
    // Uniform in [-1, 1).
    double Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) * (2.0 / 16777216.0) - 1.0;
    }

private:
    uint32_t state_;
};

}  // namespace patternnets_test
