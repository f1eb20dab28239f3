// Micro benchmarks of the exports that callers run in loops: the
// backpropagation forward pass (BpPropagate on each slab, then BpEvaluate)
// and training step, PNN and GRNN recall, LVQ
// scoring and training, and the arithmetic's ceiling.
//
// Counters: "conn/s" connections (forward) or connection updates (training)
// per second, connections being the sum over links of (inputs + 1) x outputs;
// "patterns/s"; "terms/s" (pattern nets: stored patterns x inputs per
// recalled pattern); "bytes/net", the heap the net takes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ceiling.h"
#include "data_sets.h"
#include "koru_nets.h"

namespace {

const std::vector<std::vector<int>> kBpNets = {
    {4, 8, 3}, {64, 32, 10}, {125, 32, 2}, {256, 256, 10}, {1024, 1024, 10},
};

std::string LayersName(const std::vector<int>& layers) {
    std::string name;
    for (size_t i = 0; i < layers.size(); ++i) {
        if (i) name += '-';
        name += std::to_string(layers[i]);
    }
    return name;
}

// Connections (or connection updates) per second and the net's bytes.
void SetNetCounters(benchmark::State& state, const bench::BpNet& net) {
    const double connections = static_cast<double>(net.connections());
    state.counters["conn/s"] = benchmark::Counter(connections, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes/net"] = static_cast<double>(net.bytes());
}

void BpForward(benchmark::State& state, std::vector<int> layers, bool fixed) {
    bench::BpNet net(0, KORU32_NET_BP_PLAIN, layers, fixed);
    if (!net.ok()) return state.SkipWithError("net not made");
    const bench::DataSet data = bench::RandomDataSet(layers.front(), layers.back(), 64, 1);
    uint32_t p = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(net.Evaluate(data.Input(p), data.Target(p)));
        p = (p + 1) % data.count;
    }
    SetNetCounters(state, net);
    state.counters["patterns/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

struct RuleCase {
    const char* name;
    uint16_t type;
    float momentum;
};
const RuleCase kRules[] = {
    {"plain", KORU32_NET_BP_PLAIN, 0.0f},
    {"momentum", KORU32_NET_BP_MOMENTUM, 0.9f},
    {"batch", KORU32_NET_BP_BATCH, 0.0f},
    {"adaptive", KORU32_NET_BP_ADAPTIVE, 0.0f},
};

void BpTrainStep(benchmark::State& state, RuleCase rule, std::vector<int> layers, bool fixed) {
    bench::BpNet net(0, rule.type, layers, fixed);
    if (!net.ok()) return state.SkipWithError("net not made");
    const bench::DataSet data = bench::RandomDataSet(layers.front(), layers.back(), 64, 2);
    uint32_t p = 0;
    for (auto _ : state) {
        // Batch rules apply once per pass over the 64 patterns.
        const bool apply = p + 1 == data.count;
        benchmark::DoNotOptimize(net.Train(data.Input(p), data.Target(p), 0.01f, rule.momentum, apply));
        p = (p + 1) % data.count;
    }
    SetNetCounters(state, net);
}

struct PatternCase {
    const char* name;
    uint16_t type;
    float sigma;
};
const PatternCase kPatternNets[] = {
    {"pnn-distance", KORU32_NET_PNN_DISTANCE, 0.5f},
    {"pnn-dot", KORU32_NET_PNN_DOT, 0.5f},
    {"pnn-cityblock", KORU32_NET_PNN_CITY_BLOCK, 2.0f},
    {"grnn-distance", KORU32_NET_GRNN_DISTANCE, 0.5f},
    {"grnn-cityblock", KORU32_NET_GRNN_CITY_BLOCK, 2.0f},
};

const bench::DataSet& Digits() {
    static const bench::DataSet digits = [] {
        bench::DataSet set;
        if (!bench::LoadDataSet("digits", set)) set = bench::RandomDataSet(64, 10, 1797, 3);
        return set;
    }();
    return digits;
}

void PatternRecall(benchmark::State& state, PatternCase kind, uint32_t units) {
    const bench::DataSet store = bench::Resized(Digits(), units);
    bench::PatternNet net(0, kind.type, store, units);
    if (!net.ok()) return state.SkipWithError("net not made");
    std::vector<float> out(store.outputs);
    uint32_t p = 0;
    for (auto _ : state) {
        net.Recall(Digits().Input(p), kind.sigma, out.data());
        p = (p + 7) % Digits().count;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["patterns/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["terms/s"] =
        benchmark::Counter(double(units) * store.inputs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes/net"] = static_cast<double>(net.bytes());
}

void LvqStep(benchmark::State& state, uint16_t type, uint32_t units, bool fixed, bool train) {
    const bench::DataSet& data = Digits();
    bench::LvqNet net(0, type, data.inputs, units, fixed);
    if (!net.ok()) return state.SkipWithError("net not made");
    uint32_t p = 0;
    for (auto _ : state) {
        const uint16_t winner = net.Classify(data.Input(p));
        if (train) net.TrainWinner(winner % 2 ? 0.01f : -0.01f);
        p = (p + 1) % data.count;
        benchmark::DoNotOptimize(winner);
    }
    state.counters["patterns/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["terms/s"] =
        benchmark::Counter(double(units) * data.inputs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes/net"] = static_cast<double>(net.bytes());
}

void Ceiling(benchmark::State& state, uint32_t rows, uint32_t cols) {
    std::vector<float> x(rows, 0.25f), w(size_t{rows} * cols, 0.001f), v(cols, 0.0f);
    for (auto _ : state) {
        bench::CeilingLayer(x.data(), w.data(), v.data(), rows, cols);
        benchmark::DoNotOptimize(v.data());
    }
    state.counters["terms/s"] =
        benchmark::Counter(double(rows) * cols, benchmark::Counter::kIsIterationInvariantRate);
}

void RegisterAll(bool smoke) {
    for (const auto& layers : kBpNets) {
        if (smoke && layers.front() > 64) continue;
        for (bool fixed : {false, true}) {
            const std::string format = fixed ? "fixed824" : "float32";
            benchmark::RegisterBenchmark(("BpForward/" + format + "/" + LayersName(layers)).c_str(), BpForward,
                                         layers, fixed);
        }
    }
    for (const auto& layers : kBpNets) {
        if (smoke && layers.front() > 64) continue;
        for (const RuleCase& rule : kRules) {
            for (bool fixed : {false, true}) {
                const std::string format = fixed ? "fixed824" : "float32";
                benchmark::RegisterBenchmark(
                    ("BpTrain/" + std::string(rule.name) + "/" + format + "/" + LayersName(layers)).c_str(),
                    BpTrainStep, rule, layers, fixed);
            }
        }
    }
    for (const PatternCase& kind : kPatternNets) {
        for (uint32_t units : {100u, 1000u, 5000u}) {
            if (smoke && units > 100) continue;
            benchmark::RegisterBenchmark(("Recall/" + std::string(kind.name) + "/" + std::to_string(units)).c_str(),
                                         PatternRecall, kind, units);
        }
    }
    for (uint32_t units : {8u, 64u, 256u}) {
        if (smoke && units > 8) continue;
        for (bool fixed : {false, true}) {
            const std::string format = fixed ? "fixed824" : "float32";
            for (bool train : {false, true}) {
                benchmark::RegisterBenchmark(
                    ("Lvq" + std::string(train ? "Train" : "Evaluate") + "/distance/" + format + "/" +
                     std::to_string(units))
                        .c_str(),
                    LvqStep, uint16_t{KORU32_NET_LVQ_DISTANCE}, units, fixed, train);
            }
        }
    }
    benchmark::RegisterBenchmark("Ceiling/64x32", Ceiling, 64u, 32u);
    if (!smoke) benchmark::RegisterBenchmark("Ceiling/256x256", Ceiling, 256u, 256u);
}

}  // namespace

int main(int argc, char** argv) {
    // --smoke: only the small cases, each for a moment, so that a CI run
    // checks that every benchmark still works.
    bool smoke = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--smoke") {
            smoke = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    static char minTime[] = "--benchmark_min_time=0.01";
    if (smoke) args.push_back(minTime);
    int count = static_cast<int>(args.size());
    RegisterAll(smoke);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
