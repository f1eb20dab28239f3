// How the suite counts the work of a layered backpropagation net.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

// Sum over the links of (inputs + 1) x outputs: the connections of a layered
// net, biases included. A forward pass computes each once; a training step
// updates each once.
inline uint64_t Connections(const std::vector<int>& layers) {
    uint64_t total = 0;
    for (size_t i = 1; i < layers.size(); ++i) total += uint64_t(layers[i - 1] + 1) * uint64_t(layers[i]);
    return total;
}

}  // namespace bench
