// Nets of the engine built and driven through its exports, the way a caller
// does it, for the benchmark programs.
#pragma once

#include <malloc.h>

#include <cstdint>
#include <vector>

#include "connections.h"
#include "data_sets.h"
#include "koru32.h"

namespace bench {

// Bytes the C heap hands out at the moment (the engine takes every net block
// and value array from it), so that a difference measures a net's memory.
inline size_t HeapInUse() { return mallinfo2().uordblks; }

// A layered backpropagation net: slab i holds layer i, link i goes from slab i
// to slab i + 1; logistic neurons; random weights in +-0.1 from a fixed seed.
class BpNet {
public:
    // type: KORU32_NET_BP_PLAIN, _MOMENTUM, _BATCH or _ADAPTIVE; fixed: 8.24.
    BpNet(int16_t slot, uint16_t type, const std::vector<int>& layers, bool fixed) : net_(slot), layers_(layers) {
        const uint16_t mode = fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
        SetMath(&mode);
        const size_t before = HeapInUse();
        const int16_t seed = 7;
        SetSeed(&seed);
        ok_ = MakeNet(&net_, &type) == 0;
        for (size_t i = 0; ok_ && i < layers.size(); ++i) {
            const int16_t slab = static_cast<int16_t>(i);
            const int16_t neurons = static_cast<int16_t>(layers[i]);
            const int16_t kind = i == 0 ? KORU32_SLAB_INPUT
                                 : i + 1 == layers.size() ? KORU32_SLAB_OUTPUT
                                                          : KORU32_SLAB_HIDDEN;
            ok_ = MakeSlab(&net_, &slab, &neurons, &kind) == 0;
            if (ok_ && i > 0) {
                const int16_t code = KORU32_TRANSFER_LOGISTIC;
                ok_ = Transfer(&net_, &slab, &code) == 0;
            }
        }
        const float range = 0.1f;  // weights in +-0.1
        for (size_t i = 0; ok_ && i + 1 < layers.size(); ++i) {
            const int16_t link = static_cast<int16_t>(i), source = link, dest = static_cast<int16_t>(i + 1);
            ok_ = MakeLink(&net_, &link, &range, &source, &dest) == 0;
        }
        bytes_ = HeapInUse() - before;
    }
    ~BpNet() { KillNet(&net_); }
    BpNet(const BpNet&) = delete;
    BpNet& operator=(const BpNet&) = delete;

    bool ok() const { return ok_; }
    size_t bytes() const { return bytes_; }
    uint64_t connections() const { return Connections(layers_); }

    // PutSlab, BpPropagate on every computed slab, GetSlab of the outputs.
    void Run(const float* input, float* output) const {
        Forward(input);
        const int16_t last = static_cast<int16_t>(layers_.size() - 1);
        GetSlab(&net_, &last, output);
    }

    // The forward pass as a caller checking a net runs it: PutSlab,
    // BpPropagate on every computed slab, BpEvaluate against the target;
    // returns the pattern's error.
    float Evaluate(const float* input, const float* target) const {
        Forward(input);
        const int16_t last = static_cast<int16_t>(layers_.size() - 1);
        float error = 0.0f;
        BpEvaluate(&net_, &last, target, &error);
        return error;
    }

    // One pattern of training: forward, BpEvaluate on the output slab, then
    // BpTrain from the last hidden slab back to the input slab.
    float Train(const float* input, const float* target, float rate, float momentum, bool apply) const {
        const float error = Evaluate(input, target);
        const uint16_t flag = apply ? 1 : 0;
        for (int16_t slab = static_cast<int16_t>(layers_.size() - 2); slab >= 0; --slab) {
            BpTrain(&net_, &slab, &rate, &momentum, &flag);
        }
        return error;
    }

private:
    void Forward(const float* input) const {
        const int16_t first = 0;
        PutSlab(&net_, &first, input);
        for (int16_t slab = 1; slab < static_cast<int16_t>(layers_.size()); ++slab) BpPropagate(&net_, &slab);
    }

