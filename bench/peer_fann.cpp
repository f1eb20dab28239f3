// FANN 2.2's side of the side-by-side runs (float library): the same nets,
// data, rule and epochs as the engine's rows. With --save-fixed DIR it also
// writes every net with fann_save_to_fixed for the fixed-point peer.
#include <floatfann.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "peer_rows.h"

namespace {

using bench::DataSet;
using bench::Options;
using bench::PeerNet;

fann* MakeFann(const PeerNet& peer) {
    std::vector<unsigned int> layers(peer.layers.begin(), peer.layers.end());
    fann* ann = fann_create_standard_array(static_cast<unsigned int>(layers.size()), layers.data());
    if (ann == nullptr) return nullptr;
    // FANN seeds its generator when it makes the net; set the weights again
    // from a fixed seed, in the same range as the engine's (+-0.1).
    srand(7);
    fann_randomize_weights(ann, -0.1f, 0.1f);
    // 1 / (1 + e^-x), and the plain error target - output.
    fann_set_activation_function_hidden(ann, FANN_SIGMOID);
    fann_set_activation_function_output(ann, FANN_SIGMOID);
    fann_set_activation_steepness_hidden(ann, 0.5f);
    fann_set_activation_steepness_output(ann, 0.5f);
    fann_set_train_error_function(ann, FANN_ERRORFUNC_LINEAR);
    fann_set_learning_rate(ann, bench::kRate);
    fann_set_learning_momentum(ann, 0.0f);
    fann_set_rprop_increase_factor(ann, 1.2f);
    fann_set_rprop_decrease_factor(ann, 0.5f);
    fann_set_rprop_delta_min(ann, 1e-6f);
    fann_set_rprop_delta_max(ann, 1.0f);
    fann_set_rprop_delta_zero(ann, 0.05f);
    return ann;
}

fann_train_data* TrainData(const DataSet& set) {
    fann_train_data* data = fann_create_train(set.count, set.inputs, set.outputs);
    if (data == nullptr) return nullptr;
    for (uint32_t p = 0; p < set.count; ++p) {
        for (uint32_t i = 0; i < set.inputs; ++i) data->input[p][i] = set.Input(p)[i];
        for (uint32_t o = 0; o < set.outputs; ++o) data->output[p][o] = set.Target(p)[o];
    }
    return data;
}

struct Rule {
    const char* name;
    fann_train_enum algorithm;
    float momentum;
};
const Rule kRules[] = {
    {"plain", FANN_TRAIN_INCREMENTAL, 0.0f},
    {"momentum", FANN_TRAIN_INCREMENTAL, bench::kMomentum},
    {"batch", FANN_TRAIN_BATCH, 0.0f},
    {"adaptive", FANN_TRAIN_RPROP, 0.0f},
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = bench::ParseOptions(argc, argv);
    std::string fixedDir;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--save-fixed") fixedDir = argv[i + 1];
    }
    bench::ForEachPeerNet(options, [&](const PeerNet& peer, const DataSet& set) {
        const double connections = static_cast<double>(bench::Connections(peer.layers));
        if (!fixedDir.empty()) {
            // Only the fixed-point files: the peer program loads them.
            fann* ann = MakeFann(peer);
            fann_train_data* data = TrainData(set);
            fann_train_epoch(ann, data);  // fann_save_to_fixed picks its decimal point from the weights
            const std::string file = fixedDir + "/" + peer.name + "-" + bench::LayerText(peer.layers) + ".net";
            fann_save_to_fixed(ann, file.c_str());
            fann_destroy_train(data);
            fann_destroy(ann);
            return;
        }
        {
            fann* ann = MakeFann(peer);
            std::vector<float> input(set.inputs);
            bench::TimeRow(bench::RowName("fwd float32", peer), connections * set.count, "conn", options, [&] {
                for (uint32_t p = 0; p < set.count; ++p) {
                    // fann_run takes a non-const input.
                    std::copy(set.Input(p), set.Input(p) + set.inputs, input.begin());
                    fann_run(ann, input.data());
                }
            });
            fann_destroy(ann);
        }
        fann_train_data* data = TrainData(set);
        for (const Rule& rule : kRules) {
            fann* ann = MakeFann(peer);
            fann_set_training_algorithm(ann, rule.algorithm);
            fann_set_learning_momentum(ann, rule.momentum);
            bench::TimeRow(bench::RowName(std::string("train ") + rule.name + " float32", peer),
                           connections * set.count, "conn", options, [&] { fann_train_epoch(ann, data); });
            fann_destroy(ann);
        }
        fann_destroy_train(data);
    });
    return 0;
}
