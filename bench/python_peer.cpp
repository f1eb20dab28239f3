// python_peer.cpp - the C side of bench/python_bench.py: the same work the
// Python package does, written directly against the C interface.
//
//   python_peer train DATA NET SEED EPOCHS HIDDEN   trains a backpropagation net
//       (momentum rule, logistic slabs, rate 0.2, momentum 0.5, weight range
//       0.5) exactly as BackpropClassifier.fit does: the engine seeded with
//       SEED, the patterns shuffled every epoch by std::mt19937(SEED), and
//       saves it to NET, so the caller can compare the bytes with its own net;
//   python_peer recall DATA NET SIGMA REPS          restores the PNN in NET and
//       recalls every row of DATA, REPS times.
//
// DATA is a binary file: rows, inputs, outputs as 32-bit integers, then the
// rows' inputs and targets as 32-bit floats. Prints "seconds<TAB>result" with
// the best time over the repetitions (training runs once) and, for recall, a
// checksum of the outputs.
#include <koru32.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

struct Data {
    int32_t rows = 0, inputs = 0, outputs = 0;
    std::vector<float> x, t;
};

Data ReadData(const char* path) {
    Data d;
    FILE* f = std::fopen(path, "rb");
    int32_t head[3] = {};
    if (f == nullptr || std::fread(head, sizeof head, 1, f) != 1) {
        std::fprintf(stderr, "python_peer: cannot read %s\n", path);
        std::exit(2);
    }
    d.rows = head[0];
    d.inputs = head[1];
    d.outputs = head[2];
    d.x.resize(static_cast<size_t>(d.rows) * static_cast<size_t>(d.inputs));
    d.t.resize(static_cast<size_t>(d.rows) * static_cast<size_t>(d.outputs));
    if (std::fread(d.x.data(), sizeof(float), d.x.size(), f) != d.x.size() ||
        std::fread(d.t.data(), sizeof(float), d.t.size(), f) != d.t.size()) {
        std::fprintf(stderr, "python_peer: %s is short\n", path);
        std::exit(2);
    }
    std::fclose(f);
    return d;
}

void Check(int16_t code, const char* call) {
    if (code != KORU32_OK) {
        std::fprintf(stderr, "python_peer: %s returned %d\n", call, code);
        std::exit(1);
    }
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Train(const Data& d, const char* netPath, uint32_t seed, int epochs, int16_t hidden) {
    auto start = std::chrono::steady_clock::now();
    uint16_t free = 0;
    Check(GetNextNet(&free), "GetNextNet");
    const auto net = static_cast<int16_t>(free);
    const uint16_t math = KORU32_MATH_FLOAT;
    Check(SetMath(&math), "SetMath");
    const auto librarySeed = static_cast<int16_t>(seed & 0x7FFF);
    Check(SetSeed(&librarySeed), "SetSeed");
    const uint16_t type = KORU32_NET_BP_MOMENTUM;
    Check(MakeNet(&net, &type), "MakeNet");
    const int16_t sizes[3] = {static_cast<int16_t>(d.inputs), hidden, static_cast<int16_t>(d.outputs)};
    const int16_t kinds[3] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT};
    const int16_t logistic = KORU32_TRANSFER_LOGISTIC;
    for (int16_t slab = 0; slab < 3; ++slab) {
        Check(MakeSlab(&net, &slab, &sizes[slab], &kinds[slab]), "MakeSlab");
        if (slab > 0) {
            Check(Transfer(&net, &slab, &logistic), "Transfer");
        }
    }
    const float range = 0.5f;
    for (int16_t link = 0; link < 2; ++link) {
        const int16_t source = link;
        const auto dest = static_cast<int16_t>(link + 1);
        Check(MakeLink(&net, &link, &range, &source, &dest), "MakeLink");
    }
    const float rate = 0.2f;
    const float momentum = 0.5f;
    const uint16_t apply = 0;
    const int16_t inputSlab = 0;
    const int16_t outputSlab = 2;
    std::vector<size_t> order(static_cast<size_t>(d.rows));
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 random(seed);
    double loss = 0.0;
    for (int epoch = 0; epoch < epochs; ++epoch) {
        for (size_t i = order.size(); i > 1; --i) {
            std::swap(order[i - 1], order[static_cast<size_t>(random() % i)]);
        }
        double total = 0.0;
        for (size_t p : order) {
            Check(PutSlab(&net, &inputSlab, &d.x[p * static_cast<size_t>(d.inputs)]), "PutSlab");
            for (int16_t slab = 1; slab <= outputSlab; ++slab) {
                Check(BpPropagate(&net, &slab), "BpPropagate");
            }
            float sum = 0.0f;
            Check(BpEvaluate(&net, &outputSlab, &d.t[p * static_cast<size_t>(d.outputs)], &sum), "BpEvaluate");
            total += sum;
            for (int16_t slab = 1; slab >= 0; --slab) {
                Check(BpTrain(&net, &slab, &rate, &momentum, &apply), "BpTrain");
            }
        }
        loss = total / (static_cast<double>(d.rows) * d.outputs);
    }
    const int32_t none = 0;
    Check(SaveNet(&net, netPath, &none, nullptr), "SaveNet");
    Check(KillNet(&net), "KillNet");
    std::printf("%.9g\t%.9g\n", Seconds(start), loss);
    return 0;
}

int Recall(const Data& d, const char* netPath, float sigma, int reps) {
    uint16_t free = 0;
    Check(GetNextNet(&free), "GetNextNet");
    const auto net = static_cast<int16_t>(free);
    const int32_t none = 0;
    Check(RestoreNet(&net, netPath, &none, nullptr), "RestoreNet");
    const int16_t inputSlab = 0, patternSlab = 1, outputSlab = 2;
    std::vector<float> out(static_cast<size_t>(d.rows) * static_cast<size_t>(d.outputs));
    double best = 1e300;
    for (int rep = 0; rep < reps; ++rep) {
        auto start = std::chrono::steady_clock::now();
        for (size_t p = 0; p < static_cast<size_t>(d.rows); ++p) {
            Check(PutSlab(&net, &inputSlab, &d.x[p * static_cast<size_t>(d.inputs)]), "PutSlab");
            Check(PnnPropagate(&net, &patternSlab, &sigma), "PnnPropagate");
            Check(PnnPropagate(&net, &outputSlab, &sigma), "PnnPropagate");
            Check(GetSlab(&net, &outputSlab, &out[p * static_cast<size_t>(d.outputs)]), "GetSlab");
        }
        best = std::min(best, Seconds(start));
    }
    Check(KillNet(&net), "KillNet");
    double checksum = 0.0;
    for (float v : out) {
        checksum += v;
    }
    std::printf("%.9g\t%.9g\n", best, checksum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "train") == 0) {
        return Train(ReadData(argv[2]), argv[3], static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)),
                     std::atoi(argv[5]), static_cast<int16_t>(std::atoi(argv[6])));
    }
    if (argc == 6 && std::strcmp(argv[1], "recall") == 0) {
        return Recall(ReadData(argv[2]), argv[3], std::strtof(argv[4], nullptr), std::atoi(argv[5]));
    }
    std::fprintf(stderr, "usage: python_peer train DATA NET SEED EPOCHS HIDDEN | recall DATA NET SIGMA REPS\n");
    return 2;
}
