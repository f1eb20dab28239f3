// The engine's side of the side-by-side runs: the rows of peer_rows.h, the
// pattern-net rows that the numpy reference also measures, and the ceiling
// of the float forward arithmetic.
#include <string>
#include <vector>

#include "ceiling.h"
#include "koru_nets.h"
#include "peer_rows.h"

namespace {

using bench::DataSet;
using bench::Options;
using bench::PeerNet;

struct Rule {
    const char* name;
    uint16_t type;
    bool batch;  // applies once per epoch
};
const Rule kRules[] = {
    {"plain", KORU32_NET_BP_PLAIN, false},
    {"momentum", KORU32_NET_BP_MOMENTUM, false},
    {"batch", KORU32_NET_BP_BATCH, true},
    {"adaptive", KORU32_NET_BP_ADAPTIVE, true},
};

void BackpropRows(const Options& options) {
    bench::ForEachPeerNet(options, [&](const PeerNet& peer, const DataSet& set) {
        std::vector<float> out(set.outputs);
        const double connections = static_cast<double>(bench::Connections(peer.layers));
        for (bool fixed : {false, true}) {
            bench::BpNet net(0, KORU32_NET_BP_PLAIN, peer.layers, fixed);
            if (!net.ok()) continue;
            bench::TimeRow(bench::RowName(fixed ? "fwd fixed" : "fwd float32", peer), connections * set.count,
                           "conn", options, [&] {
                               for (uint32_t p = 0; p < set.count; ++p) net.Run(set.Input(p), out.data());
                           });
        }
        for (const Rule& rule : kRules) {
            for (bool fixed : {false, true}) {
                bench::BpNet net(0, rule.type, peer.layers, fixed);
                if (!net.ok()) continue;
                // A batch rule divides its rate by the patterns, as FANN's
                // batch training averages the gradient.
                const float rate = rule.batch ? bench::kRate / set.count : bench::kRate;
                const std::string what = std::string("train ") + rule.name + (fixed ? " fixed" : " float32");
                bench::TimeRow(bench::RowName(what, peer), connections * set.count, "conn", options, [&] {
                    for (uint32_t p = 0; p < set.count; ++p) {
                        net.Train(set.Input(p), set.Target(p), rate, bench::kMomentum, p + 1 == set.count);
                    }
                });
            }
        }
    });
    // The least one pattern costs through the same four calls: the smallest
    // net with a hidden layer, one neuron in each slab.
    constexpr uint32_t kPatterns = 64;
    float inputs[kPatterns];
    for (uint32_t p = 0; p < kPatterns; ++p) inputs[p] = static_cast<float>(p) / kPatterns - 0.5f;
    for (bool fixed : {false, true}) {
        bench::BpNet net(0, KORU32_NET_BP_PLAIN, {1, 1, 1}, fixed);
        if (!net.ok()) continue;
        float out = 0.0f;
        bench::TimeRow(std::string("floor ") + (fixed ? "fixed" : "float32") + " 1-1-1", kPatterns, "patterns",
                       options, [&] {
                           for (uint32_t p = 0; p < kPatterns; ++p) net.Run(&inputs[p], &out);
                       });
    }
}

// Recall of a store of n digits patterns, 200 recalled patterns per pass.
void PatternRows(const Options& options) {
    DataSet digits;
    if (!bench::LoadDataSet("digits", digits)) {
        std::printf("# missing data set digits\n");
        return;
    }
    const uint32_t recalled = options.smoke ? 20 : 200;
    struct Kind {
        const char* name;
        uint16_t type;
        float sigma;
    };
    const Kind kinds[] = {{"pnn-distance", KORU32_NET_PNN_DISTANCE, 0.5f},
                          {"grnn-distance", KORU32_NET_GRNN_DISTANCE, 0.5f}};
    std::vector<uint32_t> sizes = {100, 1000, 1797, 5000};
    if (options.smoke) sizes = {100};
    std::vector<float> out(digits.outputs);
    for (const Kind& kind : kinds) {
        for (uint32_t n : sizes) {
            const DataSet store = bench::Resized(digits, n);
            bench::PatternNet net(0, kind.type, store, n);
            if (!net.ok()) continue;
            bench::TimeRow(std::string("recall ") + kind.name + " digits n=" + std::to_string(n), recalled,
                           "patterns", options, [&] {
                               for (uint32_t p = 0; p < recalled; ++p) {
                                   net.Recall(digits.Input((p * 7) % digits.count), kind.sigma, out.data());
                               }
                           });
        }
    }
    // Whole training sets of other shapes: PNN on mushroom (125 binary
    // inputs, 4062 units), GRNN on building (14 inputs, 3 outputs) and on
    // diabetes (10 inputs, one output); each set recalls its own patterns.
    const struct {
        const char* set;
        Kind kind;
    } wholes[] = {{"mushroom", {"pnn-distance", KORU32_NET_PNN_DISTANCE, 0.5f}},
                  {"building", {"grnn-distance", KORU32_NET_GRNN_DISTANCE, 0.2f}},
                  {"diabetes", {"grnn-distance", KORU32_NET_GRNN_DISTANCE, 0.2f}}};
    for (const auto& whole : wholes) {
        DataSet loaded;
        if (!bench::LoadDataSet(whole.set, loaded)) {
            std::printf("# missing data set %s\n", whole.set);
            continue;
        }
        const DataSet set = options.smoke ? bench::Resized(loaded, 100) : loaded;
        bench::PatternNet net(0, whole.kind.type, set, set.count);
        if (!net.ok()) continue;
        std::vector<float> result(set.outputs);
        bench::TimeRow(
            std::string("recall ") + whole.kind.name + " " + whole.set + " n=" + std::to_string(set.count),
            recalled, "patterns", options, [&] {
                for (uint32_t p = 0; p < recalled; ++p) {
                    net.Recall(set.Input((p * 7) % set.count), whole.kind.sigma, result.data());
                }
            });
    }
    // LVQ1 over the whole digits set: unit u stands for class u mod 10; the
    // winner moves toward a pattern of its class and away from any other.
    std::vector<uint32_t> units = {64, 256};
    if (options.smoke) units = {64};
    std::vector<uint32_t> labels(digits.count);
    for (uint32_t p = 0; p < digits.count; ++p) {
        for (uint32_t c = 0; c < digits.outputs; ++c) {
            if (digits.Target(p)[c] != 0.0f) labels[p] = c;
        }
    }
    const uint32_t patterns = options.smoke ? 100 : digits.count;
    for (uint32_t m : units) {
        for (bool fixed : {false, true}) {
            bench::LvqNet net(0, KORU32_NET_LVQ_DISTANCE, digits.inputs, m, fixed);
            if (!net.ok()) continue;
            const std::string format = fixed ? " fixed" : " float32";
            bench::TimeRow("lvq1 evaluate" + format + " digits units=" + std::to_string(m), patterns, "patterns",
                           options, [&] {
                               for (uint32_t p = 0; p < patterns; ++p) net.Classify(digits.Input(p));
                           });
            bench::TimeRow("lvq1 train" + format + " digits units=" + std::to_string(m), patterns, "patterns",
                           options, [&] {
                               for (uint32_t p = 0; p < patterns; ++p) {
                                   const uint16_t winner = net.Classify(digits.Input(p));
                                   net.TrainWinner((winner - 1u) % 10 == labels[p] ? 0.05f : -0.05f);
                               }
                           });
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = bench::ParseOptions(argc, argv);
    bool backprop = true, patterns = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--backprop-only") patterns = false;
        if (std::string(argv[i]) == "--patterns-only") backprop = false;
    }
    if (backprop) BackpropRows(options);
    if (patterns) PatternRows(options);
    // The ceiling on a layer whose weights fit the first-level cache.
    const double ceiling = bench::CeilingTermsPerSecond(32, 256, options.smoke ? 0.02 : 0.3);
    std::printf("ceiling float-term kernel 32x256\t%.9g\t1\tterm\n", ceiling > 0 ? 1.0 / ceiling : 0.0);
    return 0;
}
