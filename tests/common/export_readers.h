// Reading a slab's values and a link's weights through the exports, for the
// export-level tests of every folder. The vectors start at -999 so that an
// element the export did not write stands out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "koru32.h"

namespace koru_test {

// `count` elements read by `get` into a buffer of -999s, the export answering `code`.
template <typename Get>
std::vector<float> ReadFloats(size_t count, Get get, int16_t code = KORU32_OK) {
    std::vector<float> values(count, -999.0f);
    EXPECT_EQ(get(values.data()), code);
    return values;
}

inline std::vector<float> Values(int16_t net, int16_t slab, size_t neurons) {
    return ReadFloats(neurons, [&](float* values) { return GetSlab(&net, &slab, values); });
}

inline std::vector<float> Weights(int16_t net, int16_t link, size_t count) {
    return ReadFloats(count, [&](float* weights) { return GetLink(&net, &link, weights); });
}

}  // namespace koru_test