    int16_t net_;
    std::vector<int> layers_;
    bool ok_ = false;
    size_t bytes_ = 0;
};

// A probabilistic (PNN) or general regression (GRNN) net holding the first
// `units` patterns of a set: input slab 0, pattern slab 1, output slab 2.
class PatternNet {
public:
    PatternNet(int16_t slot, uint16_t type, const DataSet& set, uint32_t units) : net_(slot) {
        const uint16_t mode = KORU32_MATH_FLOAT;
        SetMath(&mode);
        const size_t before = HeapInUse();
        grnn_ = type == KORU32_NET_GRNN_DISTANCE || type == KORU32_NET_GRNN_CITY_BLOCK;
        ok_ = MakeNet(&net_, &type) == 0;
        const int16_t sizes[3] = {static_cast<int16_t>(set.inputs), static_cast<int16_t>(units),
                                  static_cast<int16_t>(set.outputs)};
        for (int16_t slab = 0; ok_ && slab < 3; ++slab) {
            const int16_t kind = slab;  // input, hidden, output
            ok_ = MakeSlab(&net_, &slab, &sizes[slab], &kind) == 0;
        }
        const float range = 0.0f;
        for (int16_t link = 0; ok_ && link < 2; ++link) {
            const int16_t source = link, dest = static_cast<int16_t>(link + 1);
            ok_ = MakeLink(&net_, &link, &range, &source, &dest) == 0;
        }
        const int16_t input = 0, pattern = 1, output = 2, next = 0;
        for (uint32_t p = 0; ok_ && p < units; ++p) {
            PutSlab(&net_, &input, set.Input(p % set.count));
            ok_ = (grnn_ ? GrnnEvaluate(&net_, &output, set.Target(p % set.count), &next)
                         : PnnEvaluate(&net_, &output, set.Target(p % set.count), &next)) == 0;
            ok_ = ok_ && (grnn_ ? GrnnTrain(&net_, &input, &next) : PnnTrain(&net_, &input, &next)) == 0;
            ok_ = ok_ && (grnn_ ? GrnnTrain(&net_, &pattern, &next) : PnnTrain(&net_, &pattern, &next)) == 0;
        }
        bytes_ = HeapInUse() - before;
    }
    ~PatternNet() { KillNet(&net_); }
    PatternNet(const PatternNet&) = delete;
    PatternNet& operator=(const PatternNet&) = delete;

    bool ok() const { return ok_; }
    size_t bytes() const { return bytes_; }

    // PutSlab, propagate the pattern slab and the output slab, GetSlab.
    void Recall(const float* input, float sigma, float* output) const {
        const int16_t first = 0, pattern = 1, last = 2;
        PutSlab(&net_, &first, input);
        if (grnn_) {
            GrnnPropagate(&net_, &pattern, &sigma);
            GrnnPropagate(&net_, &last, &sigma);
        } else {
            PnnPropagate(&net_, &pattern, &sigma);
            PnnPropagate(&net_, &last, &sigma);
        }
        GetSlab(&net_, &last, output);
    }

private:
    int16_t net_;
    bool grnn_ = false;
    bool ok_ = false;
    size_t bytes_ = 0;
};

// An LVQ net: input slab 0 of `inputs` neurons, output slab 1 of `units`
// units, one link between them with random weights.
class LvqNet {
public:
    LvqNet(int16_t slot, uint16_t type, uint32_t inputs, uint32_t units, bool fixed) : net_(slot) {
        const uint16_t mode = fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
        SetMath(&mode);
        const int16_t seed = 11;
        SetSeed(&seed);
        const size_t before = HeapInUse();
        ok_ = MakeNet(&net_, &type) == 0;
        const int16_t sizes[2] = {static_cast<int16_t>(inputs), static_cast<int16_t>(units)};
        for (int16_t slab = 0; ok_ && slab < 2; ++slab) {
            const int16_t kind = slab == 0 ? KORU32_SLAB_INPUT : KORU32_SLAB_OUTPUT;
            ok_ = MakeSlab(&net_, &slab, &sizes[slab], &kind) == 0;
        }
        const float range = 1.0f;
        const int16_t link = 0, source = 0, dest = 1;
        ok_ = ok_ && MakeLink(&net_, &link, &range, &source, &dest) == 0;
        bytes_ = HeapInUse() - before;
    }
    ~LvqNet() { KillNet(&net_); }
    LvqNet(const LvqNet&) = delete;
    LvqNet& operator=(const LvqNet&) = delete;

    bool ok() const { return ok_; }
    size_t bytes() const { return bytes_; }

    // PutSlab, LvqPropagate, LvqEvaluate: the winner from 1.
    uint16_t Classify(const float* input) const {
        const int16_t first = 0, last = 1;
        const uint16_t flag = 0;
        uint16_t winner = 0;
        PutSlab(&net_, &first, input);
        LvqPropagate(&net_, &last);
        LvqEvaluate(&net_, &last, &winner, &flag);
        return winner;
    }

    // LvqTrain around the winner of the last Classify with radius 0, the
    // step of LVQ1 (a negative rate moves the winner away).
    void TrainWinner(float rate) const {
        const int16_t first = 0, radius = 0;
        const uint16_t width = 0;
        LvqTrain(&net_, &first, &rate, &radius, &width);
    }

private:
    int16_t net_;
    bool ok_ = false;
    size_t bytes_ = 0;
};

}  // namespace bench
