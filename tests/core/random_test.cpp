// The weight generator reproduces the well-known sequence of the Windows C
// runtime's rand(), so a seed gives the same weights on every platform.
#include <gtest/gtest.h>

#include "core/random.h"

namespace koru {
namespace {

TEST(Random, FollowsTheClassicSequenceFromSeedOne) {
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(NextRandom(), value);
}

}  // namespace
}  // namespace koru
