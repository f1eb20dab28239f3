// Value-taking wrappers around the backpropagation exports (which take every
// argument by address) and a net that kills itself at the end of a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/first_refusal.h"
#include "koru32.h"

namespace bptest {

using koru_test::All;

inline int16_t Slab(int16_t net, int16_t slab, int16_t neurons, int16_t kind) { return MakeSlab(&net, &slab, &neurons, &kind); }
inline int16_t Link(int16_t net, int16_t link, int16_t source, int16_t dest, float range = 0.5f) { return MakeLink(&net, &link, &range, &source, &dest); }
inline int16_t SetTransfer(int16_t net, int16_t slab, int16_t code) { return Transfer(&net, &slab, &code); }
inline int16_t Status(int16_t net, int16_t link, int16_t status) { return SetStatus(&net, &link, &status); }
inline int16_t Put(int16_t net, int16_t slab, const std::vector<float>& values) { return PutSlab(&net, &slab, values.data()); }
inline std::vector<float> Get(int16_t net, int16_t slab, size_t n) { std::vector<float> v(n, -999.0f); return GetSlab(&net, &slab, v.data()), v; }
inline int16_t Propagate(int16_t net, int16_t slab) { return BpPropagate(&net, &slab); }
inline int16_t Evaluate(int16_t net, int16_t slab, const std::vector<float>& targets, float& sum) { return BpEvaluate(&net, &slab, targets.data(), &sum); }
inline int16_t EvaluateSum(int16_t net, int16_t slab, const std::vector<float>& targets) { return BpEvaluateSum(&net, &slab, targets.data()); }
inline int16_t GetSum(int16_t net, int16_t slab, float& sum) { return BpGetSum(&net, &slab, &sum); }
inline int16_t Train(int16_t net, int16_t slab, float rate, float momentum = 0.0f, uint16_t apply = 1) { return BpTrain(&net, &slab, &rate, &momentum, &apply); }
inline float Delta(int16_t net, int16_t slab, int16_t neuron) { float value = -999.0f; return GetDelta(&net, &slab, &neuron, &value), value; }

// Made in the given math mode, killed at the end of the scope.
class Net {
public:
    Net(int16_t number, uint16_t type, uint16_t math = KORU32_MATH_FLOAT) : number_(number) {
        SetMath(&math);
        EXPECT_EQ(MakeNet(&number_, &type), KORU32_OK) << "net " << number;
    }
    ~Net() { KillNet(&number_); }
    Net(const Net&) = delete;
    operator int16_t() const { return number_; }

private:
    int16_t number_;
};

}  // namespace bptest
