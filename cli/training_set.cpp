// training_set.cpp - the portable shuffle of the training order.
#include "training_set.h"

#include <utility>

namespace koru_cli {

void ShuffleOrder(std::vector<size_t>& order, std::mt19937& random) {
    for (size_t i = order.size(); i > 1; --i) {
        // The slight bias of the remainder (below 1e-6 for any real data
        // set) does not matter for an epoch order.
        size_t j = static_cast<size_t>(random() % i);
        std::swap(order[i - 1], order[j]);
    }
}

}  // namespace koru_cli
