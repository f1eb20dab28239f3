// A small LVQ net for the tests, built and killed through the exports: input
// slab 0 and output slab 1 joined by link 0, with helpers that take values
// instead of addresses.
#pragma once

#include <cstdint>
#include <vector>

#include "koru32.h"

namespace lvqtest {

inline constexpr int16_t kInput = 0, kOutput = 1, kLink = 0;
inline constexpr uint16_t kBothMaths[] = {KORU32_MATH_FLOAT, KORU32_MATH_FIXED};
using Floats = std::vector<float>;
using Units = std::vector<Floats>;

class TestNet {
public:
    TestNet(uint16_t type, uint16_t math, int16_t inputs, int16_t units) : inputs_(inputs), units_(units) {
        uint16_t free = 0;
        GetNextNet(&free);
        net_ = static_cast<int16_t>(free);
        SetMath(&math);
        made_ = MakeNet(&net_, &type) == KORU32_OK;
        ok_ = made_ && MakeSlabAt(kInput, inputs, KORU32_SLAB_INPUT) == KORU32_OK &&
              MakeSlabAt(kOutput, units, KORU32_SLAB_OUTPUT) == KORU32_OK && MakeLinkAt(kLink, kInput, kOutput) == KORU32_OK;
    }
    ~TestNet() {
        if (made_) KillNet(&net_);
    }

    bool ok() const { return ok_; }
    int16_t net() const { return net_; }
    int16_t MakeSlabAt(int16_t slab, int16_t neurons, int16_t kind) { return MakeSlab(&net_, &slab, &neurons, &kind); }
    int16_t MakeLinkAt(int16_t link, int16_t source, int16_t dest) {
        const float range = 0.5f;
        return MakeLink(&net_, &link, &range, &source, &dest);
    }
    // Weights unit by unit (unit 0's vector first); the link holds them source
    // neuron by source neuron, units fastest.
    void PutUnits(const Units& units, int16_t link = kLink) {
        const size_t m = units.size(), n = units[0].size();
        Floats flat(m * n);
        for (size_t k = 0; k < m * n; ++k) flat[k] = units[k % m][k / m];
        PutLink(&net_, &link, flat.data());
    }
    Units GetUnits(int16_t link = kLink) {
        const auto n = static_cast<size_t>(inputs_), m = static_cast<size_t>(units_);
        Floats flat(m * n);
        GetLink(&net_, &link, flat.data());
        Units units(m, Floats(n));
        for (size_t k = 0; k < m * n; ++k) units[k % m][k / m] = flat[k];
        return units;
    }
    void PutValues(int16_t slab, const Floats& values) { PutSlab(&net_, &slab, values.data()); }
    Floats GetValues(int16_t slab, size_t count) {
        Floats values(count);
        GetSlab(&net_, &slab, values.data());
        return values;
    }
    void PutInput(const Floats& pattern) { PutValues(kInput, pattern); }
    int16_t Propagate(int16_t slab = kOutput) { return LvqPropagate(&net_, &slab); }
    // The 1-based winner, or 0 when the call fails.
    uint16_t Evaluate(uint16_t flag = 0, int16_t slab = kOutput) {
        uint16_t winner = 0;
        return LvqEvaluate(&net_, &slab, &winner, &flag) == KORU32_OK ? winner : 0;
    }
    int16_t Train(float rate, int16_t radius, uint16_t width, int16_t slab = kInput) {
        return LvqTrain(&net_, &slab, &rate, &radius, &width);
    }

private:
    int16_t net_ = -1, inputs_, units_;
    bool made_ = false, ok_ = false;
};

}  // namespace lvqtest
