// FANN 2.2's fixed-point forward pass (libfixedfann) on the nets that
// peer_fann --save-fixed wrote: the peer of the engine's 8.24 forward pass.
#include <fixedfann.h>

#include <cmath>
#include <string>
#include <vector>

#include "peer_rows.h"

int main(int argc, char** argv) {
    const bench::Options options = bench::ParseOptions(argc, argv);
    std::string fixedDir;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--from") fixedDir = argv[i + 1];
    }
    if (fixedDir.empty()) {
        std::printf("# usage: peer_fann_fixed --from DIR [--smoke]\n");
        return 1;
    }
    for (const bench::PeerNet& peer : bench::PeerNets()) {
        if (options.smoke && !peer.inSmoke) continue;
        bench::DataSet set;
        if (!bench::PeerData(peer, set)) continue;
        const std::string file = fixedDir + "/" + peer.name + "-" + bench::LayerText(peer.layers) + ".net";
        fann* ann = fann_create_from_file(file.c_str());
        if (ann == nullptr) {
            std::printf("# missing %s\n", file.c_str());
            continue;
        }
        // Inputs in FANN's fixed point: value x 2^decimal point, rounded.
        const double scale = std::ldexp(1.0, static_cast<int>(fann_get_decimal_point(ann)));
        std::vector<fann_type> inputs(size_t{set.count} * set.inputs);
        for (size_t i = 0; i < inputs.size(); ++i) inputs[i] = static_cast<fann_type>(std::lround(set.x[i] * scale));
        const double connections = static_cast<double>(bench::Connections(peer.layers));
        bench::TimeRow(bench::RowName("fwd fixed", peer), connections * set.count, "conn", options, [&] {
            for (uint32_t p = 0; p < set.count; ++p) fann_run(ann, inputs.data() + size_t{p} * set.inputs);
        });
        fann_destroy(ann);
    }
    return 0;
}
