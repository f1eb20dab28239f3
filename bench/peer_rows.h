// The rows that the engine's side-by-side program and the FANN peer programs
// both measure: the same nets on the same data with the same rule and the
// same amount of work, so that the run script can set them side by side.
//
// Every program prints one line per row it measures:
//   <row name> TAB <best seconds per pass> TAB <work per pass> TAB <unit>
// where a pass is one sweep over the row's patterns (one epoch for training)
// and the work is connections (forward), connection updates (training) or
// recalled patterns (pattern nets).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "connections.h"
#include "data_sets.h"

namespace bench {

struct PeerNet {
    const char* name;  // row label, also the data set
    const char* data;  // data set name, or "random"
    std::vector<int> layers;
    uint32_t randomPatterns;  // patterns of a random set
    bool inSmoke;             // measured in the smoke run too
};

inline const std::vector<PeerNet>& PeerNets() {
    static const std::vector<PeerNet> nets = {
        {"iris", "iris", {4, 8, 3}, 0, true},
        {"digits", "digits", {64, 32, 10}, 0, false},
        {"mushroom", "mushroom", {125, 32, 2}, 0, true},
        {"thyroid", "thyroid", {21, 16, 3}, 0, false},
        {"breast-cancer", "breast_cancer", {30, 16, 2}, 0, false},
        {"building", "building", {14, 16, 3}, 0, false},
        {"diabetes", "diabetes", {10, 16, 1}, 0, false},
        {"random", "random", {256, 256, 10}, 256, false},
        {"random", "random", {1024, 1024, 10}, 64, false},
    };
    return nets;
}

inline std::string LayerText(const std::vector<int>& layers) {
    std::string text;
    for (size_t i = 0; i < layers.size(); ++i) {
        if (i) text += '-';
        text += std::to_string(layers[i]);
    }
    return text;
}

inline std::string RowName(const std::string& what, const PeerNet& net) {
    return what + " " + net.name + " " + LayerText(net.layers);
}

// The set of a net; false when its file is missing.
inline bool PeerData(const PeerNet& net, DataSet& set) {
    if (std::strcmp(net.data, "random") == 0) {
        set = RandomDataSet(net.layers.front(), net.layers.back(), net.randomPatterns, 5);
        return true;
    }
    return LoadDataSet(net.data, set) && set.inputs == uint32_t(net.layers.front()) &&
           set.outputs == uint32_t(net.layers.back());
}

// The same rates, momentum and epochs on both sides.
inline constexpr float kRate = 0.1f;
inline constexpr float kMomentum = 0.5f;

struct Options {
    bool smoke = false;
    double seconds = 0.25;  // time budget of one row, in all
};

inline Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0) {
            options.smoke = true;
            options.seconds = 0.02;
        }
    }
    return options;
}

// Runs `pass` once to warm up, then in batches long enough to time, and
// prints the best seconds per pass of three batches.
inline void TimeRow(const std::string& name, double work, const char* unit, const Options& options,
                    const std::function<void()>& pass) {
    using Clock = std::chrono::steady_clock;
    pass();
    const auto probe = Clock::now();
    pass();
    const double once = std::chrono::duration<double>(Clock::now() - probe).count();
    const double perBatch = options.seconds / 3;
    const long passes = once > 0 ? std::max(1L, static_cast<long>(perBatch / once)) : 1000;
    double best = 1e300;
    for (int batch = 0; batch < 3; ++batch) {
        const auto start = Clock::now();
        for (long p = 0; p < passes; ++p) pass();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / passes);
    }
    std::printf("%s\t%.9g\t%.9g\t%s\n", name.c_str(), best, work, unit);
    std::fflush(stdout);
}

// Calls row(net, set) for every peer net of this run (only the smoke nets in
// a smoke run) whose data set is at hand; notes each one missing.
template <typename Row>
inline void ForEachPeerNet(const Options& options, Row row) {
    for (const PeerNet& net : PeerNets()) {
        if (options.smoke && !net.inSmoke) continue;
        DataSet set;
        if (!PeerData(net, set)) {
            std::printf("# missing data set %s\n", net.data);
            continue;
        }
        row(net, set);
    }
}

}  // namespace bench
