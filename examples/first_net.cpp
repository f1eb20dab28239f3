// A first tour of the engine through its C interface: make a net with three
// slabs and two links, put values in, read weights, keep records in a store,
// and release it all.
#include <cstdio>
#include <vector>

#include "koru32.h"

namespace {

bool Check(const char* what, int16_t code) {
    std::printf("%-48s -> %d%s\n", what, code, code == KORU32_OK ? "" : " (failed)");
    return code == KORU32_OK;
}

}  // namespace

int main() {
    uint16_t freeNet = 0;
    if (!Check("GetNextNet: find a free net number", GetNextNet(&freeNet))) return 1;
    const auto net = static_cast<int16_t>(freeNet);
    const uint16_t type = KORU32_NET_BP_MOMENTUM;
    if (!Check("MakeNet: backpropagation with momentum", MakeNet(&net, &type))) return 1;

    const int16_t input = 0, hidden = 1, output = 2;
    const int16_t sizes[3] = {3, 4, 2};
    const int16_t kinds[3] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT};
    for (int16_t slab = 0; slab < 3; ++slab) {
        if (!Check("MakeSlab", MakeSlab(&net, &slab, &sizes[slab], &kinds[slab]))) return 1;
    }

    const int16_t seed = 42;
    SetSeed(&seed);
    const float range = 0.5f;
    const int16_t first = 0, second = 1;
    if (!Check("MakeLink: input -> hidden, weights in +-0.5", MakeLink(&net, &first, &range, &input, &hidden))) return 1;
    if (!Check("MakeLink: hidden -> output", MakeLink(&net, &second, &range, &hidden, &output))) return 1;

    std::vector<float> weights(2 * 5);  // (4 hidden neurons + bias) x 2 outputs
    Check("GetLink: weights of hidden -> output", GetLink(&net, &second, weights.data()));
    std::printf("  bias row: %+.6f %+.6f\n", weights[0], weights[1]);
    for (int row = 1; row <= 4; ++row) {
        std::printf("  from hidden neuron %d: %+.6f %+.6f\n", row, weights[row * 2], weights[row * 2 + 1]);
    }

    const float pattern[3] = {0.25f, -0.5f, 1.0f};
    Check("PutSlab: an input pattern", PutSlab(&net, &input, pattern));
    const float slide = 0.75f;
    Check("SlideSlab: shift in 0.75", SlideSlab(&net, &input, &slide));
    float values[3] = {};
    Check("GetSlab: the input slab", GetSlab(&net, &input, values));
    std::printf("  values: %.4f %.4f %.4f\n", values[0], values[1], values[2]);

    const int16_t store = 0, width = 3;
    const uint32_t records = 100, record = 7;
    Check("MakeStore: 100 records of 3 values", MakeStore(&net, &store, &width, &records));
    Check("CopyToStore: the input slab into record 7", CopyToStore(&net, &store, &record, &net, &input));
    float stored[3] = {};
    Check("GetStore: record 7", GetStore(&net, &store, &record, stored));
    std::printf("  record 7: %.4f %.4f %.4f\n", stored[0], stored[1], stored[2]);

    const int16_t bad = 99;
    float neuron = 0.0f;
    std::printf("GetNeuron with neuron 99 answers %d (neuron outside the slab)\n",
                GetNeuron(&net, &input, &bad, &neuron));

    return Check("KillNet: release everything", KillNet(&net)) ? 0 : 1;
}
