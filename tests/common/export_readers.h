// Reading a slab's values and a link's weights through the exports, for the
// export-level tests of every folder. The vectors start at -999 so that an
// element the export did not write stands out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "koru32.h"

namespace koru_test {

inline std::vector<float> Values(int16_t net, int16_t slab, size_t neurons) {
    std::vector<float> values(neurons, -999.0f);
    EXPECT_EQ(GetSlab(&net, &slab, values.data()), KORU32_OK);
    return values;
}

inline std::vector<float> Weights(int16_t net, int16_t link, size_t count) {
    std::vector<float> weights(count, -999.0f);
    EXPECT_EQ(GetLink(&net, &link, weights.data()), KORU32_OK);
    return weights;
}

}  // namespace koru_test
